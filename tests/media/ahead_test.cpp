// The first track opened ahead, while the program starts: the first open of
// the same, unchanged file takes it; anything else opens as usual.
#include <unistd.h>

#include <QFileInfo>

#include <cstdio>

#include "media_fixture.h"

namespace media_test {
namespace {

using platform::MCI_NOTIFY_SUCCESSFUL;
using platform::MCIERR_INVALID_FILE;

constexpr double kTuneSeconds = 1.0;

class OpenAheadTest : public MediaTest {
protected:
    GstMciOptions Capturing(const std::string& capture) { return WithSink(CaptureSink(capture)); }

    // Plays `path` to its end as the next track, closes it, and says how long
    // the sound written to `capture` lasts.
    double PlayWhole(GstMci& mci, const std::string& path, const std::string& capture) {
        NotifyRecorder window;
        PlayToEnd(mci, path, window);
        Drain();
        EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
        EXPECT_EQ(mci.SendString("close themidi", nullptr), 0u);
        return ReadCapture(capture).Seconds();
    }
};

class OpenAheadFormat : public OpenAheadTest, public ::testing::WithParamInterface<TuneKind> {
protected:
    GstMciOptions Capturing(const std::string& capture) {
        return WithSink(CaptureSink(capture), GetParam().soundfont);
    }
};

// MIDI too: its synth is made on the opening thread, and let go of by the GUI.
TEST_P(OpenAheadFormat, FirstOpenOfTheSameFileTakesTheTrackAndPlaysItWhole) {
    const std::string tune = MakeTune(GetParam().format, kTuneSeconds);
    const std::string capture = Path("out.wav");
    const std::string kept = Path("kept.wav");
    platform::OpenAheadTrack ahead = GstMci::OpenAhead(tune, Capturing(capture));
    // The track opened ahead has its output file open once it is prerolled.
    // Under another name only, that file tells whether the track played is
    // that one: a track opened anew would make "out.wav" again.
    ASSERT_TRUE(
        PumpUntil([&] { return QFileInfo::exists(QString::fromStdString(capture)); }, 5000));
    ASSERT_EQ(::link(capture.c_str(), kept.c_str()), 0);
    ASSERT_EQ(::unlink(capture.c_str()), 0);

    GstMci mci(Capturing(capture), std::move(ahead));
    EXPECT_NEAR(PlayWhole(mci, tune, kept), kTuneSeconds, 0.1);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(capture)));

    // Later opens are ordinary ones and play as well.
    EXPECT_NEAR(PlayWhole(mci, tune, capture), kTuneSeconds, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Formats, OpenAheadFormat, ::testing::ValuesIn(EveryFormat()),
                         TuneKindName);

TEST_F(OpenAheadTest, FileReplacedAfterItWasOpenedAheadPlaysTheNewFile) {
    const std::string tune = MakeTune(Format::Wav, kTuneSeconds);
    const std::string longer = MakeTune(Format::Wav, 2 * kTuneSeconds, "longer.wav");
    const std::string capture = Path("out.wav");
    platform::OpenAheadTrack ahead = GstMci::OpenAhead(tune, Capturing(capture));
    ASSERT_TRUE(PumpUntil([&] { return DescriptorsOf(tune) > 0; }, 5000));
    ASSERT_EQ(std::rename(longer.c_str(), tune.c_str()), 0);

    GstMci mci(Capturing(capture), std::move(ahead));
    EXPECT_NEAR(PlayWhole(mci, tune, capture), 2 * kTuneSeconds, 0.1);
}

TEST_F(OpenAheadTest, OtherFileFirstPlaysThatFileAndTheOneAheadIsLetGo) {
    const std::string tune = MakeTune(Format::Wav, kTuneSeconds);
    const std::string other = MakeTune(Format::Mp3, 2 * kTuneSeconds);
    const std::string capture = Path("out.wav");
    GstMci mci(Capturing(capture), GstMci::OpenAhead(tune, Capturing(capture)));
    EXPECT_NEAR(PlayWhole(mci, other, capture), 2 * kTuneSeconds, 0.1);

    // The file opened ahead is no longer held, and opens as usual.
    EXPECT_EQ(DescriptorsOf(tune), 0);
    EXPECT_NEAR(PlayWhole(mci, tune, capture), kTuneSeconds, 0.1);
}

TEST_F(OpenAheadTest, BrokenFileOpenedAheadFailsAsAnOrdinaryOpenDoes) {
    const std::string bad = Path("bad.wav");
    std::string error;
    ASSERT_TRUE(tunegen::WriteBroken(bad, tunegen::Broken::TruncatedWav, &error)) << error;
    const GstMciOptions options = Capturing(Path("out.wav"));
    const MCIERROR ordinary = GstMci(options).OpenElement(bad, "themidi");
    EXPECT_EQ(ordinary, MCIERR_INVALID_FILE);

    GstMci mci(options, GstMci::OpenAhead(bad, options));
    EXPECT_EQ(mci.OpenElement(bad, "themidi"), ordinary);
    // The alias stays free for the next track.
    NotifyRecorder window;
    PlayToEnd(mci, MakeTune(Format::Wav, kTuneSeconds), window);
}

TEST_F(OpenAheadTest, LayerWithOtherOptionsOrNoOpenAtAllLetsItGo) {
    const std::string tune = MakeTune(Format::Midi, kTuneSeconds);

    // Made for another output: the layer opens its own track, into its own.
    {
        GstMci mci(Capturing(Path("out.wav")),
                   GstMci::OpenAhead(tune, Capturing(Path("elsewhere.wav"))));
        EXPECT_NEAR(PlayWhole(mci, tune, Path("out.wav")), kTuneSeconds, 0.1);
    }
    // A layer that never opens anything still ends, and lets the track go.
    {
        GstMci unused(Capturing(Path("out.wav")),
                      GstMci::OpenAhead(tune, Capturing(Path("out.wav"))));
        ASSERT_TRUE(PumpUntil([&] { return DescriptorsOf(tune) > 0; }, 5000));
    }
    EXPECT_EQ(DescriptorsOf(tune), 0);
}

// A track whose preroll never ends (its output lets nothing through, not even
// the end of the stream) and whose open would wait ten minutes: dropping the
// handle gives the open up and frees the track.
TEST_F(OpenAheadTest, DroppedHandleGivesUpAStalledOpenAndFreesTheTrack) {
    const std::string tune = MakeTune(Format::Wav, kTuneSeconds);
    GstMciOptions options = WithSink("valve drop=true drop-mode=drop-all ! fakesink");
    options.openTimeoutMs = 600000;
    {
        platform::OpenAheadTrack ahead = GstMci::OpenAhead(tune, options);
        ASSERT_TRUE(PumpUntil([&] { return DescriptorsOf(tune) > 0; }, 5000));
    }
    EXPECT_EQ(DescriptorsOf(tune), 0);
    // The same for one handed to a layer made with other options; that layer
    // shuts the track down beside the program.
    platform::OpenAheadTrack ahead = GstMci::OpenAhead(tune, options);
    ASSERT_TRUE(PumpUntil([&] { return DescriptorsOf(tune) > 0; }, 5000));
    GstMci mci(WithSink(kFastSink), std::move(ahead));
    EXPECT_TRUE(PumpUntil([&] { return DescriptorsOf(tune) == 0; }, 10000));
}

}  // namespace
}  // namespace media_test
