// Opening: every bad input fails at once and leaves the alias free; the MIDI
// probe; the command strings.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "media/mci_gst_command.h"
#include "media_fixture.h"

namespace media_test {
namespace {

using platform::MCI_DEVTYPE_SEQUENCER;
using platform::MCI_NOTIFY_SUCCESSFUL;
using platform::MCIERR_CANNOT_LOAD_DRIVER;
using platform::MCIERR_DEVICE_NOT_READY;
using platform::MCIERR_DUPLICATE_ALIAS;
using platform::MCIERR_INVALID_DEVICE_NAME;
using platform::MCIERR_UNRECOGNIZED_COMMAND;

constexpr qint64 kOpenBoundMs = kOpenTimeoutMs + 1000;

// What is wrong with the file; the Broken ones are written by tunegen.
enum class Bad { Missing, Unreadable, Broken, Directory, Fifo, NulInPath, VideoWithoutSound };

struct BadCase {
    const char* name;
    Bad kind;
    tunegen::Broken broken = tunegen::Broken::Empty;
};

void PrintTo(const BadCase& bad, std::ostream* out) {
    *out << bad.name;
}

class BadInput : public MediaTest, public ::testing::WithParamInterface<BadCase> {
protected:
    std::string MakeBad(const BadCase& bad) {
        const std::string path = Path("bad.mp3");
        std::string error;
        switch (bad.kind) {
            case Bad::Missing:
                return Path("nothing-here.mp3");
            case Bad::Unreadable:
                MakeTune(Format::Mp3, 0.5, "bad.mp3");
                EXPECT_EQ(::chmod(path.c_str(), 0), 0);
                break;
            case Bad::Broken:
                EXPECT_TRUE(tunegen::WriteBroken(path, bad.broken, &error)) << error;
                break;
            case Bad::Directory:
                EXPECT_EQ(::mkdir(path.c_str(), 0755), 0);
                break;
            case Bad::Fifo:
                EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);  // nobody ever writes to it
                break;
            case Bad::NulInPath:
                // The bytes after the NUL would otherwise be cut off, and the
                // good file before it opened instead.
                return MakeTune(Format::Wav, 0.5, "good.wav") + std::string(1, '\0') + "/bad";
            case Bad::VideoWithoutSound:
                EXPECT_TRUE(tunegen::WriteVideoWithoutSound(path, &error)) << error;
                break;
        }
        return path;
    }
};

TEST_P(BadInput, FailsAtOpenInBoundedTimeAndLeavesTheAliasFree) {
    if (GetParam().kind == Bad::Unreadable && ::geteuid() == 0) {
        GTEST_SKIP() << "root reads a file whatever its mode";
    }
    const std::string path = MakeBad(GetParam());
    auto mci = Layer(kFastSink);
    QElapsedTimer clock;
    clock.start();
    const MCIERROR result = mci->OpenElement(path, "themidi");
    EXPECT_NE(result, 0u);
    EXPECT_NE(result, MCIERR_DEVICE_NOT_READY) << "the open waited out its bound";
    EXPECT_LT(clock.elapsed(), kOpenBoundMs);

    PlayToSuccess(*mci, MakeTune(Format::Wav, 0.3, "after.wav"));
}

using tunegen::Broken;
INSTANTIATE_TEST_SUITE_P(
    Kinds, BadInput,
    ::testing::Values(BadCase{"Missing", Bad::Missing}, BadCase{"Unreadable", Bad::Unreadable},
                      BadCase{"Empty", Bad::Broken, Broken::Empty},
                      BadCase{"Garbage", Bad::Broken, Broken::Garbage},
                      BadCase{"TruncatedWav", Bad::Broken, Broken::TruncatedWav},
                      BadCase{"TruncatedMp3", Bad::Broken, Broken::TruncatedMp3},
                      BadCase{"TruncatedMidi", Bad::Broken, Broken::TruncatedMidi},
                      BadCase{"TextAsMp3", Bad::Broken, Broken::TextAsMp3},
                      BadCase{"WavWithoutAudio", Bad::Broken, Broken::WavWithoutAudio},
                      BadCase{"Directory", Bad::Directory}, BadCase{"Fifo", Bad::Fifo},
                      BadCase{"NulInPath", Bad::NulInPath},
                      BadCase{"VideoWithoutSound", Bad::VideoWithoutSound}),
    [](const ::testing::TestParamInfo<BadCase>& bad) { return std::string(bad.param.name); });

TEST_F(MediaTest, OpenAliasIsRefusedAndTheOpenTrackPlaysOn) {
    auto mci = Layer(kFastSink);
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Wav, 0.3), "themidi"), 0u);
    const std::string other = MakeTune(Format::Mp3, 0.3);
    EXPECT_EQ(mci->OpenElement(other, "themidi"), MCIERR_DUPLICATE_ALIAS);
    EXPECT_EQ(mci->OpenElement(other, "TheMidi"), MCIERR_DUPLICATE_ALIAS);

    NotifyRecorder window;
    PlayUntilNotified(*mci, window, 5000);
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(MediaTest, StalledOpenGivesUpAtItsBound) {
    // Every buffer takes three seconds to reach the sink.
    auto mci = Layer("identity sleep-time=3000000 ! fakesink", 300);
    const std::string tune = MakeTune(Format::Wav, 0.5);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(mci->OpenElement(tune, "themidi"), MCIERR_DEVICE_NOT_READY);
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_NE(mci->SendString("play themidi notify", nullptr), 0u);
    // The stalled pipeline shuts down beside the program, which goes on; the
    // layer waits for that as it goes, and the file is let go of then.
    EXPECT_GT(DescriptorsOf(tune), 0);
    mci.reset();
    EXPECT_EQ(DescriptorsOf(tune), 0);
}

TEST_F(MediaTest, SequencerProbeFindsTheInstalledSynth) {
    GstMci mci;
    EXPECT_FALSE(mci.Soundfont().empty());
    EXPECT_EQ(mci.OpenType(MCI_DEVTYPE_SEQUENCER), 0u);
    EXPECT_EQ(mci.SendString("close sequencer", nullptr), 0u);
    EXPECT_NE(mci.SendString("close sequencer", nullptr), 0u);
}

TEST_F(MediaTest, WithoutASoundfontTheProbeAndMidiFailButOtherFormatsPlay) {
    ASSERT_EQ(::mkdir(Path("no-soundfonts").c_str(), 0755), 0);
    GstMci mci(WithSink(kFastSink, Path("no-soundfonts")));
    EXPECT_EQ(mci.OpenType(MCI_DEVTYPE_SEQUENCER), MCIERR_CANNOT_LOAD_DRIVER);
    EXPECT_NE(mci.SendString("close sequencer", nullptr), 0u);

    EXPECT_EQ(mci.OpenElement(MakeTune(Format::Midi, 0.3), "themidi"), MCIERR_CANNOT_LOAD_DRIVER);
    PlayToSuccess(mci, MakeTune(Format::Mp3, 0.3));
}

TEST_F(MediaTest, SoundfontSearchTakesTheFirstRealSoundfont) {
    const std::string folder = Path("fonts");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    std::ofstream(folder + "/a.sf2") << "not a soundfont at all";
    std::ofstream(folder + "/b.SF3") << std::string("RIFF\x10\0\0\0sfbkLIST", 16);
    std::ofstream(folder + "/c.sf2") << std::string("RIFF\x10\0\0\0sfbkLIST", 16);
    EXPECT_EQ(platform::mci_gst::FindSoundfont({Path("missing"), folder}), folder + "/b.SF3");
    EXPECT_EQ(platform::mci_gst::FindSoundfont({folder + "/a.sf2"}), "");
}

TEST_F(MediaTest, CommandStringsAreCheckedWordByWord) {
    auto mci = Layer(kFastSink);
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Wav, 0.3), "themidi"), 0u);
    EXPECT_EQ(mci->SendString("", nullptr), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(mci->SendString("rewind themidi", nullptr), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(mci->SendString("play", nullptr), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mci->SendString("play themidi notify twice", nullptr), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(mci->SendString("stop themidi notify", nullptr), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(mci->SendString("play nosuch notify", nullptr), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mci->SendString("stop nosuch", nullptr), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mci->SendString("close sequencer", nullptr), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mci->OpenType(0x0201), MCIERR_INVALID_DEVICE_NAME);

    NotifyRecorder window;
    EXPECT_EQ(mci->SendString("  PLAY\tTheMidi Notify ", window.Hwnd()), 0u);
    ASSERT_TRUE(PumpUntil([&] { return !window.codes.empty(); }, 5000));
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(mci->SendString("close THEMIDI", nullptr), 0u);
    EXPECT_EQ(mci->SendString("stop themidi", nullptr), MCIERR_INVALID_DEVICE_NAME);
}

}  // namespace
}  // namespace media_test
