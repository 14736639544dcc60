#include "tunegen/tunegen.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

namespace tunegen {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kTicksPerBeat = 480;
constexpr double kMaxSeconds = 3600.0;
constexpr double kReleaseSeconds = 0.08;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A note as it sounds: when, how long, and in which voice.
struct Sounding {
    double start;
    double length;
    int key;
    int channel;
    int velocity;
};

bool CheckTune(const Tune& tune, double seconds, std::string* error) {
    if (!(seconds > 0.0 && seconds <= kMaxSeconds)) {
        *error = "length must be between 0 and 3600 seconds";
        return false;
    }
    if (!(tune.bpm > 0.0 && tune.bpm < 1000.0)) {
        *error = "tempo must be between 0 and 1000 beats per minute";
        return false;
    }
    for (const auto* line : {&tune.melody, &tune.bass}) {
        for (const Note& note : *line) {
            if (!(note.beats > 0.0) || note.key > 127) {
                *error = "every note needs a positive length and a key up to 127";
                return false;
            }
        }
    }
    if (tune.melody.empty()) {
        *error = "a tune needs a melody";
        return false;
    }
    return true;
}

// Loops each line until `seconds` are filled; the last note is cut at the end.
std::vector<Sounding> Schedule(const Tune& tune, double seconds) {
    const double secondsPerBeat = 60.0 / tune.bpm;
    std::vector<Sounding> notes;
    struct Line {
        const std::vector<Note>* notes;
        int channel;
        int velocity;
    };
    for (const Line& line : {Line{&tune.melody, 0, 100}, Line{&tune.bass, 1, 84}}) {
        if (line.notes->empty()) {
            continue;
        }
        double t = 0.0;
        for (std::size_t i = 0; t < seconds; ++i) {
            const Note& note = (*line.notes)[i % line.notes->size()];
            const double length = note.beats * secondsPerBeat;
            if (note.key >= 0) {
                notes.push_back(
                    {t, std::min(length, seconds - t), note.key, line.channel, line.velocity});
            }
            t += length;
        }
    }
    return notes;
}

double Frequency(int key) {
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

// A soft plucked voice: a few harmonics under a quick attack and a decay.
void AddNote(std::vector<float>& mix, const Sounding& note) {
    const double amplitude = note.velocity / 127.0 * (note.channel == 0 ? 0.5 : 0.45);
    const double frequency = Frequency(note.key);
    const double harmonics[] = {1.0, 0.45, 0.2, 0.1};
    const auto first = static_cast<std::size_t>(note.start * kSampleRate);
    const auto count = static_cast<std::size_t>((note.length + kReleaseSeconds) * kSampleRate);
    for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double envelope = std::min(1.0, t / 0.01) * std::exp(-2.2 * t);
        if (t > note.length) {
            envelope *= std::max(0.0, 1.0 - (t - note.length) / kReleaseSeconds);
        }
        double sample = 0.0;
        for (std::size_t h = 0; h < std::size(harmonics); ++h) {
            sample += harmonics[h] * std::sin(2.0 * kPi * frequency * (h + 1) * t);
        }
        mix[first + i] += static_cast<float>(amplitude * envelope * sample);
    }
}

std::vector<std::int16_t> Render(const Tune& tune, double seconds) {
    const auto frames = static_cast<std::size_t>(std::llround(seconds * kSampleRate));
    std::vector<float> mix(frames, 0.0f);
    for (const Sounding& note : Schedule(tune, seconds)) {
        AddNote(mix, note);
    }
    const std::size_t fade = std::min<std::size_t>(frames, kSampleRate / 200);
    for (std::size_t i = 0; i < fade; ++i) {
        mix[frames - 1 - i] *= static_cast<float>(i) / static_cast<float>(fade);
    }
    float peak = 0.0f;
    for (float v : mix) {
        peak = std::max(peak, std::fabs(v));
    }
    // Every tune peaks at the same level, so the demo files sound equally loud.
    const float scale = peak > 0.0f ? 0.6f / peak : 0.0f;
    std::vector<std::int16_t> samples;
    samples.reserve(frames * kChannels);
    for (float v : mix) {
        const auto s = static_cast<std::int16_t>(std::lround(v * scale * 32767.0f));
        for (int c = 0; c < kChannels; ++c) {
            samples.push_back(s);
        }
    }
    return samples;
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xffu));
    }
}

void PutBe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xffu));
    }
}

void PutVarLen(std::string& out, std::uint32_t value) {
    char bytes[5];
    int n = 0;
    bytes[n++] = static_cast<char>(value & 0x7fu);
    while ((value >>= 7) != 0) {
        bytes[n++] = static_cast<char>((value & 0x7fu) | 0x80u);
    }
    while (n > 0) {
        out.push_back(bytes[--n]);
    }
}

std::string WavHeader(std::uint32_t dataBytes) {
    std::string header = "RIFF";
    PutLe(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    PutLe(header, 16, 4);
    PutLe(header, 1, 2);  // PCM
    PutLe(header, kChannels, 2);
    PutLe(header, kSampleRate, 4);
    PutLe(header, kSampleRate * kChannels * 2, 4);
    PutLe(header, kChannels * 2, 2);
    PutLe(header, 16, 2);
    header += "data";
    PutLe(header, dataBytes, 4);
    return header;
}

bool WriteBytes(const std::string& path, const std::string& bytes, std::string* error) {
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        *error = "cannot finish " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::uint32_t GetLe(const unsigned char* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    return value;
}

}  // namespace

Tune DemoTune(int which) {
    switch (((which % 3) + 3) % 3) {
        case 0:  // a bright walk in C major
            return {120.0,
                    {{64, 1},
                     {67, 1},
                     {69, 2},
                     {67, 1},
                     {64, 1},
                     {62, 2},
                     {60, 1},
                     {62, 1},
                     {64, 1},
                     {67, 1},
                     {64, 3},
                     {-1, 1}},
                    {{48, 4}, {43, 4}, {45, 4}, {48, 4}}};
        case 1:  // a quicker turn around A minor
            return {132.0,
                    {{69, 0.5},
                     {72, 0.5},
                     {76, 1},
                     {74, 0.5},
                     {72, 0.5},
                     {69, 1},
                     {67, 0.5},
                     {69, 0.5},
                     {72, 1},
                     {69, 2},
                     {76, 0.5},
                     {79, 0.5},
                     {76, 1},
                     {74, 0.5},
                     {72, 0.5},
                     {74, 1},
                     {76, 3},
                     {-1, 1}},
                    {{45, 4}, {41, 4}, {48, 4}, {40, 4}}};
        default:  // a slow song in F major
            return {96.0,
                    {{65, 1.5},
                     {69, 0.5},
                     {72, 1},
                     {69, 1},
                     {70, 1},
                     {69, 1},
                     {67, 2},
                     {67, 1.5},
                     {70, 0.5},
                     {74, 1},
                     {72, 1},
                     {69, 3},
                     {-1, 1}},
                    {{41, 4}, {46, 4}, {48, 4}, {41, 4}}};
    }
}

Tune TestTune() {
    return {150.0, {{72, 0.5}, {76, 0.5}, {79, 0.5}, {76, 0.5}}, {{48, 2}}};
}

bool WriteWav(const std::string& path, const Tune& tune, double seconds, std::string* error) {
    if (!CheckTune(tune, seconds, error)) {
        return false;
    }
    const std::vector<std::int16_t> samples = Render(tune, seconds);
    std::string bytes = WavHeader(static_cast<std::uint32_t>(samples.size() * 2));
    bytes.reserve(bytes.size() + samples.size() * 2);
    for (std::int16_t s : samples) {
        PutLe(bytes, static_cast<std::uint16_t>(s), 2);
    }
    return WriteBytes(path, bytes, error);
}

bool WriteMidi(const std::string& path, const Tune& tune, double seconds, std::string* error) {
    if (!CheckTune(tune, seconds, error)) {
        return false;
    }
    const double ticksPerSecond = kTicksPerBeat * tune.bpm / 60.0;
    auto ticks = [&](double t) {
        return static_cast<std::uint32_t>(std::llround(t * ticksPerSecond));
    };

    struct Event {
        std::uint32_t tick;
        int order;  // at the same tick a note ends before the next begins
        std::string bytes;
    };
    std::vector<Event> events;
    for (const Sounding& note : Schedule(tune, seconds)) {
        const auto key = static_cast<char>(note.key);
        const auto status = static_cast<char>(note.channel);
        events.push_back(
            {ticks(note.start),
             1,
             {static_cast<char>(0x90 | status), key, static_cast<char>(note.velocity)}});
        events.push_back(
            {ticks(note.start + note.length), 0, {static_cast<char>(0x80 | status), key, 0}});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    std::string track;
    PutVarLen(track, 0);
    track += "\xff\x51\x03";
    PutBe(track, static_cast<std::uint32_t>(std::lround(60e6 / tune.bpm)), 3);
    // Melody on an acoustic grand piano, bass on an acoustic bass.
    track += std::string("\x00\xc0\x00", 3);
    track += std::string("\x00\xc1\x20", 3);
    std::uint32_t now = 0;
    for (const Event& event : events) {
        PutVarLen(track, event.tick - now);
        track += event.bytes;
        now = event.tick;
    }
    PutVarLen(track, ticks(seconds) - now);
    track += "\xff\x2f";
    track.push_back('\0');

    std::string bytes = "MThd";
    PutBe(bytes, 6, 4);
    PutBe(bytes, 0, 2);  // format 0: one track
    PutBe(bytes, 1, 2);
    PutBe(bytes, kTicksPerBeat, 2);
    bytes += "MTrk";
    PutBe(bytes, static_cast<std::uint32_t>(track.size()), 4);
    bytes += track;
    return WriteBytes(path, bytes, error);
}

bool WriteBroken(const std::string& path, Broken kind, std::string* error) {
    std::string bytes;
    switch (kind) {
        case Broken::Empty:
            break;
        case Broken::Garbage: {
            // A fixed generator, so the same bytes every run: no format claims them.
            std::uint32_t state = 0x2545f491u;
            for (int i = 0; i < 8192; ++i) {
                state = state * 1664525u + 1013904223u;
                bytes.push_back(static_cast<char>(state >> 24));
            }
            break;
        }
        case Broken::TruncatedWav:
            bytes = WavHeader(kSampleRate * kChannels * 2).substr(0, 24);
            break;
        case Broken::TruncatedMp3:
            bytes = std::string("ID3\x03\x00\x00\x00\x00\x10\x00", 10);
            bytes += std::string("TIT2\x00\x00", 6);
            bytes += std::string("\xff\xfb\x90", 3);
            break;
        case Broken::TruncatedMidi:
            bytes = std::string("MThd\x00\x00\x00\x06\x00", 9);
            break;
        case Broken::TextAsMp3:
            for (int i = 0; i < 40; ++i) {
                bytes += "These words are a note to self, not a song at all.\n";
            }
            break;
        case Broken::WavWithoutAudio:
            bytes = WavHeader(0);
            break;
    }
    return WriteBytes(path, bytes, error);
}

double Pcm::Seconds() const {
    if (sampleRate <= 0 || channels <= 0) {
        return 0.0;
    }
    return static_cast<double>(samples.size()) / channels / sampleRate;
}

double Pcm::Rms() const {
    if (samples.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::int16_t s : samples) {
        sum += static_cast<double>(s) * s;
    }
    return std::sqrt(sum / static_cast<double>(samples.size())) / 32768.0;
}

bool ReadWav(const std::string& path, Pcm* pcm, std::string* error) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, file.get())) > 0) {
        bytes.insert(bytes.end(), block, block + n);
    }
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        *error = path + " is not a RIFF/WAVE file";
        return false;
    }
    bool haveFormat = false;
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const unsigned char* chunk = bytes.data() + pos;
        const std::size_t size = GetLe(chunk + 4, 4);
        const std::size_t available = std::min(size, bytes.size() - pos - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            const std::uint32_t format = GetLe(chunk + 8, 2);
            pcm->channels = static_cast<int>(GetLe(chunk + 10, 2));
            pcm->sampleRate = static_cast<int>(GetLe(chunk + 12, 4));
            const std::uint32_t bits = GetLe(chunk + 22, 2);
            // 0xfffe (extensible) is accepted as PCM: a 16-bit writer only uses it for PCM.
            if ((format != 1 && format != 0xfffe) || bits != 16 || pcm->channels <= 0 ||
                pcm->sampleRate <= 0) {
                *error = path + " is not 16-bit PCM";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                *error = path + " has its data before its format";
                return false;
            }
            pcm->samples.resize(available / 2);
            for (std::size_t i = 0; i < pcm->samples.size(); ++i) {
                pcm->samples[i] = static_cast<std::int16_t>(GetLe(chunk + 8 + 2 * i, 2));
            }
            return true;
        }
        pos += 8 + size + (size & 1u);
    }
    *error = path + " has no data chunk";
    return false;
}

}  // namespace tunegen
