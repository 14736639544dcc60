// What the media layer's tests share: a temporary folder of media made with
// tunegen, layers with a test sink and a named soundfont, a window that
// records notifications, bounded waits that run the Qt event loop, the
// descriptors open on a file, and a comparison of recordings.
#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QObject>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/mci_gst.h"
#include "support/temp_dir.h"
#include "tunegen/tunegen.h"
#include "wincompat/wnd_qt.h"

namespace media_test {

using platform::GstMci;
using platform::GstMciOptions;
using platform::MCIERROR;

// Plays in real time and throws the sound away.
inline const char* const kRealTimeSink = "fakesink sync=true";
// As fast as the decoder goes.
inline const char* const kFastSink = "fakesink sync=false";

// Writes everything played into a 16-bit WAV file, as fast as it decodes.
inline std::string CaptureSink(const std::string& wavPath) {
    return "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location=\"" + wavPath +
           "\"";
}

// A window as the layer sees it: every MciNotifyEvent it gets, in order, and
// how many output messages.
class NotifyRecorder : public QObject {
public:
    std::vector<std::uint32_t> codes;
    int outputs = 0;

    platform::HWND Hwnd() { return platform::ToHwnd(this); }

protected:
    bool event(QEvent* e) override {
        if (e->type() == platform::MciNotifyEvent::Type()) {
            codes.push_back(static_cast<platform::MciNotifyEvent*>(e)->WParam());
            return true;
        }
        if (e->type() == platform::MciOutputEvent::Type()) {
            ++outputs;
            return true;
        }
        return QObject::event(e);
    }
};

// Runs the event loop until `done` holds or `timeoutMs` pass; says which.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(2);
    }
    return true;
}

// Runs the event loop until everything posted to this thread before the call
// has been delivered (at most `timeoutMs`): notifications already on their
// way, and the stream events that send them. Once a track is closed, its
// pipeline's threads have posted all they ever will.
inline bool Drain(int timeoutMs = 10000) {
    bool reached = false;
    QObject marker;
    QMetaObject::invokeMethod(
        &marker, [&reached] { reached = true; }, Qt::QueuedConnection);
    return PumpUntil([&reached] { return reached; }, timeoutMs);
}

// Runs the event loop for `ms`: only where a test means to act at a moment
// of a track's playing, never to wait for something.
inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

// How many of this process's descriptors are open on `path` (a file since
// removed is named with " (deleted)" after it).
inline int DescriptorsOf(const std::string& path) {
    int count = 0;
    for (const QFileInfo& entry :
         QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System)) {
        count += entry.symLinkTarget().toStdString() == path ? 1 : 0;
    }
    return count;
}

// The General MIDI soundfonts MIDI plays with here, named by path: a test
// never takes the system's default, which may be either. The set-up script
// installs both.
inline const char* const kTimGM6mb = "/usr/share/sounds/sf2/TimGM6mb.sf2";
inline const char* const kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

// The soundfonts the MIDI cases run with: TimGM6mb always (a machine without
// it fails them), and FluidR3_GM where it is installed.
inline std::vector<std::string> InstalledSoundfonts() {
    std::vector<std::string> fonts = {kTimGM6mb};
    if (::access(kFluidR3, R_OK) == 0) {
        fonts.push_back(kFluidR3);
    }
    return fonts;
}

// A soundfont's file name without its folder and extension, for test names.
inline std::string SoundfontName(const std::string& path) {
    const std::string file = path.substr(path.rfind('/') + 1);
    return file.substr(0, file.rfind('.'));
}

// How much longer an open may take in a build under AddressSanitizer, whose
// bookkeeping of every allocation slows a soundfont's loading several times.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowBuild = 4;
#else
constexpr int kSlowBuild = 1;
#endif
// How long an ordinary open may take in these tests.
constexpr int kOpenTimeoutMs = 5000 * kSlowBuild;

// The layer's default options, playing into `sink`, MIDI with `soundfont`.
inline GstMciOptions WithSink(const std::string& sink, const std::string& soundfont = kTimGM6mb) {
    GstMciOptions options;
    options.openTimeoutMs = kOpenTimeoutMs;
    options.sinkDescription = sink;
    options.soundfontPlaces = {soundfont};
    return options;
}

// What a capture sink wrote.
inline tunegen::Pcm ReadCapture(const std::string& path) {
    tunegen::Pcm pcm;
    std::string error;
    EXPECT_TRUE(tunegen::ReadWav(path, &pcm, &error)) << error;
    return pcm;
}

// RMS of each 50 ms of the first channel, full scale 1.0.
inline std::vector<double> Envelope(const tunegen::Pcm& pcm) {
    const std::size_t frames = pcm.samples.size() / 2;
    const std::size_t window = static_cast<std::size_t>(pcm.sampleRate) / 20;
    std::vector<double> envelope;
    for (std::size_t start = 0; start + window <= frames; start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) {
            const double value = pcm.samples[2 * i] / 32768.0;
            sum += value * value;
        }
        envelope.push_back(std::sqrt(sum / window));
    }
    return envelope;
}

// Within 10% of each other in every 50 ms.
inline void ExpectSameLoudness(const tunegen::Pcm& actual, const tunegen::Pcm& expected) {
    const std::vector<double> actualEnvelope = Envelope(actual);
    const std::vector<double> expectedEnvelope = Envelope(expected);
    ASSERT_EQ(actualEnvelope.size(), expectedEnvelope.size());
    for (std::size_t i = 0; i < expectedEnvelope.size(); ++i) {
        EXPECT_NEAR(actualEnvelope[i], expectedEnvelope[i], 0.1 * expectedEnvelope[i] + 0.002)
            << "at " << i * 50 << " ms";
    }
}

enum class Format { Wav, Mp3, Midi };

inline const char* Extension(Format format) {
    const char* const extensions[] = {".wav", ".mp3", ".mid"};
    return extensions[static_cast<int>(format)];
}

// A format, and for MIDI the soundfont it plays with.
struct TuneKind {
    Format format;
    std::string soundfont = kTimGM6mb;
};

inline void PrintTo(const TuneKind& kind, std::ostream* out) {
    *out << Extension(kind.format) + 1;
    if (kind.format == Format::Midi) {
        *out << " with " << kind.soundfont;
    }
}

// Every format, MIDI with each installed soundfont.
inline std::vector<TuneKind> EveryFormat() {
    std::vector<TuneKind> kinds = {{Format::Wav}, {Format::Mp3}};
    for (const std::string& font : InstalledSoundfonts()) {
        kinds.push_back({Format::Midi, font});
    }
    return kinds;
}

inline std::string TuneKindName(const ::testing::TestParamInfo<TuneKind>& kind) {
    std::string name = Extension(kind.param.format) + 1;
    if (kind.param.format == Format::Midi) {
        name += "_" + SoundfontName(kind.param.soundfont);
    }
    return name;
}

inline std::string SoundfontTestName(const ::testing::TestParamInfo<std::string>& font) {
    return SoundfontName(font.param);
}

class MediaTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    std::string Path(const std::string& name) const { return m_dir.Path() + "/" + name; }

    // A tune of `seconds` in `format`, called "tune" with the format's
    // extension unless `name` gives the file name.
    std::string MakeTune(Format format, double seconds, const std::string& name = std::string()) {
        const std::string path =
            Path(name.empty() ? std::string("tune") + Extension(format) : name);
        const decltype(&tunegen::WriteWav) writers[] = {tunegen::WriteWav, tunegen::WriteMp3,
                                                        tunegen::WriteMidi};
        std::string error;
        const bool written =
            writers[static_cast<int>(format)](path, tunegen::TestTune(), seconds, &error);
        EXPECT_TRUE(written) << error;
        return path;
    }

    std::unique_ptr<GstMci> Layer(const std::string& sink, int openTimeoutMs = kOpenTimeoutMs,
                                  const std::string& soundfont = kTimGM6mb) {
        GstMciOptions options = WithSink(sink, soundfont);
        options.openTimeoutMs = openTimeoutMs;
        return std::make_unique<GstMci>(options);
    }

    // Plays the open "themidi" with notify to `window` and waits for its
    // notification (at most `timeoutMs`).
    static void PlayUntilNotified(GstMci& mci, NotifyRecorder& window, int timeoutMs = 10000) {
        ASSERT_EQ(mci.SendString("play themidi notify", window.Hwnd()), 0u);
        ASSERT_TRUE(PumpUntil([&] { return !window.codes.empty(); }, timeoutMs));
    }
    // Opens `path` as "themidi" and plays it as above.
    static void PlayToEnd(GstMci& mci, const std::string& path, NotifyRecorder& window,
                          int timeoutMs = 10000) {
        ASSERT_EQ(mci.OpenElement(path, "themidi"), 0u);
        PlayUntilNotified(mci, window, timeoutMs);
    }
    // Plays `path` to its end, which must be one success.
    static void PlayToSuccess(GstMci& mci, const std::string& path) {
        NotifyRecorder window;
        PlayToEnd(mci, path, window);
        EXPECT_EQ(window.codes, std::vector<std::uint32_t>{platform::MCI_NOTIFY_SUCCESSFUL});
    }

    // Plain POSIX: it removes names that are not UTF-8 too.
    TempDir m_dir;
};

}  // namespace media_test
