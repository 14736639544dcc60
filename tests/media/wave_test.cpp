// WAV files of every common kind, made with sox, and MP3 files made from
// them with lame: each plays to its true length, and a WAV file that
// libsndfile cannot read still fails at open.
#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "media_fixture.h"

namespace media_test {
namespace {

using platform::MCI_NOTIFY_SUCCESSFUL;
using platform::MCIERR_DEVICE_NOT_READY;

// What an output plays: a sound card's output plays nothing past the end the
// stream states, and neither does audiomixer, which this capture goes
// through. A decoder that states too early an end is cut short here too.
std::string PlayedCaptureSink(const std::string& wavPath) {
    return "identity ! audiomixer ! " + CaptureSink(wavPath);
}

struct WaveKind {
    const char* name;
    int rate;
    // sox's options for the sample size and encoding.
    const char* encoding;
    // Odd for PCM, so that 8-bit data has an odd number of bytes; whole
    // blocks for the codecs that code in blocks.
    long frames;
};

void PrintTo(const WaveKind& kind, std::ostream* out) {
    *out << kind.name;
}

// sox makes the file from a tune of its own: a falling sweep, loud enough
// to tell from silence in any of these codecs.
bool MakeWave(const WaveKind& kind, const std::string& path) {
    const std::string command =
        "sox -R -r " + std::to_string(kind.rate) + " -c 1 -n " + kind.encoding + " \"" + path +
        "\" synth " + std::to_string(kind.frames) + "s sine 1200-300 vol 0.5 >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

class CapturedPlay : public MediaTest {
protected:
    // Plays `path` to its end into `sink`, which writes `capture`, checks that
    // it ended with exactly one success, and gives what was captured.
    tunegen::Pcm PlayOnceInto(const std::string& sink, const std::string& capture,
                              const std::string& path) {
        auto mci = Layer(sink);
        NotifyRecorder window;
        PlayToEnd(*mci, path, window);
        EXPECT_EQ(mci->SendString("close themidi", nullptr), 0u);
        EXPECT_TRUE(Drain());
        EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
        return ReadCapture(capture);
    }
};

class WaveKinds : public CapturedPlay, public ::testing::WithParamInterface<WaveKind> {};

// Both what an output plays and all that reaches it: neither more nor less.
TEST_P(WaveKinds, PlaysToItsTrueLengthAndSucceedsOnce) {
    const WaveKind& kind = GetParam();
    const std::string wave = Path(std::string(kind.name) + ".wav");
    ASSERT_TRUE(MakeWave(kind, wave)) << "sox could not write " << wave;
    const std::string capture = Path("out.wav");
    for (const std::string& sink : {PlayedCaptureSink(capture), CaptureSink(capture)}) {
        SCOPED_TRACE(sink);
        const tunegen::Pcm pcm = PlayOnceInto(sink, capture, wave);
        const double seconds = static_cast<double>(kind.frames) / kind.rate;
        EXPECT_NEAR(pcm.Seconds(), seconds, 0.01 * seconds);
        EXPECT_GT(pcm.Rms(), 0.1);
    }
}

// Windows' own sounds are 8-bit, 8 or 11 kHz, often with an odd number of
// data bytes; ADPCM files state a byte rate that does not give their length.
// A surround file names its speakers, which only GStreamer's parser reads.
INSTANTIATE_TEST_SUITE_P(
    Codecs, WaveKinds,
    ::testing::Values(WaveKind{"pcm16", 44100, "-b 16", 88201},
                      WaveKind{"pcm8_odd_bytes", 8000, "-b 8", 16001},
                      WaveKind{"pcm8_odd_bytes_11k", 11025, "-b 8", 22051},
                      WaveKind{"ima_adpcm", 22050, "-e ima-adpcm", 131 * 505},
                      WaveKind{"ms_adpcm", 22050, "-e ms-adpcm", 65 * 1012},
                      WaveKind{"a_law", 8000, "-e a-law", 24001},
                      WaveKind{"u_law", 8000, "-e u-law", 24001},
                      WaveKind{"gsm610", 8000, "-e gsm-full-rate", 75 * 320},
                      WaveKind{"pcm16_six_channels", 44100, "-c 6 -b 16", 88201}),
    [](const ::testing::TestParamInfo<WaveKind>& kind) { return std::string(kind.param.name); });

// MP3 files as lame writes them for users: constant and variable bit rate,
// mono at low rates, tags in front, and no header of lame's own to say how
// long the file is. Each plays whole; where the decoder is not told the
// encoder's delay and padding (no lame header, and at the low rates of
// MPEG-2 and 2.5) that silence plays too, a few frames at most.
struct Mp3Kind {
    const char* name;
    int rate;
    const char* options;
};

void PrintTo(const Mp3Kind& kind, std::ostream* out) {
    *out << kind.name;
}

class Mp3Kinds : public CapturedPlay, public ::testing::WithParamInterface<Mp3Kind> {};

TEST_P(Mp3Kinds, PlaysToItsTrueLengthAndSucceedsOnce) {
    const Mp3Kind& kind = GetParam();
    const WaveKind source{kind.name, kind.rate, "-b 16", 2L * kind.rate};
    const std::string wave = Path("source.wav");
    const std::string mp3 = Path(std::string(kind.name) + ".mp3");
    ASSERT_TRUE(MakeWave(source, wave)) << "sox could not write " << wave;
    const std::string command = std::string("lame --quiet ") + kind.options + " \"" + wave +
                                "\" \"" + mp3 + "\" >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string capture = Path("out.wav");
    const tunegen::Pcm pcm = PlayOnceInto(PlayedCaptureSink(capture), capture, mp3);
    EXPECT_GE(pcm.Seconds(), 2.0 - 0.001);
    EXPECT_LE(pcm.Seconds(), 2.0 + 0.2);
    EXPECT_GT(pcm.Rms(), 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, Mp3Kinds,
    ::testing::Values(Mp3Kind{"cbr128", 44100, "-b 128"}, Mp3Kind{"vbr", 44100, "-V 4"},
                      Mp3Kind{"abr_48k", 48000, "--abr 96"},
                      Mp3Kind{"mono_22k", 22050, "-m m -b 32"},
                      Mp3Kind{"low_8k", 8000, "-m m -b 16"},
                      Mp3Kind{"id3v2_tags", 44100, "-b 128 --id3v2-only --tt Tune --ta Us"},
                      Mp3Kind{"no_lame_header", 44100, "-t -V 2"}),
    [](const ::testing::TestParamInfo<Mp3Kind>& kind) { return std::string(kind.param.name); });

// A replay seeks back to the start: the blocks are counted from there again.
TEST_F(MediaTest, WaveDecodedByLibsndfilePlaysWholeAgain) {
    const WaveKind kind{"ima_adpcm", 22050, "-e ima-adpcm", 44 * 505};
    const std::string wave = Path("replay.wav");
    ASSERT_TRUE(MakeWave(kind, wave)) << "sox could not write " << wave;
    const double seconds = static_cast<double>(kind.frames) / kind.rate;
    auto mci = Layer(kRealTimeSink);
    NotifyRecorder window;
    PlayToEnd(*mci, wave, window);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(mci->SendString("play themidi notify", window.Hwnd()), 0u);
    ASSERT_TRUE(PumpUntil([&] { return window.codes.size() == 2; }, 10000));
    EXPECT_GT(clock.elapsed(), 900 * seconds);
    EXPECT_EQ(window.codes,
              (std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
}

// A RIFF/WAVE file in a codec neither libsndfile nor GStreamer knows.
void WriteUnknownCodecWave(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    const auto u32 = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    };
    const auto u16 = [&out](std::uint16_t v) {
        out.put(static_cast<char>(v & 0xFF));
        out.put(static_cast<char>(v >> 8));
    };
    const std::uint32_t dataBytes = 8000;
    out.write("RIFF", 4);
    u32(4 + 8 + 16 + 8 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(0x7A7A);  // no codec has this number
    u16(1);
    u32(8000);
    u32(8000);
    u16(1);
    u16(8);
    out.write("data", 4);
    u32(dataBytes);
    for (std::uint32_t i = 0; i < dataBytes; ++i) {
        out.put(static_cast<char>(i * 37));
    }
    ASSERT_TRUE(out.good());
}

TEST_F(MediaTest, WaveThatNothingDecodesFailsAtOpenAndLeavesTheAliasFree) {
    const std::string wave = Path("unknown.wav");
    WriteUnknownCodecWave(wave);
    auto mci = Layer(kFastSink);
    const MCIERROR result = mci->OpenElement(wave, "themidi");
    EXPECT_NE(result, 0u);
    EXPECT_NE(result, MCIERR_DEVICE_NOT_READY) << "the open waited out its bound";

    PlayToSuccess(*mci, MakeTune(Format::Wav, 0.3));
}

}  // namespace
}  // namespace media_test
