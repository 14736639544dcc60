// Opening: every bad input fails at once and leaves the alias free; the MIDI
// probe; the command strings.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "media_fixture.h"
#include "platform/mci_gst_command.h"

namespace media_test {
namespace {

using platform::MCI_DEVTYPE_SEQUENCER;
using platform::MCI_NOTIFY_SUCCESSFUL;
using platform::MCIERR_CANNOT_LOAD_DRIVER;
using platform::MCIERR_DEVICE_NOT_READY;
using platform::MCIERR_DUPLICATE_ALIAS;
using platform::MCIERR_INVALID_DEVICE_NAME;
using platform::MCIERR_UNRECOGNIZED_COMMAND;

constexpr qint64 kOpenBoundMs = 6000;

enum class Bad {
    Missing,
    Unreadable,
    Empty,
    Garbage,
    TruncatedWav,
    TruncatedMp3,
    TruncatedMidi,
    TextAsMp3,
    WavWithoutAudio,
    Directory,
    Fifo,
    NulInPath,
    VideoWithoutSound,
};

struct BadCase {
    Bad kind;
    const char* name;
};

void PrintTo(const BadCase& bad, std::ostream* out) {
    *out << bad.name;
}

class BadInput : public MediaTest, public ::testing::WithParamInterface<BadCase> {
protected:
    std::string MakeBad(Bad kind) {
        const std::string path = Path("bad.mp3");
        std::string error;
        switch (kind) {
            case Bad::Missing:
                return Path("nothing-here.mp3");
            case Bad::Unreadable:
                MakeTune(Format::Mp3, 0.5, "bad.mp3");
                EXPECT_EQ(::chmod(path.c_str(), 0), 0);
                return path;
            case Bad::Empty:
                EXPECT_TRUE(tunegen::WriteBroken(path, tunegen::Broken::Empty, &error));
                return path;
            case Bad::Garbage:
                EXPECT_TRUE(tunegen::WriteBroken(path, tunegen::Broken::Garbage, &error));
                return path;
            case Bad::TruncatedWav:
                EXPECT_TRUE(tunegen::WriteBroken(path, tunegen::Broken::TruncatedWav, &error));
                return path;
            case Bad::TruncatedMp3:
                EXPECT_TRUE(tunegen::WriteBroken(path, tunegen::Broken::TruncatedMp3, &error));
                return path;
            case Bad::TruncatedMidi:
                EXPECT_TRUE(tunegen::WriteBroken(path, tunegen::Broken::TruncatedMidi, &error));
                return path;
            case Bad::TextAsMp3:
                EXPECT_TRUE(tunegen::WriteBroken(path, tunegen::Broken::TextAsMp3, &error));
                return path;
            case Bad::WavWithoutAudio:
                EXPECT_TRUE(tunegen::WriteBroken(path, tunegen::Broken::WavWithoutAudio, &error));
                return path;
            case Bad::Directory:
                EXPECT_EQ(::mkdir(path.c_str(), 0755), 0);
                return path;
            case Bad::Fifo:
                // Nobody ever writes to it.
                EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);
                return path;
            case Bad::NulInPath: {
                // The bytes after the NUL would otherwise be cut off, and the
                // good file before it opened instead.
                const std::string good = MakeTune(Format::Wav, 0.5, "good.wav");
                return good + std::string(1, '\0') + "/bad";
            }
            case Bad::VideoWithoutSound:
                EXPECT_TRUE(tunegen::WriteVideoWithoutSound(path, &error)) << error;
                return path;
        }
        return path;
    }
};

TEST_P(BadInput, FailsAtOpenInBoundedTimeAndLeavesTheAliasFree) {
    if (GetParam().kind == Bad::Unreadable && ::geteuid() == 0) {
        GTEST_SKIP() << "root reads a file whatever its mode";
    }
    const std::string path = MakeBad(GetParam().kind);
    auto mci = Layer(kFastSink);
    QElapsedTimer clock;
    clock.start();
    const MCIERROR result = mci->OpenElement(path, "themidi");
    EXPECT_NE(result, 0u);
    EXPECT_NE(result, MCIERR_DEVICE_NOT_READY) << "the open waited out its bound";
    EXPECT_LT(clock.elapsed(), kOpenBoundMs);

    NotifyRecorder window;
    PlayToEnd(*mci, MakeTune(Format::Wav, 0.3, "after.wav"), window);
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BadInput,
    ::testing::Values(
        BadCase{Bad::Missing, "Missing"}, BadCase{Bad::Unreadable, "Unreadable"},
        BadCase{Bad::Empty, "Empty"}, BadCase{Bad::Garbage, "Garbage"},
        BadCase{Bad::TruncatedWav, "TruncatedWav"}, BadCase{Bad::TruncatedMp3, "TruncatedMp3"},
        BadCase{Bad::TruncatedMidi, "TruncatedMidi"}, BadCase{Bad::TextAsMp3, "TextAsMp3"},
        BadCase{Bad::WavWithoutAudio, "WavWithoutAudio"}, BadCase{Bad::Directory, "Directory"},
        BadCase{Bad::Fifo, "Fifo"}, BadCase{Bad::NulInPath, "NulInPath"},
        BadCase{Bad::VideoWithoutSound, "VideoWithoutSound"}),
    [](const ::testing::TestParamInfo<BadCase>& bad) { return std::string(bad.param.name); });

TEST_F(MediaTest, OpenAliasIsRefusedAndTheOpenTrackPlaysOn) {
    auto mci = Layer(kFastSink);
    ASSERT_EQ(mci->OpenElement(MakeTune(Format::Wav, 0.3), "themidi"), 0u);
    const std::string other = MakeTune(Format::Mp3, 0.3);
    EXPECT_EQ(mci->OpenElement(other, "themidi"), MCIERR_DUPLICATE_ALIAS);
    EXPECT_EQ(mci->OpenElement(other, "TheMidi"), MCIERR_DUPLICATE_ALIAS);

    NotifyRecorder window;
    ASSERT_EQ(mci->SendString("play themidi notify", window.Hwnd()), 0u);
    ASSERT_TRUE(PumpUntil([&] { return !window.codes.empty(); }, 5000));
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(MediaTest, StalledOpenGivesUpAtItsBound) {
    // Every buffer takes three seconds to reach the sink.
    auto mci = Layer("identity sleep-time=3000000 ! fakesink", 300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(mci->OpenElement(MakeTune(Format::Wav, 0.5), "themidi"), MCIERR_DEVICE_NOT_READY);
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_NE(mci->SendString("play themidi notify", nullptr), 0u);
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
    GstMciOptions options;
    options.sinkDescription = kFastSink;
    options.soundfontPlaces = {Path("no-soundfonts")};
    GstMci mci(options);
    EXPECT_EQ(mci.OpenType(MCI_DEVTYPE_SEQUENCER), MCIERR_CANNOT_LOAD_DRIVER);
    EXPECT_NE(mci.SendString("close sequencer", nullptr), 0u);

    EXPECT_EQ(mci.OpenElement(MakeTune(Format::Midi, 0.3), "themidi"), MCIERR_CANNOT_LOAD_DRIVER);
    NotifyRecorder window;
    PlayToEnd(mci, MakeTune(Format::Mp3, 0.3), window);
    EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
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
