#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

#include "dlg_fixture.h"
#include "platform/shell_qt.h"

namespace {

using WindowTest = DlgTest;

QPixmap Picture(int id) {
    return QPixmap(QStringLiteral(":/res/%1.png").arg(id));
}

bool SamePicture(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && a.toImage() == b.toImage();
}

TEST_F(WindowTest, ScreenReadersFindTheWindowAndEveryControlByName) {
    CMelvaneDlg& dlg = Start();
    dlg.show();
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&dlg);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("melvane"));
    // The background, eleven pictures and the list.
    ASSERT_EQ(window->childCount(), 13);
    for (int i = 0; i < window->childCount(); ++i) {
        QAccessibleInterface* control = window->child(i);
        ASSERT_NE(control, nullptr);
        SCOPED_TRACE(control->object()->objectName().toStdString());
        EXPECT_FALSE(control->text(QAccessible::Name).trimmed().isEmpty());
    }
    // A control is named by its tip's words.
    const auto name = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(dlg.m_btnPlay.GetSafeHwnd()), QStringLiteral("Play the music"));
    EXPECT_EQ(name(dlg.m_btnHelp.GetSafeHwnd()), QStringLiteral("Help"));
    EXPECT_EQ(name(dlg.m_listMusic.GetSafeHwnd()), QStringLiteral("DBclick to select music"));
    dlg.hide();
}

TEST_F(WindowTest, PicturesThatTakeClicksAreButtonsWhosePressIsTheClick) {
    CMelvaneDlg& dlg = Start();
    QAccessibleInterface* add = QAccessible::queryAccessibleInterface(dlg.m_btnAdd.GetSafeHwnd());
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->role(), QAccessible::Button);
    QAccessibleActionInterface* action = add->actionInterface();
    ASSERT_NE(action, nullptr);
    ASSERT_EQ(action->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    m_shell.cancel = true;
    action->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_shell.dialogs, 1);

    // The background takes no clicks: a graphic without actions.
    QAccessibleInterface* background =
        QAccessible::queryAccessibleInterface(dlg.findChild<QWidget*>(QStringLiteral("control-1")));
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->role(), QAccessible::Graphic);
    EXPECT_TRUE(background->actionInterface()->actionNames().isEmpty());
}

TEST_F(WindowTest, HiddenFramelessWindowWithControlsWhereTheTemplatePutsThem) {
    CMelvaneDlg& dlg = Start();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(dlg.geometry(), QRect(0, 0, 508, 325));
    struct Expected {
        CStatic& control;
        QPoint pos;
        QSize size;
        int picture;
    };
    const Expected expected[] = {
        {dlg.m_btnAdd, {29, 83}, {47, 20}, IDB_ADD},
        {dlg.m_btnDelete, {93, 83}, {59, 20}, IDB_DELETE},
        {dlg.m_btnRepeatOne, {287, 84}, {93, 20}, IDB_REPEATONE_OFF},
        {dlg.m_btnRepeatAll, {393, 84}, {93, 20}, IDB_REPEATALL_ON},
        {dlg.m_btnExit, {446, 290}, {36, 13}, IDB_EXIT},
        {dlg.m_btnFirst, {9, 137}, {19, 21}, IDB_FIRST},
        {dlg.m_btnPlay, {14, 162}, {16, 18}, IDB_PLAY},
        {dlg.m_btnFinal, {11, 209}, {19, 21}, IDB_FINAL},
        {dlg.m_btnStop, {11, 185}, {19, 21}, IDB_STOP},
        {dlg.m_btnHide, {419, 291}, {14, 12}, IDB_HIDE},
        {dlg.m_btnHelp, {389, 290}, {15, 15}, IDB_HELP},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.picture);
        ASSERT_NE(e.control.GetSafeHwnd(), nullptr);
        EXPECT_EQ(e.control.GetSafeHwnd()->geometry(), QRect(e.pos, e.size));
        EXPECT_TRUE(SamePicture(e.control.GetBitmap(), Picture(e.picture)));
    }
    EXPECT_EQ(dlg.m_listMusic.GetSafeHwnd()->geometry(), QRect(35, 104, 453, 183));
    EXPECT_TRUE(SamePicture(*g_hbmPlayHot, Picture(IDB_PLAY_HOT)));
    EXPECT_EQ(g_hbmPlayHot->size(), QSize(19, 21));
}

TEST_F(WindowTest, BackgroundFillsTheWindowBeneathEveryButton) {
    CMelvaneDlg& dlg = Start();
    dlg.show();
    const QImage shot = dlg.grab().toImage();
    dlg.hide();
    const QImage background = Picture(IDB_BACKGROUND).toImage();
    ASSERT_EQ(background.size(), QSize(508, 325));
    // A spot of plain background and a spot inside the Add button.
    EXPECT_EQ(shot.pixel(250, 40), background.pixel(250, 40));
    const QImage add = Picture(IDB_ADD).toImage();
    EXPECT_EQ(shot.pixel(29 + 20, 83 + 10), add.pixel(20, 10));
}

TEST_F(WindowTest, InitialisationRunsInOrderAndPlaysTheFirstFileEntry) {
    WritePlaylist({"/music/b.mid", "/music/C.mid", "/music/a.mid"});
    CMelvaneDlg& dlg = Start();
    EXPECT_EQ(m_journal,
              (Calls{"tray: add", "autostart: open", "autostart: set DefName=/opt/melvane/melvane",
                     "autostart: close", "mci: open /music/b.mid alias themidi",
                     "mci: play themidi notify"}));
    // The list sorts without regard to case; the playlist keeps the file's order.
    EXPECT_EQ(ListItems(), (Calls{"/music/a.mid", "/music/b.mid", "/music/C.mid"}));
    EXPECT_EQ(dlg.m_bPlaying, 1);
    EXPECT_TRUE(dlg.IsTimerRunning());
    EXPECT_EQ(m_mci.lastCallback, platform::ToHwnd(&dlg));
}

TEST_F(WindowTest, EmptyPlaylistTellsTheUserAndPlaysNothing) {
    CMelvaneDlg& dlg = Start();
    EXPECT_EQ(m_prompts.app, (Calls{"No muisic,please add music!"}));
    EXPECT_EQ(dlg.m_bPlaying, 0);
    EXPECT_TRUE(dlg.IsTimerRunning());
    EXPECT_EQ(ReadPlaylist(), "");
    // The icon is there all the same, with its id, callback, tip and first frame.
    ASSERT_EQ(m_tray.records.size(), 1u);
    const platform::NOTIFYICONDATA& nid = m_tray.records[0].second;
    EXPECT_EQ(nid.uID, 100u);
    EXPECT_EQ(nid.uCallbackMessage, 0x8064u);
    EXPECT_STREQ(nid.szTip, "Sonabel");
    EXPECT_EQ(nid.hIcon.pixmap(16, 16).toImage(),
              QIcon(Picture(IDI_ANIM1)).pixmap(16, 16).toImage());
}

TEST_F(WindowTest, AutoStartFailureIsReportedAndStopsBeforePlayback) {
    WritePlaylist({"/music/a.mid"});
    for (const bool folderLocked : {true, false}) {
        m_autoStart.openWorks = !folderLocked;
        m_autoStart.setWorks = folderLocked;
        m_prompts.window.clear();
        CMelvaneDlg& dlg = Start();
        EXPECT_EQ(m_prompts.window, (Calls{folderLocked ? "错误: 修改无法打开有关的hKEY!"
                                                        : "错误: 无法修改有关注册表信息!"}));
        EXPECT_EQ(m_journal, folderLocked ? (Calls{"tray: add", "autostart: open"})
                                          : (Calls{"tray: add", "autostart: open",
                                                   "autostart: set DefName=/opt/melvane/melvane",
                                                   "autostart: close"}));
        EXPECT_EQ(dlg.m_bPlaying, 0);
        EXPECT_EQ(dlg.m_listMusic.GetCount(), 1);
    }
}

TEST_F(WindowTest, ExitRemovesEntryThenIconThenEndsAndDestructionStopsTheSound) {
    WritePlaylist({"/music/a.mid"});
    CMelvaneDlg& dlg = Start();
    QSignalSpy destroyed(&dlg, &CMelvaneDlg::WindowDestroyed);
    Clear();
    dlg.OnCommand(IDC_EXIT, 0);
    EXPECT_EQ(m_journal, (Calls{"autostart: open", "autostart: delete DefName", "autostart: close",
                                "tray: delete"}));
    EXPECT_EQ(destroyed.count(), 1);
    EXPECT_TRUE(m_prompts.window.empty());
    EXPECT_FALSE(m_autoStart.present);
    EXPECT_TRUE(m_mci.IsOpen("themidi"));
    m_dlg.reset();
    EXPECT_EQ(MciCalls(), (Calls{"stop themidi", "close themidi"}));
    EXPECT_FALSE(m_mci.IsOpen("themidi"));
}

TEST_F(WindowTest, ExitWithTheEntryGoneOrTheFolderLockedStillEnds) {
    CMelvaneDlg& dlg = Start();
    m_autoStart.present = false;
    Clear();
    dlg.OnCommand(ID_TRAY_EXIT, 0);
    EXPECT_EQ(m_prompts.window, (Calls{"错误: 无法修改有关注册表信息!"}));
    EXPECT_EQ(m_journal.back(), "tray: delete");
    EXPECT_TRUE(dlg.IsDestroyed());

    m_dlg.reset();
    Start();
    m_autoStart.openWorks = false;
    Clear();
    m_dlg->OnTrayExit();
    EXPECT_EQ(m_prompts.window, (Calls{"错误: 修改无法打开有关的hKEY!"}));
    EXPECT_EQ(m_journal, (Calls{"autostart: open", "tray: delete"}));
    EXPECT_TRUE(m_dlg->IsDestroyed());
}

TEST_F(WindowTest, AboutBoxOpensModallyWithLowBitsSetAndTimersRunMeanwhile) {
    WritePlaylist({"/music/a.mid"});
    CMelvaneDlg& dlg = Start();
    int ticksSeen = 0;
    QString caption;
    QStringList texts;
    bool defaultOk = false;
    QTimer::singleShot(1200, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        ticksSeen = static_cast<int>(m_tray.records.size());
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                texts << label->text();
            } else {
                EXPECT_FALSE(label->pixmap().isNull());
            }
        }
        auto* ok = box->findChild<QPushButton*>();
        ASSERT_NE(ok, nullptr);
        defaultOk = ok->isDefault() && ok->text() == QStringLiteral("确定");
        ok->click();
    });
    dlg.OnSysCommand(IDM_ABOUTBOX | 0x000F, 0);
    EXPECT_EQ(caption, QStringLiteral("关于 melvane"));
    EXPECT_TRUE(texts.contains(QStringLiteral("melvane 1.0 版")));
    EXPECT_EQ(texts.size(), 2);
    EXPECT_TRUE(defaultOk);
    // The animation went on while the box was open (500 ms timer).
    EXPECT_GE(ticksSeen, 2);
}

// Repeat buttons, called directly and posted, swap their pictures and leave
// playback alone.
TEST_F(WindowTest, CommandsReachTheirHandlersThroughTheMessageMap) {
    WritePlaylist({"/m/a.mid"});
    CMelvaneDlg& dlg = Start();
    Clear();
    EXPECT_TRUE(dlg.OnCommand(IDC_REPEATONE, 0));
    EXPECT_EQ(dlg.m_bRepeatAll, 0);
    EXPECT_EQ(dlg.m_btnRepeatOne.GetBitmap().cacheKey(), g_hbmRepeatOneOn->cacheKey());
    EXPECT_EQ(dlg.m_btnRepeatAll.GetBitmap().cacheKey(), g_hbmRepeatAllOff->cacheKey());
    QCoreApplication::postEvent(&dlg, new platform::CommandEvent(IDC_REPEATALL, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.m_bRepeatAll, 1);
    EXPECT_EQ(dlg.m_btnRepeatOne.GetBitmap().cacheKey(), g_hbmRepeatOneOff->cacheKey());
    EXPECT_EQ(dlg.m_btnRepeatAll.GetBitmap().cacheKey(), g_hbmRepeatAllOn->cacheKey());
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_FALSE(dlg.OnCommand(ID_TRAY_SEP1, 0));
    EXPECT_FALSE(dlg.OnCommand(ID_TRAY_SEP2, 0));
    EXPECT_FALSE(dlg.OnCommand(IDC_LISTMUSIC, 0));
}

TEST_F(WindowTest, TipsShowAfterFiftyMillisecondsOnlyOverToolsOfTheActiveWindow) {
    CMelvaneDlg& dlg = Start();
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const auto tipBecomes = [&dlg](const QString& text) {
        return QTest::qWaitFor([&] { return dlg.ToolTip().ShownText() == text; }, 30000);
    };
    QTest::mouseMove(&dlg, QPoint(29 + 10, 83 + 10));
    EXPECT_TRUE(tipBecomes(QStringLiteral("Add music")));
    // Off the tools the tip goes at once.
    QTest::mouseMove(&dlg, QPoint(250, 40));
    EXPECT_TRUE(dlg.ToolTip().ShownText().isEmpty());
    QTest::mouseMove(&dlg, QPoint(200, 200));
    EXPECT_TRUE(tipBecomes(QStringLiteral("DBclick to select music")));

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::mouseMove(&dlg, QPoint(14 + 5, 162 + 5));
    // That no tip comes can only be seen by waiting: well past the 50 ms
    // delay, a tip that was coming would have shown.
    QTest::qWait(200);
    EXPECT_TRUE(dlg.ToolTip().ShownText().isEmpty());
    dlg.hide();
}

// Without a tray icon the window is the only way back to the player: Hide,
// Enter, Escape and a close request put it on the task bar instead of out of
// reach. With a tray icon they hide it.
TEST_F(WindowTest, WithoutATrayHidingMinimisesTheWindowAndWithOneHidesIt) {
    for (const bool tray : {false, true}) {
        SCOPED_TRACE(tray);
        m_tray.available = tray;
        CMelvaneDlg& dlg = Start();
        const std::function<void()> ways[] = {
            [&] {
                QTest::mouseClick(dlg.m_btnHide.GetSafeHwnd(), Qt::LeftButton);
                QCoreApplication::sendPostedEvents();
            },
            [&] { QTest::keyClick(&dlg, Qt::Key_Return); },
            [&] { QTest::keyClick(&dlg, Qt::Key_Escape); },
            [&] { dlg.close(); },
        };
        for (const auto& way : ways) {
            dlg.showNormal();
            ASSERT_TRUE(dlg.isVisible());
            way();
            EXPECT_EQ(dlg.isVisible(), !tray);
            EXPECT_EQ(dlg.isMinimized(), !tray);
        }
        dlg.hide();
    }
}

TEST(FileDialogFilterTest, PatternsAreShownOnceAndAddedWhenMissing) {
    EXPECT_EQ(platform::ToQtFilter("MediaFile(*.mid *.wav *.mp3)|*.mid;*.wav;*.mp3|"),
              QStringLiteral("MediaFile(*.mid *.wav *.mp3)"));
    EXPECT_EQ(platform::ToQtFilter("Music|*.mid;*.wav|All|*|"),
              QStringLiteral("Music (*.mid *.wav);;All (*)"));
}

TEST_F(WindowTest, RightClickOnTheBackgroundOpensTheSystemMenuButNotOnTheList) {
    CMelvaneDlg& dlg = Start();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QContextMenuEvent onList(QContextMenuEvent::Mouse, QPoint(200, 200),
                             dlg.mapToGlobal(QPoint(200, 200)));
    QApplication::sendEvent(&dlg, &onList);
    EXPECT_FALSE(dlg.GetSystemMenu()->isVisible());
    QContextMenuEvent onBackground(QContextMenuEvent::Mouse, QPoint(250, 310),
                                   dlg.mapToGlobal(QPoint(250, 310)));
    QApplication::sendEvent(&dlg, &onBackground);
    EXPECT_TRUE(dlg.GetSystemMenu()->isVisible());
    // It ends with a separator and the About item.
    const QList<QAction*> actions = dlg.GetSystemMenu()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), QStringLiteral("关于 melvane(&A)..."));
    dlg.GetSystemMenu()->hide();
    dlg.hide();
}

}  // namespace
