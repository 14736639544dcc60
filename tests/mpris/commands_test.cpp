// The desktop's media commands reach the window's own handlers.
#include "mpris_fixture.h"

namespace {

class MprisCommandTest : public MprisTest {
protected:
    static Calls Reopen(int index) {
        const std::string path = "/m/" + std::to_string(index) + ".mid";
        return {"stop themidi", "close themidi", "open " + path + " alias themidi",
                "play themidi notify"};
    }
    static Calls Stopped() { return {"stop themidi", "close themidi"}; }
    static Calls Opened(int index) {
        return {"open /m/" + std::to_string(index) + ".mid alias themidi", "play themidi notify"};
    }
};

TEST_F(MprisCommandTest, PlayAfterStopPlaysTheCurrentEntryAndStartsTheAnimation) {
    CMelvaneDlg& dlg = StartOnBus(3);
    dlg.OnStop();
    Clear();
    Ctl({QStringLiteral("play")});
    EXPECT_EQ(MciCalls(), Opened(0));
    EXPECT_EQ(dlg.m_bPlaying, 1);
    EXPECT_TRUE(dlg.IsTimerRunning());
}

TEST_F(MprisCommandTest, StopStopsAndClosesTheTrackAndStillsTheIcon) {
    CMelvaneDlg& dlg = StartOnBus(3);
    Ctl({QStringLiteral("stop")});
    EXPECT_EQ(MciCalls(), Stopped());
    EXPECT_EQ(dlg.m_bPlaying, 0);
    EXPECT_FALSE(dlg.IsTimerRunning());
    EXPECT_EQ(m_tray.LastIcon().cacheKey(), g_hIconStill->cacheKey());
}

TEST_F(MprisCommandTest, NextAndPreviousStepThroughTheListAndWrap) {
    CMelvaneDlg& dlg = StartOnBus(3);
    Ctl({QStringLiteral("next")});
    EXPECT_EQ(MciCalls(), Reopen(1));
    Clear();
    Ctl({QStringLiteral("previous")});
    Ctl({QStringLiteral("previous")});
    Calls expected = Reopen(0);
    for (const std::string& call : Reopen(2)) {
        expected.push_back(call);
    }
    EXPECT_EQ(MciCalls(), expected);
    EXPECT_EQ(dlg.m_playlist.m_nCurrent, 2);
}

TEST_F(MprisCommandTest, PlayPauseStopsOrPlays) {
    CMelvaneDlg& dlg = StartOnBus(2);
    Ctl({QStringLiteral("play-pause")});
    EXPECT_EQ(MciCalls(), Stopped());
    EXPECT_EQ(dlg.m_bPlaying, 0);
    Clear();
    Ctl({QStringLiteral("play-pause")});
    EXPECT_EQ(MciCalls(), Opened(0));
    EXPECT_EQ(dlg.m_bPlaying, 1);
}

TEST_F(MprisCommandTest, PauseStopsButNeverStartsTheMusic) {
    CMelvaneDlg& dlg = StartOnBus(2);
    Ctl({QStringLiteral("pause")});
    EXPECT_EQ(MciCalls(), Stopped());
    Clear();
    Ctl({QStringLiteral("pause")});
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_EQ(dlg.m_bPlaying, 0);
}

TEST_F(MprisCommandTest, RaiseShowsTheWindowAsTheTraysOptionDoes) {
    CMelvaneDlg& dlg = StartOnBus(1);
    ASSERT_FALSE(dlg.isVisible());
    const QDBusMessage reply =
        Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Raise"));
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(MprisCommandTest, QuitTakesTheExitPathAndLaterCommandsAreIgnored) {
    CMelvaneDlg& dlg = StartOnBus(2);
    Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
    EXPECT_TRUE(dlg.IsDestroyed());
    EXPECT_EQ(m_journal, (Calls{"autostart: open", "autostart: delete DefName", "autostart: close",
                                "tray: delete"}));
    Clear();
    Ctl({QStringLiteral("play")});
    Ctl({QStringLiteral("next")});
    EXPECT_TRUE(MciCalls().empty());
}

// The empty-playlist box and the like still appear for bus commands; the
// caller has its answer before the box, and commands sent while the box is
// open wait until it is closed.
TEST_F(MprisCommandTest, BusGetsItsReplyBeforeAModalBoxAndLaterCommandsWaitForIt) {
    m_mci.badPaths.insert("/m/0.mid");
    CMelvaneDlg& dlg = StartOnBus(2);
    QProcess play;
    bool playAnsweredWhileOpen = false;
    QString next = QStringLiteral("not run");
    Calls callsWhileOpen;
    m_modal.whileOpen = [&] {
        playAnsweredWhileOpen =
            QTest::qWaitFor([&] { return play.state() == QProcess::NotRunning; }, 5000);
        next = Ctl({QStringLiteral("next")});
        callsWhileOpen = MciCalls();
    };
    play.start(QStringLiteral("playerctl"),
               {QStringLiteral("-p"), QStringLiteral("melvane"), QStringLiteral("play")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return MciCalls().size() >= 5; }, 10000));

    EXPECT_TRUE(playAnsweredWhileOpen);
    EXPECT_EQ(play.exitCode(), 0);
    EXPECT_EQ(next, QString());
    EXPECT_EQ(m_modal.app, std::vector<std::string>{"Can't open file:/m/0.mid!"});
    EXPECT_EQ(callsWhileOpen, (Calls{"open /m/0.mid alias themidi"}));
    EXPECT_EQ(MciCalls(), (Calls{"open /m/0.mid alias themidi", "stop themidi", "close themidi",
                                 "open /m/1.mid alias themidi", "play themidi notify"}));
    EXPECT_EQ(dlg.m_bPlaying, 1);
}

}  // namespace
