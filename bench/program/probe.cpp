// melvane-bench-probe: the measuring end of the whole-program benchmarks. It
// starts a player, watches the recording of the null sink's monitor for the
// player's first sound, reads the player's CPU time and memory from /proc, and
// finds the silences between tracks in a recording.
//
// The recording's clock: the null sink renders in real time on the monotonic
// clock, so frame p of the recording was rendered at t0 + p / rate. t0 is
// estimated by watching the file grow: at any moment t the file holds the
// frames rendered up to about t, so t - frames / rate is t0 plus the delivery
// delay, and its smallest value over many looks is t0 to within one block of
// the sink (about the recorder's latency).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tunegen/tunegen.h"

extern char** environ;

namespace {

// The recordings are s16le, stereo, 44100 Hz (the e2e rig's format).
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * 2;

struct Settings {
    std::string record;
    int threshold = 64;      // a sample above this (of 32767) is sound
    double playSeconds = 0;  // 0: stop the player at its first sound
    double timeout = 20;     // seconds to wait for the first sound
    double from = 0;         // gaps: where in the recording to start
    double minGapMs = 1.0;   // gaps: shorter silences are within a waveform
    std::vector<char*> command;
};

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void SleepMs(double ms) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>(std::fmod(ms, 1000.0) * 1e6);
    nanosleep(&ts, nullptr);
}

bool Loud(const std::int16_t* frame, int threshold) {
    for (int c = 0; c < kChannels; ++c) {
        if (std::abs(static_cast<int>(frame[c])) > threshold) {
            return true;
        }
    }
    return false;
}

// A recording that is still being written: its clock, and its frames as they
// come.
class LiveRecording {
public:
    explicit LiveRecording(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~LiveRecording() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    LiveRecording(const LiveRecording&) = delete;
    LiveRecording& operator=(const LiveRecording&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    // One look at the file's length; keeps the smallest offset seen, and the
    // last few, whose spread tells how far apart the looks are from t0.
    void Look() {
        struct stat st {};
        const double t = Now();
        if (::fstat(m_fd, &st) != 0) {
            return;
        }
        const double frames = static_cast<double>(st.st_size / kFrameBytes);
        const double offset = t - frames / kRate;
        m_t0 = std::min(m_t0, offset);
        m_offsets.push_back(offset);
    }
    double T0() const { return m_t0; }
    // The median delivery delay over the looks: a bound on how late the file
    // shows what the sink rendered.
    double MedianDelay() const {
        std::vector<double> sorted = m_offsets;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0.0 : sorted[sorted.size() / 2] - m_t0;
    }
    double TimeOfFrame(std::int64_t frame) const {
        return m_t0 + static_cast<double>(frame) / kRate;
    }
    std::int64_t FrameAt(double t) const {
        return static_cast<std::int64_t>(std::floor((t - m_t0) * kRate));
    }

    // Reads what was added since the last call, from `frame` on the first
    // call; appends whole frames to `samples` and returns the frame number of
    // the first of them.
    std::int64_t ReadFrom(std::int64_t frame, std::vector<std::int16_t>& samples) {
        if (m_next < 0) {
            m_next = std::max<std::int64_t>(0, frame);
        }
        const std::int64_t first = m_next;
        samples.clear();
        std::vector<char> bytes(1 << 16);
        for (;;) {
            const ssize_t n = ::pread(m_fd, bytes.data(), bytes.size(),
                                      static_cast<off_t>(m_next * kFrameBytes + m_pending));
            if (n <= 0) {
                break;
            }
            m_carry.insert(m_carry.end(), bytes.begin(), bytes.begin() + n);
            m_pending += n;
        }
        const std::size_t whole = m_carry.size() / kFrameBytes * kFrameBytes;
        samples.resize(whole / 2);
        std::memcpy(samples.data(), m_carry.data(), whole);
        m_carry.erase(m_carry.begin(), m_carry.begin() + static_cast<std::ptrdiff_t>(whole));
        m_next += static_cast<std::int64_t>(whole / kFrameBytes);
        m_pending = static_cast<std::int64_t>(m_carry.size());
        return first;
    }

private:
    int m_fd;
    double m_t0 = 1e300;
    std::vector<double> m_offsets;
    std::int64_t m_next = -1;
    std::int64_t m_pending = 0;
    std::vector<char> m_carry;
};

struct ProcessReading {
    bool ok = false;
    double cpuSeconds = 0;  // user + system, every thread, living or ended
    long hwmKb = 0;
    long rssKb = 0;
    int threads = 0;
};

ProcessReading ReadProcess(pid_t pid) {
    ProcessReading reading;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return reading;
    }
    // Fields after the name: state is field 3, utime 14, stime 15.
    std::istringstream fields(text.substr(close + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) {
        values.push_back(value);
    }
    if (values.size() < 13) {
        return reading;
    }
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    reading.cpuSeconds = (std::stod(values[11]) + std::stod(values[12])) / ticks;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            reading.hwmKb = std::atol(line.c_str() + 6);
        } else if (line.rfind("VmRSS:", 0) == 0) {
            reading.rssKb = std::atol(line.c_str() + 6);
        } else if (line.rfind("Threads:", 0) == 0) {
            reading.threads = std::atoi(line.c_str() + 8);
        }
    }
    reading.ok = reading.hwmKb > 0;
    return reading;
}

double CpuOf(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The player, stopped and waited for however the measurement ends.
class Child {
public:
    ~Child() { Stop(); }

    bool Start(std::vector<char*>& argv) {
        argv.push_back(nullptr);
        const int error = posix_spawnp(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ);
        argv.pop_back();
        if (error != 0) {
            std::fprintf(stderr, "melvane-bench-probe: cannot start %s: %s\n", argv[0],
                         std::strerror(error));
            m_pid = -1;
            return false;
        }
        return true;
    }
    pid_t Pid() const { return m_pid; }

    bool Ended() {
        if (m_pid < 0) {
            return true;
        }
        int status = 0;
        rusage usage{};
        if (wait4(m_pid, &status, WNOHANG, &usage) == m_pid) {
            Reaped(status, usage);
            return true;
        }
        return false;
    }

    // Waits up to `seconds` for the player to end by itself.
    bool WaitExit(double seconds) {
        const double deadline = Now() + seconds;
        while (!Ended()) {
            if (Now() > deadline) {
                return false;
            }
            SleepMs(5);
        }
        return true;
    }

    void Stop() {
        if (m_pid < 0) {
            return;
        }
        ::kill(m_pid, SIGTERM);
        if (!WaitExit(5)) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            rusage usage{};
            if (wait4(m_pid, &status, 0, &usage) == m_pid) {
                Reaped(status, usage);
            }
        }
    }

    double cpuAtExit = -1;
    int exitStatus = -1;
    bool signalled = false;

private:
    void Reaped(int status, const rusage& usage) {
        cpuAtExit = CpuOf(usage);
        signalled = WIFSIGNALED(status);
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status);
        m_pid = -1;
    }

    pid_t m_pid = -1;
};

// launch: start-up to the first sound, then optionally the cost of playing.
int Launch(const Settings& settings) {
    LiveRecording recording(settings.record);
    if (!recording.IsOpen()) {
        std::fprintf(stderr, "melvane-bench-probe: cannot read %s\n", settings.record.c_str());
        return 1;
    }
    for (int i = 0; i < 400; ++i) {
        recording.Look();
        SleepMs(0.5);
    }
    std::vector<char*> argv = settings.command;
    Child child;
    const double execTime = Now();
    if (!child.Start(argv)) {
        return 1;
    }
    // From 50 ms before the start: any sound there is someone else's.
    const std::int64_t startFrame = recording.FrameAt(execTime);
    std::int64_t frame = recording.FrameAt(execTime - 0.05);
    std::vector<std::int16_t> samples;
    std::int64_t firstFrame = -1;
    ProcessReading atSound;
    while (firstFrame < 0) {
        if (Now() - execTime > settings.timeout || child.Ended()) {
            std::printf("error=no sound within %.0f s (player %s)\n", settings.timeout,
                        child.Pid() < 0 ? "ended" : "running");
            return 1;
        }
        recording.Look();
        frame = recording.ReadFrom(frame, samples);
        for (std::size_t i = 0; i + kChannels <= samples.size(); i += kChannels) {
            if (Loud(&samples[i], settings.threshold)) {
                firstFrame = frame + static_cast<std::int64_t>(i / kChannels);
                break;
            }
        }
        if (firstFrame >= 0) {
            atSound = ReadProcess(child.Pid());
            break;
        }
        SleepMs(1);
    }
    if (firstFrame < startFrame) {
        std::printf("error=sound %.1f ms before the start\n",
                    (recording.TimeOfFrame(startFrame) - recording.TimeOfFrame(firstFrame)) * 1000);
        return 1;
    }
    const double soundTime = recording.TimeOfFrame(firstFrame);
    std::printf("startup_ms=%.1f\n", (soundTime - execTime) * 1000);
    std::printf("sound_at_s=%.4f\n", static_cast<double>(firstFrame) / kRate);
    std::printf("clock_delay_ms=%.1f\n", recording.MedianDelay() * 1000);
    std::printf("cpu_at_sound_s=%.2f\n", atSound.cpuSeconds);

    if (settings.playSeconds > 0) {
        // Read just before the track's last sample reaches the sink, so the
        // end-of-track work (and a repeat) is not counted.
        const double readAt = soundTime + settings.playSeconds - 0.1;
        while (Now() < readAt) {
            if (child.Ended()) {
                std::printf("error=the player ended %.1f s into the track\n", Now() - soundTime);
                return 1;
            }
            SleepMs(std::min(100.0, std::max(1.0, (readAt - Now()) * 1000)));
        }
        const ProcessReading atEnd = ReadProcess(child.Pid());
        if (!atEnd.ok) {
            std::printf("error=cannot read /proc/%d\n", static_cast<int>(child.Pid()));
            return 1;
        }
        std::printf("cpu_at_end_s=%.2f\n", atEnd.cpuSeconds);
        std::printf("cpu_playing_s=%.2f\n", atEnd.cpuSeconds - atSound.cpuSeconds);
        std::printf("hwm_kb=%ld\n", atEnd.hwmKb);
        std::printf("rss_kb=%ld\n", atEnd.rssKb);
        std::printf("threads=%d\n", atEnd.threads);
    }
    child.Stop();
    std::printf("cpu_at_exit_s=%.3f\n", child.cpuAtExit);
    std::printf("exit=%s %d\n", child.signalled ? "signal" : "status", child.exitStatus);
    return 0;
}

using Segment = std::pair<std::size_t, std::size_t>;  // [first frame, end frame)

// The runs of sound in interleaved frames, joined across silences shorter
// than `minGap` frames (a waveform's own zero crossings).
std::vector<Segment> Sounds(const std::vector<std::int16_t>& samples, int threshold,
                            std::size_t minGap) {
    std::vector<Segment> sounds;
    const std::size_t frames = samples.size() / kChannels;
    for (std::size_t f = 0; f < frames; ++f) {
        if (!Loud(&samples[f * kChannels], threshold)) {
            continue;
        }
        if (!sounds.empty() && f - sounds.back().second < minGap) {
            sounds.back().second = f + 1;
        } else {
            sounds.push_back({f, f + 1});
        }
    }
    return sounds;
}

// A track's body: a sound of at least this length. Shorter sounds near a
// track's edges (an MP3 encoder's ringing) belong to the edges.
constexpr std::size_t kBodyFrames = kRate / 4;

std::vector<Segment> Bodies(const std::vector<Segment>& sounds) {
    std::vector<Segment> bodies;
    for (const Segment& sound : sounds) {
        if (sound.second - sound.first >= kBodyFrames) {
            bodies.push_back(sound);
        }
    }
    return bodies;
}

double Ms(std::size_t frames, int rate = kRate) {
    return static_cast<double>(frames) * 1000.0 / rate;
}

// gaps: in a finished recording, every track change: the time from the end of
// one track's body to the start of the next one's.
int Gaps(const Settings& settings) {
    std::ifstream in(settings.record, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "melvane-bench-probe: cannot read %s\n", settings.record.c_str());
        return 1;
    }
    in.seekg(static_cast<std::streamoff>(settings.from * kRate) * kFrameBytes);
    std::vector<std::int16_t> samples;
    std::vector<char> bytes(1 << 16);
    while (in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) || in.gcount() > 0) {
        const std::size_t n = static_cast<std::size_t>(in.gcount()) / 2;
        const std::size_t at = samples.size();
        samples.resize(at + n);
        std::memcpy(samples.data() + at, bytes.data(), n * 2);
    }
    const auto minGap = static_cast<std::size_t>(settings.minGapMs * kRate / 1000);
    const std::vector<Segment> sounds = Sounds(samples, settings.threshold, minGap);
    const std::vector<Segment> bodies = Bodies(sounds);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        std::printf("track at=%.3f length_ms=%.1f\n", settings.from + Ms(bodies[i].first) / 1000,
                    Ms(bodies[i].second - bodies[i].first));
        if (i + 1 < bodies.size()) {
            const auto blips = std::count_if(sounds.begin(), sounds.end(), [&](const Segment& s) {
                return s.first >= bodies[i].second && s.second <= bodies[i + 1].first;
            });
            std::printf("change at=%.3f ms=%.2f blips=%d\n",
                        settings.from + Ms(bodies[i].second) / 1000,
                        Ms(bodies[i + 1].first - bodies[i].second), static_cast<int>(blips));
        }
    }
    return 0;
}

// edges: how long a decoded WAV file takes from its start to its body, and
// from its body to its end (its own share of a track change).
int Edges(const Settings& settings) {
    tunegen::Pcm pcm;
    std::string error;
    if (!tunegen::ReadWav(settings.record, &pcm, &error) || pcm.channels != kChannels) {
        std::fprintf(stderr, "melvane-bench-probe: %s: %s\n", settings.record.c_str(),
                     error.empty() ? "not stereo" : error.c_str());
        return 1;
    }
    const std::size_t frames = pcm.samples.size() / kChannels;
    const auto minGap = static_cast<std::size_t>(settings.minGapMs * pcm.sampleRate / 1000);
    const std::vector<Segment> bodies = Bodies(Sounds(pcm.samples, settings.threshold, minGap));
    if (bodies.empty()) {
        std::fprintf(stderr, "melvane-bench-probe: %s has no sound of 0.25 s\n",
                     settings.record.c_str());
        return 1;
    }
    std::printf(
        "lead_ms=%.2f\ntrail_ms=%.2f\nseconds=%.3f\n", Ms(bodies.front().first, pcm.sampleRate),
        Ms(frames - bodies.back().second, pcm.sampleRate), Ms(frames, pcm.sampleRate) / 1000);
    return 0;
}

void PutBe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

void PutVarLen(std::string& out, std::uint32_t value) {
    std::string reversed(1, static_cast<char>(value & 0x7f));
    while ((value >>= 7) != 0) {
        reversed += static_cast<char>(0x80 | (value & 0x7f));
    }
    out.append(reversed.rbegin(), reversed.rend());
}

// midi-tone: one organ chord held for the whole file, so that the synth's
// sound starts with the file and lasts to its end.
int MidiTone(const std::string& path, double seconds) {
    if (!(seconds > 0 && seconds < 3600)) {
        std::fprintf(stderr, "melvane-bench-probe: length must be 0-3600 s\n");
        return 2;
    }
    constexpr int kTicksPerBeat = 480;  // at 120 beats a minute: 960 ticks a second
    const auto end = static_cast<std::uint32_t>(std::lround(seconds * 960));
    const unsigned char keys[] = {57, 64, 69};
    std::string track;
    PutVarLen(track, 0);
    track += std::string("\xff\x51\x03\x07\xa1\x20", 6);  // 500000 us a beat
    PutVarLen(track, 0);
    track += std::string("\xc0\x10", 2);  // drawbar organ: no attack, no decay
    for (unsigned char key : keys) {
        PutVarLen(track, 0);
        track += std::string{'\x90', static_cast<char>(key), '\x64'};
    }
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        PutVarLen(track, i == 0 ? end : 0);
        track += std::string{'\x80', static_cast<char>(keys[i]), '\x00'};
    }
    PutVarLen(track, 0);
    track += std::string("\xff\x2f\x00", 3);
    std::string bytes = "MThd";
    PutBe(bytes, 6, 4);
    PutBe(bytes, 0, 2);
    PutBe(bytes, 1, 2);
    PutBe(bytes, kTicksPerBeat, 2);
    bytes += "MTrk";
    PutBe(bytes, static_cast<std::uint32_t>(track.size()), 4);
    bytes += track;
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    out.close();
    if (!out) {
        std::fprintf(stderr, "melvane-bench-probe: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

// tune: one of the demo tunes at the given length, as the benchmarks of
// playing cost use them.
int Tune(const std::string& format, const std::string& path, double seconds) {
    std::string error;
    bool written = false;
    if (format == "mp3") {
        written = tunegen::WriteMp3(path, tunegen::DemoTune(2), seconds, &error);
    } else if (format == "wav") {
        written = tunegen::WriteWav(path, tunegen::DemoTune(1), seconds, &error);
    } else if (format == "mid") {
        written = tunegen::WriteMidi(path, tunegen::DemoTune(0), seconds, &error);
    } else {
        error = "the format is mp3, wav or mid";
    }
    if (!written) {
        std::fprintf(stderr, "melvane-bench-probe: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: melvane-bench-probe launch --record RAW [--play-seconds S] "
                 "[--timeout S] [--threshold N] -- COMMAND...\n"
                 "       melvane-bench-probe gaps --record RAW [--from S] [--min-gap-ms X] "
                 "[--threshold N]\n"
                 "       melvane-bench-probe edges --record WAV [--threshold N]\n"
                 "       melvane-bench-probe midi-tone PATH SECONDS\n"
                 "       melvane-bench-probe tune mp3|wav|mid PATH SECONDS\n"
                 "RAW is s16le stereo 44100 Hz, as parec records it.\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, Settings* settings) {
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            settings->command.assign(argv + i + 1, argv + argc);
            return !settings->command.empty();
        }
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--record") {
            settings->record = value;
        } else if (arg == "--play-seconds") {
            settings->playSeconds = std::atof(value);
        } else if (arg == "--timeout") {
            settings->timeout = std::atof(value);
        } else if (arg == "--threshold") {
            settings->threshold = std::atoi(value);
        } else if (arg == "--from") {
            settings->from = std::atof(value);
        } else if (arg == "--min-gap-ms") {
            settings->minGapMs = std::atof(value);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string verb = argv[1];
    if (verb == "midi-tone") {
        return argc == 4 ? MidiTone(argv[2], std::atof(argv[3])) : Usage();
    }
    if (verb == "tune") {
        return argc == 5 ? Tune(argv[2], argv[3], std::atof(argv[4])) : Usage();
    }
    Settings settings;
    if (!ParseOptions(argc, argv, &settings) || settings.record.empty()) {
        return Usage();
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (verb == "launch" && !settings.command.empty()) {
        return Launch(settings);
    }
    if (verb == "gaps") {
        return Gaps(settings);
    }
    if (verb == "edges") {
        return Edges(settings);
    }
    return Usage();
}
