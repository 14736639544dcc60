#include <QTest>

#include <functional>

#include "dlg_fixture.h"

namespace {

class TransportTest : public DlgTest {
protected:
    // A window over Tunes(n), with the start-up's own work forgotten.
    CMelvaneDlg& StartWith(int n) {
        WritePlaylist(Tunes(n));
        CMelvaneDlg& dlg = Start();
        Clear();
        return dlg;
    }
};

TEST_F(TransportTest, EndOfTrackGoesOnOrRepeatsAndWrapsAndOtherEndsAreIgnored) {
    CMelvaneDlg& dlg = StartWith(3);
    // Aborted and superseded plays are no end of track.
    for (std::uint32_t flag : {platform::MCI_NOTIFY_ABORTED, platform::MCI_NOTIFY_SUPERSEDED}) {
        dlg.OnMciNotify(flag, 0);
    }
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_EQ(dlg.m_playlist.m_nCurrent, 0);

    dlg.m_playlist.SetCurrent(1);
    // The layer's notification arrives as an event on the window.
    QCoreApplication::postEvent(&dlg,
                                new platform::MciNotifyEvent(platform::MCI_NOTIFY_SUCCESSFUL, 1));
    QCoreApplication::processEvents();
    EXPECT_EQ(MciCalls(), Reopen(Tune(2)));

    Clear();
    dlg.OnMciNotify(platform::MCI_NOTIFY_SUCCESSFUL, 7);
    EXPECT_EQ(MciCalls(), Reopen(Tune(0)));

    Clear();
    dlg.OnCommand(IDC_REPEATONE, 0);
    dlg.OnMciNotify(platform::MCI_NOTIFY_SUCCESSFUL, 7);
    EXPECT_EQ(MciCalls(), Reopen(Tune(0)));
}

// A track that broke off (its output went away) stops the player as a stop
// does; the layer's output message then plays the same entry again, once. A
// stop meanwhile, or a play that is already on, leaves the message unused.
TEST_F(TransportTest, FailedTrackStopsThePlayerAndTheOutputsReturnPlaysItAgain) {
    CMelvaneDlg& dlg = StartWith(3);
    dlg.NextMusic();
    const auto deliver = [&dlg](QEvent* event) {
        QCoreApplication::postEvent(&dlg, event);
        QCoreApplication::processEvents();
    };
    const auto failure = [] {
        return new platform::MciNotifyEvent(platform::MCI_NOTIFY_FAILURE, 1);
    };
    Clear();
    deliver(failure());
    EXPECT_EQ(MciCalls(), (Calls{"stop themidi", "close themidi"}));
    EXPECT_EQ(dlg.m_bPlaying, 0);
    EXPECT_FALSE(dlg.IsTimerRunning());
    ASSERT_FALSE(m_tray.records.empty());
    EXPECT_EQ(m_tray.LastIcon().cacheKey(), g_hIconStill->cacheKey());

    Clear();
    deliver(new platform::MciOutputEvent());
    EXPECT_EQ(MciCalls(), (Calls{"open /m/1.mid alias themidi", "play themidi notify"}));
    EXPECT_EQ(dlg.m_bPlaying, 1);
    EXPECT_TRUE(dlg.IsTimerRunning());
    Clear();
    deliver(new platform::MciOutputEvent());
    EXPECT_TRUE(MciCalls().empty());

    deliver(failure());
    dlg.OnCommand(IDC_STOP, 0);
    Clear();
    deliver(new platform::MciOutputEvent());
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_EQ(dlg.m_bPlaying, 0);

    dlg.OnPlay();
    deliver(failure());
    dlg.OnPlay();
    Clear();
    deliver(new platform::MciOutputEvent());
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_EQ(dlg.m_bPlaying, 1);
}

TEST_F(TransportTest, PlayMusicWhilePlayingSendsNothing) {
    CMelvaneDlg& dlg = StartWith(2);
    dlg.PlayMusic();
    dlg.OnPlay();
    EXPECT_TRUE(MciCalls().empty());
}

// From a stop: Last and Next wrap round and leave the timer off; First and
// Final start it, but not when the entry fails to open.
TEST_F(TransportTest, StepCommandsWrapAndOnlyFirstAndFinalStartTheTimer) {
    CMelvaneDlg& dlg = StartWith(5);
    const struct {
        int command;
        int index;
        bool timer;
    } steps[] = {{ID_TRAY_LAST, 4, false},
                 {ID_TRAY_NEXT, 0, false},
                 {IDC_FINAL, 4, true},
                 {ID_TRAY_FIRST, 0, true}};
    for (const auto& step : steps) {
        dlg.OnStop();
        Clear();
        dlg.OnCommand(step.command, 0);
        EXPECT_EQ(MciCalls(), Reopen(Tune(step.index))) << step.command;
        EXPECT_EQ(dlg.m_bPlaying, 1) << step.command;
        EXPECT_EQ(dlg.IsTimerRunning(), step.timer) << step.command;
    }
    dlg.OnStop();
    m_mci.badPaths.insert("/m/0.mid");
    dlg.OnFirst();
    EXPECT_EQ(dlg.m_bPlaying, 0);
    EXPECT_FALSE(dlg.IsTimerRunning());
}

TEST_F(TransportTest, StopKillsTheTimerShowsTheStillIconAndOnlyOnce) {
    CMelvaneDlg& dlg = StartWith(1);
    dlg.OnCommand(IDC_STOP, 0);
    EXPECT_EQ(MciCalls(), (Calls{"stop themidi", "close themidi"}));
    EXPECT_FALSE(dlg.IsTimerRunning());
    EXPECT_EQ(dlg.m_bPlaying, 0);
    ASSERT_EQ(m_tray.records.size(), 1u);
    EXPECT_EQ(m_tray.records[0].first, platform::NIM_MODIFY);
    EXPECT_EQ(m_tray.LastIcon().cacheKey(), g_hIconStill->cacheKey());
    Clear();
    dlg.OnCommand(IDC_STOP, 0);
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_TRUE(m_tray.records.empty());
}

TEST_F(TransportTest, PlayOrNextAfterStopMarkPlayingOnlyWhenTheTrackOpens) {
    CMelvaneDlg& dlg = StartWith(2);
    dlg.OnStop();
    m_mci.badPaths = {"/m/0.mid", "/m/1.mid"};
    dlg.OnCommand(IDC_PLAY, 0);
    EXPECT_EQ(dlg.m_bPlaying, 0);
    EXPECT_FALSE(dlg.IsTimerRunning());
    dlg.NextMusic();
    EXPECT_EQ(dlg.m_bPlaying, 0);
    ASSERT_FALSE(m_prompts.app.empty());
    EXPECT_EQ(m_prompts.app.back(), "Can't open file:/m/1.mid!");
    m_mci.badPaths.clear();
    dlg.OnCommand(ID_TRAY_PLAY, 0);
    EXPECT_EQ(dlg.m_bPlaying, 1);
    EXPECT_TRUE(dlg.IsTimerRunning());
}

TEST_F(TransportTest, FinalOnAnEmptyListReportsAndADoubleClickWithoutARowDoesNothing) {
    CMelvaneDlg& dlg = StartWith(0);
    dlg.OnCommand(ID_TRAY_FINAL, 0);
    EXPECT_EQ(dlg.m_playlist.m_nCurrent, -1);
    EXPECT_EQ(dlg.m_bPlaying, 0);
    EXPECT_EQ(m_prompts.app, (Calls{"No muisic,please add music!"}));

    Clear();
    dlg.OnCommand(IDC_LISTMUSIC, LBN_DBLCLK);
    EXPECT_EQ(dlg.m_bPlaying, 0);
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_TRUE(m_prompts.app.empty());
}

// Every path that stops the track and opens another: when the open fails the
// player is stopped (still icon, no animation) and Play starts it again.
TEST_F(TransportTest, AFailedOpenLeavesThePlayerStoppedAndPlayStartsAgain) {
    CMelvaneDlg& dlg = StartWith(3);
    const struct {
        const char* path;
        int failing;
        std::function<void()> act;
    } paths[] = {
        {"First", 0, [&] { dlg.OnCommand(IDC_FIRST, 0); }},
        {"Final", 2, [&] { dlg.OnCommand(IDC_FINAL, 0); }},
        {"list", 1,
         [&] {
             dlg.m_listMusic.SetCurSel(1);
             dlg.OnCommand(IDC_LISTMUSIC, LBN_DBLCLK);
         }},
        {"tray Next", 1, [&] { dlg.OnCommand(ID_TRAY_NEXT, 0); }},
        {"tray Last", 2, [&] { dlg.OnCommand(ID_TRAY_LAST, 0); }},
        {"end of track", 1, [&] { dlg.OnMciNotify(platform::MCI_NOTIFY_SUCCESSFUL, 1); }},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.path);
        const std::string bad = Tune(path.failing);
        m_mci.badPaths.clear();
        dlg.OnCommand(IDC_FIRST, 0);
        ASSERT_EQ(dlg.m_bPlaying, 1);
        m_mci.badPaths = {bad};
        Clear();
        path.act();
        EXPECT_EQ(m_prompts.app, (Calls{"Can't open file:" + bad + "!"}));
        EXPECT_FALSE(m_mci.IsOpen("themidi"));
        EXPECT_EQ(dlg.m_bPlaying, 0);
        EXPECT_FALSE(dlg.IsTimerRunning());
        EXPECT_EQ(m_tray.LastIcon().cacheKey(), g_hIconStill->cacheKey());

        m_mci.badPaths.clear();
        Clear();
        dlg.OnCommand(IDC_PLAY, 0);
        EXPECT_EQ(MciCalls(), (Calls{"open " + bad + " alias themidi", "play themidi notify"}));
        EXPECT_EQ(dlg.m_bPlaying, 1);
        EXPECT_TRUE(dlg.IsTimerRunning());
    }
}

class ListDoubleClickTest : public DlgTest {
protected:
    // A real double-click at the middle of `row`, or below the last row for
    // -1, as the window system delivers it.
    void DoubleClickRow(int row) {
        CListBoxCtrl* list = m_dlg->m_listMusic.GetSafeHwnd();
        QPoint at;
        if (row >= 0) {
            at = list->visualItemRect(list->item(row)).center();
        } else {
            const QRect last = list->visualItemRect(list->item(list->count() - 1));
            at = QPoint(last.center().x(), last.bottom() + 2 * last.height());
            ASSERT_LT(at.y(), list->viewport()->height());
        }
        QTest::mouseDClick(m_dlg->windowHandle(), Qt::LeftButton, Qt::KeyboardModifiers(),
                           list->viewport()->mapTo(m_dlg.get(), at));
        QCoreApplication::sendPostedEvents();
    }
    CMelvaneDlg& StartShown(const std::vector<std::string>& entries) {
        WritePlaylist(entries);
        CMelvaneDlg& dlg = Start();
        dlg.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        Clear();
        return dlg;
    }
    void TearDown() override {
        if (m_dlg) {
            m_dlg->hide();
        }
        DlgTest::TearDown();
    }
};

// The list shows the file sorted while the playlist keeps the file's order:
// the row clicked is the file played, and the file stays as it was. Steps go
// on in the playlist's order from there.
TEST_F(ListDoubleClickTest, TheRowClickedIsTheFilePlayedAndTheFileIsKept) {
    CMelvaneDlg& dlg = StartShown({"/m/c.wav", "/m/a.wav", "/m/b.wav"});
    const std::string file = ReadPlaylist();
    ASSERT_EQ(dlg.m_listMusic.GetText(0), "/m/a.wav");
    DoubleClickRow(0);
    EXPECT_EQ(MciCalls(), Reopen("/m/a.wav"));
    EXPECT_EQ(dlg.m_playlist.m_nCurrent, 1);
    EXPECT_EQ(dlg.m_bPlaying, 1);
    EXPECT_EQ(ReadPlaylist(), file);
    Clear();
    dlg.OnCommand(ID_TRAY_NEXT, 0);
    EXPECT_EQ(MciCalls(), Reopen("/m/b.wav"));
    Clear();
    dlg.OnCommand(ID_TRAY_LAST, 0);
    dlg.OnCommand(ID_TRAY_LAST, 0);
    ASSERT_EQ(MciCalls().size(), 8u);
    EXPECT_EQ(MciCalls()[2], "open /m/a.wav alias themidi");
    EXPECT_EQ(MciCalls()[6], "open /m/c.wav alias themidi");

    // After an edit the playlist is in the list's order, and rows still map.
    m_shell.chosen = {"/m/d.wav"};
    dlg.OnCommand(IDC_ADD, 0);
    Clear();
    DoubleClickRow(2);
    EXPECT_EQ(MciCalls(), Reopen("/m/c.wav"));
    EXPECT_EQ(dlg.m_playlist.m_nCurrent, 2);
}

// Names that are not UTF-8 look alike on screen, and a path may be listed
// twice: each row still plays its own entry, byte for byte.
TEST_F(ListDoubleClickTest, RowsMapToTheirOwnEntryWhateverTheirBytes) {
    const std::string z = std::string("/m/\xe9") + "z.wav";
    const std::string a = std::string("/m/\xe9") + "a.wav";
    CMelvaneDlg& dlg = StartShown({z, a, z});
    const int expected[] = {1, 0, 2};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        Clear();
        DoubleClickRow(row);
        EXPECT_EQ(dlg.m_playlist.m_nCurrent, expected[row]);
        EXPECT_EQ(MciCalls(), Reopen(row == 0 ? a : z));
    }
    EXPECT_EQ(ReadPlaylist(), z + "\r\n" + a + "\r\n" + z + "\r\n");
}

TEST_F(ListDoubleClickTest, ADoubleClickBelowTheLastRowDoesNothing) {
    CMelvaneDlg& dlg = StartShown({"/m/b.wav", "/m/a.wav"});
    dlg.m_listMusic.SetCurSel(1);
    DoubleClickRow(-1);
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_TRUE(m_prompts.app.empty());
    EXPECT_EQ(dlg.m_bPlaying, 1);
    EXPECT_EQ(dlg.m_playlist.m_nCurrent, 0);
}

TEST_F(TransportTest, AnimationSwingsOnlyWhilePlayingAndCarriesOverAStop) {
    g_nAnimFrame = 1;
    g_bAnimUp = 1;
    CMelvaneDlg& dlg = StartWith(1);
    const QIcon* frames[] = {g_hIconAnim1, g_hIconAnim2, g_hIconAnim3, g_hIconAnim4};
    auto frameOf = [&](const QIcon& icon) {
        for (int i = 0; i < 4; ++i) {
            if (icon.cacheKey() == frames[i]->cacheKey()) {
                return 145 + (i == 0 ? 0 : i == 1 ? 2 : i == 2 ? 3 : 46);
            }
        }
        return 0;
    };
    std::vector<int> shown;
    for (int tick = 0; tick < 20; ++tick) {
        dlg.OnTimer(1);
        shown.push_back(frameOf(m_tray.LastIcon()));
        if (tick == 9) {
            dlg.OnStop();
            dlg.OnTimer(1);
            dlg.OnTimer(1);
            EXPECT_EQ(m_tray.records.size(), static_cast<std::size_t>(11));
            dlg.OnPlay();
        }
    }
    EXPECT_EQ(shown, (std::vector<int>{145, 147, 145, 147, 148, 191, 148, 147, 145, 147,
                                       148, 191, 148, 147, 145, 147, 148, 191, 148, 147}));
    for (const auto& record : m_tray.records) {
        EXPECT_EQ(record.first, platform::NIM_MODIFY);
    }
}

TEST_F(TransportTest, TrayDoubleClickShowsAndRightPressIsTheOnlyOtherAction) {
    CMelvaneDlg& dlg = StartWith(1);
    for (std::uint32_t mouse : {platform::WM_LBUTTONDOWN, platform::WM_LBUTTONUP,
                                platform::WM_RBUTTONUP, platform::WM_MOUSEMOVE}) {
        dlg.DefWindowProc(WM_TRAYNOTIFY, 100, static_cast<std::intptr_t>(mouse));
    }
    EXPECT_FALSE(dlg.isVisible());
    dlg.DefWindowProc(WM_TRAYNOTIFY, 100, platform::WM_LBUTTONDBLCLK);
    EXPECT_TRUE(dlg.isVisible());
    dlg.OnCommand(IDC_HIDE, 0);
    EXPECT_FALSE(dlg.isVisible());
    dlg.OnCommand(ID_TRAY_OPTION, 0);
    EXPECT_TRUE(dlg.isVisible());
    dlg.hide();
}

}  // namespace
