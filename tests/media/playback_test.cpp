// Real playback: what comes out of the sink, and how long it lasts.
#include <sys/stat.h>

#include <iostream>

#include "media_fixture.h"
#include "support/resident_memory.h"

namespace media_test {
namespace {

using platform::MCI_NOTIFY_SUCCESSFUL;

constexpr double kTuneSeconds = 1.5;
// Quieter than this is no melody: the tunes peak at 0.6 of full scale.
constexpr double kAudibleRms = 0.03;

class RenderedPlayback : public MediaTest, public ::testing::WithParamInterface<TuneKind> {
protected:
    std::unique_ptr<GstMci> Layer(const std::string& sink) {
        return MediaTest::Layer(sink, 5000, GetParam().soundfont);
    }
};

TEST_P(RenderedPlayback, PlaysTheWholeTrackAloudAndSucceedsOnce) {
    const std::string capture = Path("out.wav");
    auto mci = Layer(CaptureSink(capture));
    NotifyRecorder window;
    PlayToEnd(*mci, MakeTune(GetParam().format, kTuneSeconds), window);
    EXPECT_EQ(mci->SendString("stop themidi", nullptr), 0u);
    EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});

    const tunegen::Pcm pcm = ReadCapture(capture);
    EXPECT_NEAR(pcm.Seconds(), kTuneSeconds, 0.1);
    EXPECT_GT(pcm.Rms(), kAudibleRms);
}

// An output that keeps time of its own: the null ALSA device keeps such time
// without a sound card, and the tee records what reaches it.
std::string ClockedCaptureSink(const std::string& wavPath) {
    return "tee name=t ! queue ! alsasink device=null t. ! queue ! " + CaptureSink(wavPath);
}

// Such an output, left waiting prerolled, is made anew when the track plays,
// and the track starts over into it: still whole, from its first sample, once.
TEST_P(RenderedPlayback, TrackThatWaitedPrerolledStillPlaysWholeFromItsStart) {
    const std::string tune = MakeTune(GetParam().format, kTuneSeconds);
    const std::string reference = Path("reference.wav");
    {
        auto mci = Layer(CaptureSink(reference));
        NotifyRecorder window;
        PlayToEnd(*mci, tune, window);
        EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);
    }

    const std::string capture = Path("out.wav");
    auto mci = Layer(ClockedCaptureSink(capture));
    ASSERT_EQ(mci->OpenElement(tune, "themidi"), 0u);
    // Waits prerolled, as the first track waits for the window.
    PumpFor(100);
    NotifyRecorder window;
    PlayUntilNotified(*mci, window);
    EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});

    const tunegen::Pcm expected = ReadCapture(reference);
    ASSERT_GT(expected.Rms(), kAudibleRms);
    ExpectSameLoudness(ReadCapture(capture), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, RenderedPlayback, ::testing::ValuesIn(EveryFormat()),
                         TuneKindName);

// The picture is decoded and thrown away; the sound plays, and the end of
// both ends the track.
TEST_F(MediaTest, VideoWithSoundPlaysItsSoundToTheEnd) {
    const std::string video = Path("clip.ogv");
    std::string error;
    ASSERT_TRUE(tunegen::WriteVideoWithSound(video, &error)) << error;
    const std::string capture = Path("out.wav");
    auto mci = Layer(CaptureSink(capture));
    PlayToSuccess(*mci, video);
    EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);

    const tunegen::Pcm pcm = ReadCapture(capture);
    EXPECT_NEAR(pcm.Seconds(), 1.0, 0.1);
    EXPECT_GT(pcm.Rms(), kAudibleRms);
}

class MidiLoudness : public MediaTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(MidiLoudness, MidiIsAboutAsLoudAsTheSameTuneAsWav) {
    double rms[2] = {};
    const Format formats[2] = {Format::Wav, Format::Midi};
    for (int i = 0; i < 2; ++i) {
        const std::string capture = Path("loud" + std::to_string(i) + ".wav");
        auto mci = Layer(CaptureSink(capture), 5000, GetParam());
        NotifyRecorder window;
        PlayToEnd(*mci, MakeTune(formats[i], 3.0), window);
        mci.reset();
        rms[i] = ReadCapture(capture).Rms();
    }
    std::cout << "RMS of the test tune: WAV " << rms[0] << ", MIDI " << rms[1] << "\n";
    // Within 6 dB either way.
    EXPECT_GT(rms[1], rms[0] / 2);
    EXPECT_LT(rms[1], rms[0] * 2);
}

INSTANTIATE_TEST_SUITE_P(Soundfonts, MidiLoudness, ::testing::ValuesIn(InstalledSoundfonts()),
                         SoundfontTestName);

TEST_F(MediaTest, PathThatIsNotUtf8OpensAndPlays) {
    const std::string capture = Path("out.wav");
    auto mci = Layer(CaptureSink(capture));
    PlayToSuccess(*mci, MakeTune(Format::Wav, 0.5, "tune-\xff\xfe.wav"));
    mci.reset();
    EXPECT_GT(ReadCapture(capture).Rms(), kAudibleRms);
}

TEST_F(MediaTest, PlayAfterStopStartsFromTheBeginning) {
    auto mci = Layer(kRealTimeSink);
    NotifyRecorder window;
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Wav, 1.0), "themidi"), 0u);
    ASSERT_EQ(mci->SendString("play themidi", nullptr), 0u);
    PumpFor(600);
    ASSERT_EQ(mci->SendString("stop themidi", nullptr), 0u);
    ASSERT_TRUE(Drain());

    QElapsedTimer clock;
    clock.start();
    PlayUntilNotified(*mci, window, 5000);
    // Resuming would end after the remaining 0.4 s.
    EXPECT_GT(clock.elapsed(), 850);
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(MediaTest, StopSilencesTheTrack) {
    // The file sink takes the clock's pace, so its file grows only while sound plays.
    const std::string capture = Path("out.wav");
    auto mci = Layer(CaptureSink(capture) + " sync=true");
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Wav, 3.0), "themidi"), 0u);
    ASSERT_EQ(mci->SendString("play themidi", nullptr), 0u);
    PumpFor(500);
    ASSERT_EQ(mci->SendString("stop themidi", nullptr), 0u);
    PumpFor(1000);
    ASSERT_EQ(mci->SendString("close themidi", nullptr), 0u);

    struct stat info {};
    ASSERT_EQ(::stat(capture.c_str(), &info), 0);
    const double bytesPerSecond = tunegen::kSampleRate * tunegen::kChannels * 2;
    EXPECT_GT(info.st_size, 0.3 * bytesPerSecond);
    EXPECT_LT(info.st_size, 1.0 * bytesPerSecond);
}

TEST_F(MediaTest, ClosedTracksGiveTheirMemoryBack) {
    if (kFreedMemoryIsHeldBack) {
        GTEST_SKIP() << "the address sanitizer quarantines freed memory";
    }
    // A MIDI track's synth holds the soundfont, megabytes large; one synth
    // is handed from track to track, so a pipeline or synth that outlived
    // its close would show at once.
    auto mci = Layer(kFastSink);
    const std::string path = MakeTune(Format::Midi, 0.3);
    auto cycle = [&] {
        ASSERT_EQ(mci->OpenElement(path, "themidi"), 0u);
        ASSERT_EQ(mci->SendString("play themidi", nullptr), 0u);
        PumpFor(20);
        ASSERT_EQ(mci->SendString("close themidi", nullptr), 0u);
    };
    for (int i = 0; i < 3; ++i) {
        cycle();
    }
    const long before = ResidentKiB();
    for (int i = 0; i < 10; ++i) {
        cycle();
    }
    // Synths set aside are let go of once the closing command is over.
    ASSERT_TRUE(Drain());
    ASSERT_GT(before, 0);
    // A pipeline kept per close would be some 8 MB each, 80 MB in all.
    EXPECT_LT(ResidentKiB() - before, 30 * 1024);
}

}  // namespace
}  // namespace media_test
