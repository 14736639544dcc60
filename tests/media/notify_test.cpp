// Exactly one notification per notify-play, whatever ends it.
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <tuple>

#include "media_fixture.h"

namespace media_test {
namespace {

using platform::MCI_NOTIFY_ABORTED;
using platform::MCI_NOTIFY_FAILURE;
using platform::MCI_NOTIFY_SUCCESSFUL;
using Codes = std::vector<std::uint32_t>;

// Counts the notifications the whole application delivers, to any object.
class NotifyCounter : public QObject {
public:
    NotifyCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~NotifyCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == platform::MciNotifyEvent::Type()) {
            ++count;
        }
        return QObject::eventFilter(watched, e);
    }
};

TEST_F(MediaTest, StopAtAnyMomentGivesOneNotificationNeverALateSuccess) {
    const std::string path = MakeTune(Format::Wav, 0.5);
    auto mci = Layer(kRealTimeSink);
    int successes = 0;
    int aborts = 0;
    for (int stopAfterMs : {0, 200, 400, 460, 490, 500, 510, 520, 550, 900}) {
        NotifyRecorder window;
        ASSERT_EQ(mci->OpenElement(path, "themidi"), 0u);
        ASSERT_EQ(mci->SendString("play themidi notify", window.Hwnd()), 0u);
        PumpFor(stopAfterMs);
        const bool endedFirst = !window.codes.empty();
        EXPECT_EQ(mci->SendString("stop themidi", nullptr), 0u);
        // An end of stream already on its way must find the track still open:
        // the track stays open a while, in which it may arrive.
        PumpFor(200);
        EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);
        ASSERT_TRUE(Drain());
        const Codes expected{endedFirst ? MCI_NOTIFY_SUCCESSFUL : MCI_NOTIFY_ABORTED};
        EXPECT_EQ(window.codes, expected) << "stopped after " << stopAfterMs << " ms";
        (endedFirst ? successes : aborts) += 1;
    }
    std::cout << "ended before the stop: " << successes << ", stopped first: " << aborts << "\n";
    // The sweep must have crossed the end, or it proved nothing about it.
    EXPECT_GT(successes, 0);
    EXPECT_GT(aborts, 0);
}

TEST_F(MediaTest, EndThatTheWindowHasNotSeenBeforeTheStopIsAnAbort) {
    auto mci = Layer(kRealTimeSink);
    NotifyRecorder window;
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Wav, 0.3), "themidi"), 0u);
    ASSERT_EQ(mci->SendString("play themidi notify", window.Hwnd()), 0u);
    // The track ends while the GUI thread is busy: its end is queued, unseen.
    QThread::msleep(700);
    ASSERT_EQ(mci->SendString("stop themidi", nullptr), 0u);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.codes, Codes{MCI_NOTIFY_ABORTED});
    ASSERT_EQ(mci->SendString("close themidi", nullptr), 0u);
}

// Closing, or playing again with or without notify, aborts the earlier notify
// once; only a new notify play hears its own end.
TEST_F(MediaTest, CloseOrPlayingAgainAbortsTheEarlierNotifyOnce) {
    auto mci = Layer(kRealTimeSink);
    const std::tuple<const char*, Format, bool> endings[] = {
        {"close themidi", Format::Wav, false},
        {"play themidi notify", Format::Mp3, true},
        {"play themidi", Format::Midi, false},
    };
    for (const auto& [command, format, notifies] : endings) {
        NotifyRecorder first;
        NotifyRecorder second;
        ASSERT_EQ(mci->OpenElement(MakeTune(format, 0.5), "themidi"), 0u);
        ASSERT_EQ(mci->SendString("play themidi notify", first.Hwnd()), 0u);
        PumpFor(150);
        ASSERT_EQ(mci->SendString(command, second.Hwnd()), 0u);
        if (notifies) {
            ASSERT_TRUE(PumpUntil([&] { return !second.codes.empty(); }, 5000)) << command;
        } else {
            // A replay without notify tells nobody of its end: its time, and
            // more, passes before the track closes.
            PumpFor(900);
        }
        mci->SendString("close themidi", nullptr);
        ASSERT_TRUE(Drain());
        EXPECT_EQ(first.codes, Codes{MCI_NOTIFY_ABORTED}) << command;
        EXPECT_EQ(second.codes, notifies ? Codes{MCI_NOTIFY_SUCCESSFUL} : Codes{}) << command;
    }
}

TEST_F(MediaTest, PlayAfterTheEndPlaysTheTrackAgain) {
    auto mci = Layer(kRealTimeSink);
    NotifyRecorder window;
    PlayToEnd(*mci, MakeTune(Format::Midi, 0.4), window);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(mci->SendString("play themidi notify", window.Hwnd()), 0u);
    ASSERT_TRUE(PumpUntil([&] { return window.codes.size() == 2; }, 5000));
    EXPECT_GT(clock.elapsed(), 300);
    ASSERT_EQ(mci->SendString("close themidi", nullptr), 0u);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.codes, (Codes{MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
}

TEST_F(MediaTest, DestroyedWindowReceivesNothing) {
    const std::string path = MakeTune(Format::Wav, 0.3);
    auto mci = Layer(kRealTimeSink);
    NotifyCounter delivered;

    // Gone before its track ends.
    auto window = std::make_unique<NotifyRecorder>();
    ASSERT_EQ(mci->OpenElement(path, "themidi"), 0u);
    ASSERT_EQ(mci->SendString("play themidi notify", window->Hwnd()), 0u);
    window.reset();
    // Its 0.3 s play ends meanwhile, with nobody to tell.
    PumpFor(700);

    // Gone while its ABORTED is still on the way.
    window = std::make_unique<NotifyRecorder>();
    ASSERT_EQ(mci->SendString("play themidi notify", window->Hwnd()), 0u);
    ASSERT_EQ(mci->SendString("stop themidi", nullptr), 0u);
    window.reset();
    ASSERT_TRUE(Drain());

    EXPECT_EQ(delivered.count, 0);
    EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);
}

TEST_F(MediaTest, LayerDestroyedFirstAbortsOnceAndStaysQuiet) {
    NotifyRecorder window;
    auto mci = Layer(kRealTimeSink);
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Mp3, 0.4), "themidi"), 0u);
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Midi, 0.4), "other"), 0u);
    ASSERT_EQ(mci->SendString("play themidi notify", window.Hwnd()), 0u);
    PumpFor(100);
    mci.reset();
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.codes, Codes{MCI_NOTIFY_ABORTED});
}

TEST_F(MediaTest, StreamErrorGivesOneFailureAndSoDoesTheNextPlay) {
    // The output fails on its first write, after the track opened fine.
    auto mci = Layer("wavenc ! filesink location=/dev/full buffer-mode=unbuffered");
    NotifyRecorder window;
    PlayToEnd(*mci, MakeTune(Format::Wav, 1.0), window, 5000);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.codes, Codes{MCI_NOTIFY_FAILURE});

    window.codes.clear();
    ASSERT_EQ(mci->SendString("play themidi notify", window.Hwnd()), 0u);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.codes, Codes{MCI_NOTIFY_FAILURE});
    EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);
}

// The output is a link to /dev/full: it opens, and every write to it fails.
// While the link is a folder instead no output opens; once it is a link again
// the window whose play failed gets one output message.
TEST_F(MediaTest, OutputThatFailsGivesOneFailureThenOneOutputMessageOnceAnOutputOpens) {
    const std::string place = Path("output");
    ASSERT_EQ(::symlink("/dev/full", place.c_str()), 0);
    GstMciOptions options =
        WithSink("wavenc ! filesink location=\"" + place + "\" buffer-mode=unbuffered");
    options.outputRetryMs = 50;
    GstMci mci(options);
    NotifyRecorder window;
    ASSERT_EQ(mci.OpenElement(MakeTune(Format::Wav, 1.0), "themidi"), 0u);
    // The track's own output is open already.
    ASSERT_EQ(::unlink(place.c_str()), 0);
    ASSERT_EQ(::mkdir(place.c_str(), 0700), 0);
    PlayUntilNotified(mci, window, 5000);
    ASSERT_EQ(mci.SendString("close themidi", nullptr), 0u);
    // The watch tries every 50 ms meanwhile, and finds no output.
    PumpFor(500);
    EXPECT_EQ(window.codes, Codes{MCI_NOTIFY_FAILURE});
    EXPECT_EQ(window.outputs, 0);

    ASSERT_EQ(::rmdir(place.c_str()), 0);
    ASSERT_EQ(::symlink("/dev/full", place.c_str()), 0);
    ASSERT_TRUE(PumpUntil([&] { return window.outputs > 0; }, 5000));
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.outputs, 1);
    EXPECT_EQ(window.codes, Codes{MCI_NOTIFY_FAILURE});
}

}  // namespace
}  // namespace media_test
