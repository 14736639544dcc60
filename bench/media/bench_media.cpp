// Playback cost of the media layer against gst-launch-1.0's playbin on the same
// files and the same sink: CPU seconds per minute of playback, and open times.
//
// Each side's rate is (CPU for the long tune - CPU for a short one) / the
// difference in length, so start-up (process, plugin loading, pipeline
// building) cancels out on both sides and only playback is compared. The
// layer's CPU is this process's own, less what it burns idling. The printed
// figures are medians over the runs.
#include <gst/gst.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/mci_gst.h"
#include "tunegen/tunegen.h"
#include "wincompat/wnd_qt.h"

extern char** environ;

namespace {

struct Settings {
    std::string sink = "autoaudiosink";
    double seconds = 60.0;
    double shortSeconds = 3.0;
    int opens = 5;
    int repeats = 3;
};

struct Format {
    const char* name;
    const char* extension;
    bool (*write)(const std::string&, const tunegen::Tune&, double, std::string*);
    int tune;
};

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double SelfCpu() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// Quits its loop when the play's notification arrives.
class EndWaiter : public QObject {
public:
    explicit EndWaiter(QEventLoop* loop) : m_loop(loop) {}
    std::uint32_t code = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == platform::MciNotifyEvent::Type()) {
            code = static_cast<platform::MciNotifyEvent*>(e)->WParam();
            m_loop->quit();
            return true;
        }
        return QObject::event(e);
    }

private:
    QEventLoop* m_loop;
};

// Runs the event loop for `ms` with nothing to do.
void Idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU seconds this process spends per second of doing nothing.
double IdleRate() {
    QElapsedTimer clock;
    clock.start();
    const double before = SelfCpu();
    Idle(2000);
    return (SelfCpu() - before) / (static_cast<double>(clock.elapsed()) / 1000.0);
}

// Opens, plays to the end and closes `path`; CPU seconds used, less idling.
// Negative when the track did not play to its end.
double LayerCpu(platform::GstMci& mci, const std::string& path, double idleRate, double seconds) {
    QElapsedTimer clock;
    clock.start();
    const double before = SelfCpu();
    if (mci.OpenElement(path, "themidi") != 0) {
        return -1.0;
    }
    QEventLoop loop;
    EndWaiter waiter(&loop);
    QTimer::singleShot(static_cast<int>(seconds * 1000) + 30000, &loop, &QEventLoop::quit);
    mci.SendString("play themidi notify", platform::ToHwnd(&waiter));
    loop.exec();
    mci.SendString("stop themidi", nullptr);
    mci.SendString("close themidi", nullptr);
    const double used = SelfCpu() - before;
    if (waiter.code != platform::MCI_NOTIFY_SUCCESSFUL) {
        return -1.0;
    }
    return used - idleRate * static_cast<double>(clock.elapsed()) / 1000.0;
}

// CPU seconds of `gst-launch-1.0 playbin` playing `path` to its end; negative
// when it failed.
double LaunchCpu(const std::string& path, const std::string& sink) {
    gchar* rawUri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (rawUri == nullptr) {
        return -1.0;
    }
    const std::string uri = std::string("uri=") + rawUri;
    g_free(rawUri);
    const std::string audioSink = "audio-sink=" + sink;
    std::vector<char*> argv;
    for (const std::string* arg : {&uri, &audioSink}) {
        argv.push_back(const_cast<char*>(arg->c_str()));
    }
    char launch[] = "gst-launch-1.0";
    char quiet[] = "-q";
    char playbin[] = "playbin";
    argv.insert(argv.begin(), {launch, quiet, playbin});
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, launch, nullptr, nullptr, argv.data(), environ) != 0) {
        return -1.0;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1.0;
    }
    return CpuSeconds(usage);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median milliseconds of an open (to the first audio at the sink); the very
// first open of a format, which loads its plugins, is reported apart.
double MedianOpenMs(platform::GstMci& mci, const std::string& path, int opens, double* firstMs) {
    std::vector<double> times;
    for (int i = 0; i <= opens; ++i) {
        QElapsedTimer clock;
        clock.start();
        const bool opened = mci.OpenElement(path, "themidi") == 0;
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        mci.SendString("close themidi", nullptr);
        if (!opened) {
            return -1.0;
        }
        if (i == 0) {
            *firstMs = ms;
        } else {
            times.push_back(ms);
        }
    }
    return Median(times);
}

bool ParseArgs(int argc, char** argv, Settings* settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--sink") {
            settings->sink = value;
        } else if (arg == "--seconds") {
            settings->seconds = std::atof(value);
        } else if (arg == "--opens") {
            settings->opens = std::atoi(value);
        } else if (arg == "--repeats") {
            settings->repeats = std::atoi(value);
        } else {
            return false;
        }
    }
    return settings->seconds > settings->shortSeconds + 1.0 && settings->opens > 0 &&
           settings->repeats > 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Settings settings;
    if (!ParseArgs(argc, argv, &settings)) {
        std::fprintf(stderr,
                     "usage: melvane-bench-media [--sink DESC] [--seconds N (> 4)] [--opens N] "
                     "[--repeats N]\n");
        return 2;
    }
    char dirTemplate[] = "/tmp/melvane-bench-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) {
        std::perror("melvane-bench-media: mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;

    platform::GstMciOptions options;
    options.sinkDescription = settings.sink;
    platform::GstMci mci(options);
    const double idleRate = IdleRate();

    const Format formats[] = {
        {"MP3", ".mp3", &tunegen::WriteMp3, 2},
        {"WAV", ".wav", &tunegen::WriteWav, 1},
        {"MIDI", ".mid", &tunegen::WriteMidi, 0},
    };
    std::printf("sink: %s; %.0f s tunes, %d runs each; idle CPU of this process: %.4f s/s\n",
                settings.sink.c_str(), settings.seconds, settings.repeats, idleRate);
    std::printf("%-5s %14s %14s %7s %12s %12s\n", "", "layer s/min", "playbin s/min", "ratio",
                "open median", "first open");
    int status = 0;
    std::vector<std::string> made;
    for (const Format& format : formats) {
        const std::string longPath = dir + "/long" + format.extension;
        const std::string shortPath = dir + "/short" + format.extension;
        std::string error;
        const tunegen::Tune tune = tunegen::DemoTune(format.tune);
        if (!format.write(longPath, tune, settings.seconds, &error) ||
            !format.write(shortPath, tune, settings.shortSeconds, &error)) {
            std::fprintf(stderr, "melvane-bench-media: %s\n", error.c_str());
            return 1;
        }
        made.push_back(longPath);
        made.push_back(shortPath);

        double firstMs = 0.0;
        const double openMs = MedianOpenMs(mci, shortPath, settings.opens, &firstMs);
        // Layer and playbin take turns, so a busy moment on the machine
        // does not fall on one side only.
        const double minutes = (settings.seconds - settings.shortSeconds) / 60.0;
        std::vector<double> layerRates;
        std::vector<double> launchRates;
        std::vector<double> ratios;
        bool played = openMs >= 0;
        for (int r = 0; r < settings.repeats && played; ++r) {
            const double layerShort = LayerCpu(mci, shortPath, idleRate, settings.shortSeconds);
            const double layerLong = LayerCpu(mci, longPath, idleRate, settings.seconds);
            const double launchShort = LaunchCpu(shortPath, settings.sink);
            const double launchLong = LaunchCpu(longPath, settings.sink);
            played = layerShort >= 0 && layerLong >= 0 && launchShort >= 0 && launchLong >= 0;
            layerRates.push_back((layerLong - layerShort) / minutes);
            launchRates.push_back((launchLong - launchShort) / minutes);
            ratios.push_back(layerRates.back() / launchRates.back());
            std::printf(
                "      run %d: layer %.3f s (short %.3f s), playbin %.3f s (short %.3f s)\n", r + 1,
                layerLong, layerShort, launchLong, launchShort);
        }
        if (!played) {
            std::printf("%-5s did not play\n", format.name);
            status = 1;
            continue;
        }
        // Each run pairs the two sides at about the same moment, so the ratio
        // is the median of the runs' own ratios.
        std::printf("%-5s %14.3f %14.3f %7.3f %9.1f ms %9.1f ms   (run ratios %.3f to %.3f)\n",
                    format.name, Median(layerRates), Median(launchRates), Median(ratios), openMs,
                    firstMs, *std::min_element(ratios.begin(), ratios.end()),
                    *std::max_element(ratios.begin(), ratios.end()));
        std::fflush(stdout);
    }
    for (const std::string& path : made) {
        std::remove(path.c_str());
    }
    rmdir(dir.c_str());
    return status;
}
