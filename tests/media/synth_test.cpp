// The MIDI synth kept between tracks: the next MIDI track plays on the synth
// the last one left loaded, as it would on a new synth and with nothing of the
// last track in it, and the synth is let go of once it has waited long enough.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include <gst/gst.h>

#include "media_fixture.h"

namespace media_test {
namespace {

using platform::MCI_NOTIFY_SUCCESSFUL;

// The capture without dither: silence stays digital silence.
std::string ExactCaptureSink(const std::string& wavPath) {
    return "audioconvert dithering=none ! audio/x-raw,format=S16LE ! wavenc ! filesink "
           "location=\"" +
           wavPath + "\"";
}

void WriteMidi(const std::string& path, const std::vector<unsigned char>& track) {
    const unsigned char header[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    const unsigned char length[] = {'M', 'T', 'r', 'k',
                                    0,   0,   0,   static_cast<unsigned char>(track.size())};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof(header));
    out.write(reinterpret_cast<const char*>(length), sizeof(length));
    out.write(reinterpret_cast<const char*>(track.data()), static_cast<long>(track.size()));
    ASSERT_TRUE(out.good());
}

// An organ chord held with the sustain pedal down, two notes still sounding
// when the file ends a second later; `settings` come before the notes.
void WriteHeldOrganMidi(const std::string& path, const std::vector<unsigned char>& settings = {}) {
    std::vector<unsigned char> track = {
        0x00, 0xC0, 0x13,        // organ
        0x00, 0xB0, 0x40, 0x7F,  // sustain pedal down
    };
    track.insert(track.end(), settings.begin(), settings.end());
    track.insert(track.end(), {
                                  0x00, 0x90, 0x3C, 0x64,  // C4 on
                                  0x00, 0x90, 0x43, 0x64,  // G4 on
                                  0x81, 0x40,              // 192 ticks: one second at 96 a beat
                                  0xFF, 0x2F, 0x00,        // end of track, the notes never released
                              });
    WriteMidi(path, track);
}

// A MIDI file that leaves the synth as unlike a new one as it can: another
// instrument, the pitch bent, the sustain pedal down, reverb and chorus up,
// and two notes still sounding when the file ends.
void WriteStateChangingMidi(const std::string& path) {
    WriteHeldOrganMidi(path, {
                                 0x00, 0xB0, 0x5B, 0x7F,  // reverb send
                                 0x00, 0xB0, 0x5D, 0x7F,  // chorus send
                                 0x00, 0xB0, 0x07, 0x50,  // channel volume
                                 0x00, 0xE0, 0x00, 0x70,  // pitch bent up
                             });
}

// One second of nothing at all.
void WriteSilentMidi(const std::string& path) {
    WriteMidi(path, {0x81, 0x40, 0xFF, 0x2F, 0x00});
}

// Swings of the first channel from below -1% of full scale to above +1% and
// back, per second: rises with the pitch, and ignores the faint.
double SwingsPerSecond(const tunegen::Pcm& pcm) {
    constexpr int kThreshold = 328;
    std::size_t swings = 0;
    int side = 0;
    for (std::size_t i = 0; i < pcm.samples.size(); i += 2) {
        const int now = pcm.samples[i] > kThreshold ? 1 : pcm.samples[i] < -kThreshold ? -1 : 0;
        if (now != 0 && now != side) {
            swings += side != 0 ? 1 : 0;
            side = now;
        }
    }
    return swings / pcm.Seconds();
}

class KeptSynthTest : public MediaTest {
protected:
    // Plays `path` to its end and closes it.
    void PlayAndClose(GstMci& mci, const std::string& path) {
        PlayToSuccess(mci, path);
        EXPECT_EQ(mci.SendString("close themidi", nullptr), 0u);
    }

    // TimGM6mb, the smaller soundfont, copied to "font.sf2" for the test to
    // change or take away.
    std::string CopySoundfont() {
        const std::string font = Path("font.sf2");
        std::filesystem::copy_file(kTimGM6mb, font);
        return font;
    }

    // Plays `path` to its end and closes it, doing `meddle` 0.3 s in, while
    // the tune is on its first instrument.
    void PlayAndCloseWhile(GstMci& mci, const std::string& path,
                           const std::function<void()>& meddle) {
        NotifyRecorder window;
        ASSERT_EQ(mci.OpenElement(path, "themidi"), 0u);
        ASSERT_EQ(mci.SendString("play themidi notify", window.Hwnd()), 0u);
        // While the tune is on its first instrument.
        PumpFor(300);
        meddle();
        ASSERT_TRUE(PumpUntil([&] { return !window.codes.empty(); }, 10000));
        EXPECT_EQ(window.codes, std::vector<std::uint32_t>{MCI_NOTIFY_SUCCESSFUL});
        EXPECT_EQ(mci.SendString("close themidi", nullptr), 0u);
    }
};

// How the kept synth sounds, with each installed soundfont.
class KeptSynthSound : public KeptSynthTest, public ::testing::WithParamInterface<std::string> {
protected:
    GstMciOptions Capturing(const std::string& capture) {
        return WithSink(ExactCaptureSink(capture), GetParam());
    }
};

TEST_P(KeptSynthSound, NextTrackStartsFromSilence) {
    const std::string capture = Path("out.wav");
    GstMci mci(Capturing(capture));
    const std::string changing = Path("changing.mid");
    const std::string silent = Path("silent.mid");
    WriteStateChangingMidi(changing);
    WriteSilentMidi(silent);

    PlayAndClose(mci, changing);
    ASSERT_GT(ReadCapture(capture).Rms(), 0.01);
    PlayAndClose(mci, silent);
    const tunegen::Pcm after = ReadCapture(capture);
    EXPECT_NEAR(after.Seconds(), 1.0, 0.1);
    // The chord left sounding came through at about -20 dB; what is left of
    // the reverb's tail is below -60 dB.
    EXPECT_LT(after.Rms(), 0.001);
}

TEST_P(KeptSynthSound, NextTrackSoundsAsOnANewSynth) {
    const std::string capture = Path("out.wav");
    GstMci mci(Capturing(capture));
    const std::string tune = MakeTune(Format::Midi, 1.0);
    const std::string changing = Path("changing.mid");
    WriteStateChangingMidi(changing);

    PlayAndClose(mci, tune);
    const tunegen::Pcm fresh = ReadCapture(capture);
    PlayAndClose(mci, changing);
    PlayAndClose(mci, tune);
    const tunegen::Pcm kept = ReadCapture(capture);

    // The synth starts its notes on its own 64-frame grid, which is where the
    // last track left it: the two differ sample for sample, not in sound.
    ASSERT_GT(fresh.Rms(), 0.03);
    ExpectSameLoudness(kept, fresh);
    // The same pitch: the bend left over would put it some 10% higher.
    EXPECT_NEAR(SwingsPerSecond(kept), SwingsPerSecond(fresh), 0.02 * SwingsPerSecond(fresh));
}

// A replay seeks back to the start on the same synth: the chord still held
// at the end must not sound into the start of the replay. (No chorus here:
// its sweep goes on from where it was, and the loudness with it.)
TEST_P(KeptSynthSound, ReplayStartsFromSilence) {
    const std::string capture = Path("out.wav");
    GstMci mci(Capturing(capture));
    const std::string held = Path("held.mid");
    WriteHeldOrganMidi(held);
    NotifyRecorder window;
    PlayToEnd(mci, held, window);
    const tunegen::Pcm first = ReadCapture(capture);

    window.codes.clear();
    PlayUntilNotified(mci, window);
    EXPECT_EQ(mci.SendString("close themidi", nullptr), 0u);
    const tunegen::Pcm replay = ReadCapture(capture);

    ASSERT_GT(first.Rms(), 0.03);
    ExpectSameLoudness(replay, first);
}

TEST_F(KeptSynthTest, SynthStaysLoadedForTheNextTrackThenIsLetGo) {
    // Here GStreamer was started before the layer, as another part of the
    // program may do: the synth is kept all the same.
    gst_init(nullptr, nullptr);
    // A soundfont of the test's own, so that it can go away: a synth that
    // still plays once the file is gone is one that kept it loaded.
    const std::string font = CopySoundfont();
    GstMciOptions options = WithSink(kFastSink, font);
    options.keepSynthMs = 300;
    GstMci mci(options);
    ASSERT_EQ(mci.Soundfont(), font);
    const std::string tune = MakeTune(Format::Midi, 0.3);

    PlayAndClose(mci, tune);
    ASSERT_EQ(std::remove(font.c_str()), 0);
    // A WAV track in between leaves the MIDI synth waiting.
    PlayAndClose(mci, MakeTune(Format::Wav, 0.2));
    PlayAndClose(mci, tune);

    // Left waiting longer than it may, it is let go of, and its soundfont's
    // last descriptor with it; a new synth finds no soundfont, and the open
    // says so.
    ASSERT_TRUE(PumpUntil([&] { return DescriptorsOf(font + " (deleted)") == 0; }, 10000));
    EXPECT_NE(mci.OpenElement(tune, "themidi"), 0u);
    // The failure leaves nothing behind: the alias is free again.
    NotifyRecorder window;
    PlayToEnd(mci, MakeTune(Format::Wav, 0.2, "after.wav"), window);
}

// The synth waiting in a layer goes with the layer, soundfont and all.
TEST_F(KeptSynthTest, LayerGoneLetsGoOfItsWaitingSynth) {
    const std::string font = CopySoundfont();
    auto mci = std::make_unique<GstMci>(WithSink(kFastSink, font));
    PlayAndClose(*mci, MakeTune(Format::Midi, 0.3));
    ASSERT_TRUE(Drain());
    ASSERT_GT(DescriptorsOf(font), 0);
    mci.reset();
    EXPECT_EQ(DescriptorsOf(font), 0);
}

// Piano for a second, then the organ, first selected then, for half a second.
std::string WriteLateOrganMidi(const std::string& path) {
    WriteMidi(path, {
                        0x00, 0x90, 0x3C, 0x64,  // C4 on, on the piano
                        0x81, 0x40,              // one second
                        0x80, 0x3C, 0x00,        // C4 off
                        0x00, 0xC0, 0x13,        // organ
                        0x00, 0x90, 0x43, 0x64,  // G4 on
                        0x60,                    // half a second
                        0xFF, 0x2F, 0x00,        // end of track
                    });
    return path;
}

// The synth reads an instrument's samples when a tune first selects it. A
// soundfont replaced before that, as a package upgrade does, must not be
// where they come from: the synth's tables describe the file it loaded.
TEST_F(KeptSynthTest, SoundfontReplacedWhilePlayingIsNotReadFrom) {
    const std::string installed = kTimGM6mb;
    const std::string font = CopySoundfont();
    const std::string late = WriteLateOrganMidi(Path("late.mid"));
    GstMci mci(WithSink(ExactCaptureSink(Path("kept.wav")) + " sync=true", font));

    PlayAndCloseWhile(mci, late, [&] {
        // The new file is only the start of the old one.
        const std::string replacement = Path("font.sf2.new");
        std::filesystem::copy_file(installed, replacement);
        std::filesystem::resize_file(replacement, std::filesystem::file_size(installed) / 2);
        std::filesystem::rename(replacement, font);
    });

    GstMci reference(WithSink(ExactCaptureSink(Path("fresh.wav")), installed));
    PlayAndClose(reference, late);
    const tunegen::Pcm expected = ReadCapture(Path("fresh.wav"));
    ASSERT_GT(expected.Rms(), 0.03);
    ExpectSameLoudness(ReadCapture(Path("kept.wav")), expected);
}

// The soundfont changed in place while its synth plays: an instrument the
// tune first selects after that is not read from the changed file, the track
// plays on to its end, and the next one does not take that synth.
TEST_F(KeptSynthTest, SoundfontChangedWhilePlayingIsNotReadFrom) {
    const std::string font = CopySoundfont();
    const std::string late = WriteLateOrganMidi(Path("late.mid"));
    GstMci mci(WithSink(kRealTimeSink, font));

    PlayAndCloseWhile(mci, late, [&] {
        std::filesystem::resize_file(font, std::filesystem::file_size(font) / 2);
    });

    // A new synth tries the changed file, and the open says it cannot.
    EXPECT_NE(mci.OpenElement(late, "themidi"), 0u);
}

TEST_P(KeptSynthSound, SynthLoadedForAnotherGainIsNotTaken) {
    const std::string tune = MakeTune(Format::Midi, 1.0);
    GstMciOptions loud = Capturing(Path("loud.wav"));
    GstMciOptions quiet = loud;
    quiet.sinkDescription = ExactCaptureSink(Path("quiet.wav"));
    quiet.midiGain = loud.midiGain / 5;

    GstMci first(loud);
    PlayAndClose(first, tune);
    // The first layer's synth waits while the second plays.
    GstMci second(quiet);
    PlayAndClose(second, tune);

    const double loudRms = ReadCapture(Path("loud.wav")).Rms();
    ASSERT_GT(loudRms, 0.03);
    EXPECT_LT(ReadCapture(Path("quiet.wav")).Rms(), loudRms / 3);
}

INSTANTIATE_TEST_SUITE_P(Soundfonts, KeptSynthSound, ::testing::ValuesIn(InstalledSoundfonts()),
                         SoundfontTestName);

}  // namespace
}  // namespace media_test
