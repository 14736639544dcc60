#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <functional>

#include "dlg_fixture.h"

namespace {

class EditingTest : public DlgTest {
protected:
    std::vector<std::string> PlaylistItems() const {
        std::vector<std::string> items;
        for (int i = 0; i < m_dlg->m_playlist.GetCount(); ++i) {
            items.push_back(m_dlg->m_playlist.GetMusic(i));
        }
        return items;
    }
    void Add(std::vector<std::string> paths) {
        m_shell.chosen = std::move(paths);
        m_dlg->OnCommand(IDC_ADD, 0);
    }
};

TEST_F(EditingTest, AddAsksForMediaFilesAndCancelChangesNothing) {
    WritePlaylist({"/m/x.mid"});
    Start();
    Clear();
    m_shell.cancel = true;
    m_dlg->OnCommand(IDC_ADD, 0);
    EXPECT_EQ(m_shell.dialogs, 1);
    EXPECT_EQ(m_shell.lastOwner, m_dlg.get());
    EXPECT_EQ(m_shell.lastSuffix, ".mid");
    EXPECT_EQ(m_shell.lastFilter, "MediaFile(*.mid *.wav *.mp3)|*.mid;*.wav;*.mp3|");
    EXPECT_EQ(ListItems(), (Calls{"/m/x.mid"}));
    EXPECT_EQ(ReadPlaylist(), "/m/x.mid\r\n");
    EXPECT_TRUE(MciCalls().empty());
}

TEST_F(EditingTest, AddingBThenAToAnEmptyListSavesSortedAndPlaysA) {
    Start();
    Clear();
    Add({"/m/b.mid"});
    EXPECT_EQ(m_dlg->m_bPlaying, 1);
    m_dlg->OnStop();
    Clear();
    Add({"/m/a.mid"});
    EXPECT_EQ(ListItems(), (Calls{"/m/a.mid", "/m/b.mid"}));
    EXPECT_EQ(ReadPlaylist(), "/m/a.mid\r\n/m/b.mid\r\n");
    EXPECT_EQ(MciCalls(), (Calls{"open /m/a.mid alias themidi", "play themidi notify"}));
    // A rebuild plays but does not start the stopped timer.
    EXPECT_FALSE(m_dlg->IsTimerRunning());
}

TEST_F(EditingTest, AddWhilePlayingKeepsTheTrackAndResetsTheIndex) {
    WritePlaylist({"/m/a.mid", "/m/c.mid"});
    Start();
    m_dlg->m_playlist.SetCurrent(1);
    Clear();
    Add({"/m/b.mid", "/m/b.mid"});
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_EQ(m_dlg->m_playlist.m_nCurrent, 0);
    EXPECT_EQ(PlaylistItems(), (Calls{"/m/a.mid", "/m/b.mid", "/m/b.mid", "/m/c.mid"}));
    // When the sounding track ends, entry 1 follows.
    m_dlg->OnMciNotify(platform::MCI_NOTIFY_SUCCESSFUL, 0);
    EXPECT_EQ(MciCalls().back(), "play themidi notify");
    EXPECT_EQ(MciCalls()[2], "open /m/b.mid alias themidi");
}

TEST_F(EditingTest, DeleteWithoutSelectionDeletesNothingSelectsTheFirstAndPlaysIt) {
    WritePlaylist({"/m/b.mid", "/m/a.mid"});
    Start();
    m_dlg->OnStop();
    Clear();
    m_dlg->OnCommand(IDC_DELETE, 0);
    EXPECT_EQ(ListItems(), (Calls{"/m/a.mid", "/m/b.mid"}));
    EXPECT_EQ(m_dlg->m_listMusic.GetCurSel(), 0);
    // The rewrite puts the file in list order.
    EXPECT_EQ(ReadPlaylist(), "/m/a.mid\r\n/m/b.mid\r\n");
    EXPECT_EQ(MciCalls(), (Calls{"open /m/a.mid alias themidi", "play themidi notify"}));
}

TEST_F(EditingTest, DeleteSelectsTheNextAndClearsTheSlotAfterTheLast) {
    WritePlaylist({"/m/a.mid", "/m/b.mid", "/m/c.mid"});
    Start();
    m_dlg->m_listMusic.SetCurSel(1);
    m_dlg->OnDelete();
    EXPECT_EQ(ListItems(), (Calls{"/m/a.mid", "/m/c.mid"}));
    EXPECT_EQ(m_dlg->m_listMusic.GetCurSel(), 1);
    EXPECT_EQ(m_dlg->m_playlist.GetCount(), 2);
    EXPECT_EQ(m_dlg->m_playlist.m_strMusic[2], "");
}

TEST_F(EditingTest, DeletingTheOnlyEntryLeavesAnEmptyFileAndReportsWhenStopped) {
    WritePlaylist({"/m/a.mid"});
    Start();
    m_dlg->OnStop();
    Clear();
    m_dlg->m_listMusic.SetCurSel(0);
    m_dlg->OnDelete();
    EXPECT_EQ(m_dlg->m_listMusic.GetCount(), 0);
    EXPECT_EQ(m_dlg->m_playlist.GetCount(), 0);
    EXPECT_EQ(ReadPlaylist(), "");
    EXPECT_EQ(m_prompts.app, (Calls{"No muisic,please add music!"}));
    EXPECT_EQ(m_dlg->m_bPlaying, 0);
}

TEST_F(EditingTest, PathBytesSurviveTheRebuildUnchanged) {
    const std::string odd = "/m/\xff\xfe-caf\xe9.mid";
    WritePlaylist({odd, "/m/z.mid"});
    Start();
    Add({"/m/\xe9t\xe9.wav"});
    const std::string file = ReadPlaylist();
    EXPECT_NE(file.find(odd + "\r\n"), std::string::npos);
    EXPECT_NE(file.find("/m/\xe9t\xe9.wav\r\n"), std::string::npos);
    EXPECT_EQ(m_dlg->m_playlist.GetCount(), 3);
}

TEST_F(EditingTest, EmptyLineFromTheFileDoesNotCutTheListShort) {
    WritePlaylist({"/m/a.mid", "", "/m/b.mid"});
    Start();
    Add({"/m/c.mid"});
    EXPECT_EQ(PlaylistItems(), (Calls{"", "/m/a.mid", "/m/b.mid", "/m/c.mid"}));
}

TEST_F(EditingTest, NamesWithALineBreakAreLeftOutAndTheUserTold) {
    Start();
    Clear();
    Add({"/m/bad\nname.mid", "/m/good.mid"});
    EXPECT_EQ(ListItems(), (Calls{"/m/good.mid"}));
    ASSERT_EQ(m_prompts.window.size(), 1u);
    EXPECT_NE(m_prompts.window[0].find("line break"), std::string::npos);
    EXPECT_EQ(ReadPlaylist(), "/m/good.mid\r\n");
}

TEST_F(EditingTest, AddStopsAtOneHundredEntriesAndSaysHowManyWereLeftOut) {
    WriteNearlyFullPlaylist();
    Start();
    Clear();
    Add({"/m/a1.mid", "/m/a2.mid", "/m/a3.mid", "/m/a4.mid", "/m/a5.mid"});
    EXPECT_EQ(m_dlg->m_listMusic.GetCount(), 100);
    EXPECT_EQ(m_dlg->m_playlist.GetCount(), 100);
    EXPECT_EQ(ListItems(), PlaylistItems());
    ASSERT_EQ(m_prompts.window.size(), 1u);
    EXPECT_NE(m_prompts.window[0].find("3 file(s) were not added"), std::string::npos);
}

TEST_F(EditingTest, HoverLightsOnlyTheButtonUnderTheMouseUntilTheBackgroundIsReached) {
    Start();
    CMelvaneDlg& dlg = *m_dlg;
    dlg.OnSetCursor(dlg.m_btnAdd.GetSafeHwnd());
    EXPECT_EQ(dlg.m_btnAdd.GetBitmap().cacheKey(), g_hbmAddHot->cacheKey());
    EXPECT_EQ(dlg.m_btnAdd.GetSafeHwnd()->cursor().pixmap().cacheKey(),
              g_hCursorHand->pixmap().cacheKey());
    EXPECT_EQ(dlg.m_btnDelete.GetBitmap().cacheKey(), g_hbmDelete->cacheKey());
    // Straight onto another button: both stay lit.
    dlg.OnSetCursor(dlg.m_btnPlay.GetSafeHwnd());
    EXPECT_EQ(dlg.m_btnAdd.GetBitmap().cacheKey(), g_hbmAddHot->cacheKey());
    EXPECT_EQ(dlg.m_btnPlay.GetSafeHwnd()->geometry(), QRect(14, 162, 19, 21));
    // Buttons without a hover picture only change the cursor.
    dlg.OnSetCursor(dlg.m_btnHelp.GetSafeHwnd());
    EXPECT_EQ(dlg.m_btnAdd.GetBitmap().cacheKey(), g_hbmAddHot->cacheKey());
    // The list puts everything back.
    EXPECT_FALSE(dlg.OnSetCursor(dlg.m_listMusic.GetSafeHwnd()));
    EXPECT_EQ(dlg.m_btnAdd.GetBitmap().cacheKey(), g_hbmAdd->cacheKey());
    EXPECT_EQ(dlg.m_btnPlay.GetSafeHwnd()->geometry(), QRect(14, 162, 16, 18));

    // Real mouse moves drive the same feedback.
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::mouseMove(&dlg, QPoint(29 + 10, 83 + 10));
    QTest::mouseMove(&dlg, QPoint(29 + 12, 83 + 10));
    EXPECT_EQ(dlg.m_btnAdd.GetBitmap().cacheKey(), g_hbmAddHot->cacheKey());
    QTest::mouseMove(&dlg, QPoint(250, 40));
    QTest::mouseMove(&dlg, QPoint(252, 40));
    EXPECT_EQ(dlg.m_btnAdd.GetBitmap().cacheKey(), g_hbmAdd->cacheKey());
    dlg.hide();
}

// A double-click on a picture button is one click: the second press makes no
// command, whether the window system delivers it or it comes straight to the
// control as a press, a release, a double-click and a release.
TEST_F(EditingTest, ADoubleClickOnAPictureButtonRunsItsCommandOnce) {
    WritePlaylist({"/m/a.mid", "/m/b.mid", "/m/c.mid", "/m/d.mid"});
    Start();
    CMelvaneDlg& dlg = *m_dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const std::function<void(CStatic&)> styles[] = {
        [&](CStatic& button) {
            CPictureCtrl* control = button.GetSafeHwnd();
            QTest::mouseDClick(dlg.windowHandle(), Qt::LeftButton, Qt::KeyboardModifiers(),
                               control->mapTo(&dlg, control->rect().center()));
        },
        [](CStatic& button) {
            QTest::mouseClick(button.GetSafeHwnd(), Qt::LeftButton);
            QTest::mouseDClick(button.GetSafeHwnd(), Qt::LeftButton);
            QTest::mouseRelease(button.GetSafeHwnd(), Qt::LeftButton);
        },
    };
    const Calls left[] = {{"/m/b.mid", "/m/c.mid", "/m/d.mid"}, {"/m/c.mid", "/m/d.mid"}};
    for (int style = 0; style < 2; ++style) {
        SCOPED_TRACE(style);
        const auto doubleClick = [&](CStatic& button) {
            Clear();
            styles[style](button);
            QCoreApplication::sendPostedEvents();
        };
        m_dlg->m_listMusic.SetCurSel(0);
        doubleClick(dlg.m_btnDelete);
        EXPECT_EQ(ListItems(), left[style]);
        std::string file;
        for (const std::string& entry : left[style]) {
            file += entry + "\r\n";
        }
        EXPECT_EQ(ReadPlaylist(), file);
        doubleClick(dlg.m_btnFirst);
        EXPECT_EQ(MciCalls(), Reopen(left[style].front()));
        doubleClick(dlg.m_btnFinal);
        EXPECT_EQ(MciCalls(), Reopen("/m/d.mid"));
    }
    dlg.hide();
}

TEST_F(EditingTest, HelpOpensTheHelpFile) {
    Start();
    m_dlg->OnCommand(IDC_HELP, 0);
    EXPECT_EQ(m_shell.opened, (Calls{"music.chm"}));
}

TEST_F(EditingTest, HelpOpensTheInstalledPageWhenNoHelpFileIsBesideTheProgram) {
    // An installed layout: prefix/bin/melvane and prefix/share/doc/melvane.
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("prefix/bin")));
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("prefix/share/doc/melvane")));
    m_dir.Write("prefix/share/doc/melvane/index.html", "<html></html>");
    m_exePath = m_path + "/prefix/bin/melvane";
    Start();
    Clear();
    m_dlg->OnCommand(IDC_HELP, 0);
    ASSERT_EQ(m_shell.opened.size(), 1u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(m_shell.opened[0])).canonicalFilePath(),
              QString::fromStdString(m_path + "/prefix/share/doc/melvane/index.html"));

    // A music.chm beside the program is still the one opened; nothing is
    // said when the desktop cannot show it (the fake shell opens nothing).
    m_dir.Write("music.chm", "x");
    m_dlg->OnCommand(IDC_HELP, 0);
    EXPECT_EQ(m_shell.opened.back(), "music.chm");
    EXPECT_TRUE(m_prompts.window.empty());
    EXPECT_TRUE(m_prompts.app.empty());
}

TEST_F(EditingTest, DeleteKeyInTheListDeletesLikeTheDeleteButton) {
    WritePlaylist({"/m/a.mid", "/m/b.mid", "/m/c.mid"});
    Start();
    Clear();
    m_dlg->m_listMusic.SetCurSel(1);
    QTest::keyClick(m_dlg->m_listMusic.GetSafeHwnd(), Qt::Key_Delete);
    QCoreApplication::processEvents();
    EXPECT_EQ(ListItems(), (Calls{"/m/a.mid", "/m/c.mid"}));
    EXPECT_EQ(PlaylistItems(), (Calls{"/m/a.mid", "/m/c.mid"}));
    EXPECT_EQ(ReadPlaylist(), "/m/a.mid\r\n/m/c.mid\r\n");
    // As after the button: the entry after the deleted one is selected.
    EXPECT_EQ(m_dlg->m_listMusic.GetText(m_dlg->m_listMusic.GetCurSel()), "/m/c.mid");

    // Other keys edit nothing.
    QTest::keyClick(m_dlg->m_listMusic.GetSafeHwnd(), Qt::Key_Backspace);
    QCoreApplication::processEvents();
    EXPECT_EQ(ListItems(), (Calls{"/m/a.mid", "/m/c.mid"}));
}

}  // namespace
