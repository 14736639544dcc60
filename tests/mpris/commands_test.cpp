// The desktop's media commands reach the window's own handlers.
#include "mpris_fixture.h"

namespace {

using MprisCommandTest = MprisTest;

Calls Opened(int index) {
    return {"open " + Tune(index) + " alias themidi", "play themidi notify"};
}
Calls Stopped() {
    return {"stop themidi", "close themidi"};
}

// Each command in turn, from playing the first of three entries; the status
// playerctl reads back must agree with the window.
TEST_F(MprisCommandTest, TransportCommandsActAsTheWindowsButtons) {
    CMelvaneDlg& dlg = StartOnBus(Tunes(3));
    const struct {
        const char* command;
        Calls calls;
        bool playing;
    } steps[] = {
        {"stop", Stopped(), false},          {"pause", {}, false},  // pause never starts the music
        {"play", Opened(0), true},           {"next", Reopen(Tune(1)), true},
        {"previous", Reopen(Tune(0)), true}, {"previous", Reopen(Tune(2)), true},  // wraps round
        {"play-pause", Stopped(), false},    {"play-pause", Opened(2), true},
        {"pause", Stopped(), false},
    };
    for (const auto& step : steps) {
        Clear();
        EXPECT_EQ(Ctl({QLatin1String(step.command)}), QString()) << step.command;
        EXPECT_EQ(MciCalls(), step.calls) << step.command;
        EXPECT_EQ(dlg.m_bPlaying, step.playing ? 1 : 0) << step.command;
        EXPECT_EQ(dlg.IsTimerRunning(), step.playing) << step.command;
        EXPECT_EQ(Ctl({QStringLiteral("status")}),
                  step.playing ? QStringLiteral("Playing") : QStringLiteral("Stopped"))
            << step.command;
    }
    EXPECT_EQ(dlg.m_playlist.m_nCurrent, 2);
    EXPECT_EQ(m_tray.LastIcon().cacheKey(), g_hIconStill->cacheKey());
}

TEST_F(MprisCommandTest, QuitTakesTheExitPathAndLaterCommandsAreIgnored) {
    CMelvaneDlg& dlg = StartOnBus(Tunes(2));
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
    CMelvaneDlg& dlg = StartOnBus(Tunes(2));
    QProcess play;
    bool playAnsweredWhileOpen = false;
    QString next = QStringLiteral("not run");
    Calls callsWhileOpen;
    m_modal.whileOpen = [&] {
        playAnsweredWhileOpen =
            QTest::qWaitFor([&] { return play.state() == QProcess::NotRunning; }, kBoundMs);
        next = Ctl({QStringLiteral("next")});
        callsWhileOpen = MciCalls();
    };
    play.start(QStringLiteral("playerctl"),
               {QStringLiteral("-p"), QStringLiteral("melvane"), QStringLiteral("play")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return MciCalls().size() >= 5; }, kBoundMs));

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
