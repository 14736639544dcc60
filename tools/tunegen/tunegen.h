// Media that the project makes for itself: short melodies of our own as WAV,
// MP3 and Standard MIDI files, broken files and a soundless video for the
// media layer's tests, and a reader for the 16-bit WAV files a test sink
// writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tunegen {

// One note of a line; a key below 0 is a rest. Keys are MIDI numbers (60 = C4).
struct Note {
    int key;
    double beats;
};

// A melody over a bass line, both looped until the requested length is filled.
struct Tune {
    double bpm;
    std::vector<Note> melody;
    std::vector<Note> bass;
};

// The three demo melodies (0, 1, 2); other numbers wrap around.
Tune DemoTune(int which);

// The short, quick melody the tests use.
Tune TestTune();

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;

// Each writer makes a file of exactly `seconds` of music (MP3 adds the
// encoder's few milliseconds of padding). Paths are bytes and are never
// converted. On failure they return false and say why in `error`.
bool WriteWav(const std::string& path, const Tune& tune, double seconds, std::string* error);
bool WriteMp3(const std::string& path, const Tune& tune, double seconds, std::string* error);
bool WriteMidi(const std::string& path, const Tune& tune, double seconds, std::string* error);

enum class Broken {
    Empty,            // zero bytes
    Garbage,          // bytes that are no known format
    TruncatedWav,     // a RIFF/WAVE header cut off inside its format chunk
    TruncatedMp3,     // an ID3 tag header and a frame header, then nothing
    TruncatedMidi,    // a MIDI header chunk cut off after its length
    TextAsMp3,        // plain text, whatever the file is called
    WavWithoutAudio,  // a well-formed WAV header whose data chunk is empty
};

bool WriteBroken(const std::string& path, Broken kind, std::string* error);

// One second of moving picture in Ogg/Theora, with no sound at all.
bool WriteVideoWithoutSound(const std::string& path, std::string* error);

// One second of moving picture and a second of tone, in Ogg/Theora and Vorbis.
bool WriteVideoWithSound(const std::string& path, std::string* error);

// Interleaved 16-bit samples of a WAV file.
struct Pcm {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    double Seconds() const;
    // Root mean square over all samples, 1.0 = full scale.
    double Rms() const;
};

// Reads a PCM 16-bit WAV file; false with a reason for anything else.
bool ReadWav(const std::string& path, Pcm* pcm, std::string* error);

}  // namespace tunegen
