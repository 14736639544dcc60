// melvane-bench-endurance: one process drives the real window over the real
// media layer through many tray-menu showings, track changes, timer ticks and
// playlist edits, and reports its memory and open descriptors before and
// after. Prompts, autostart, tray and shell are small stand-ins that keep no
// history, so whatever grows is the program's own.
//
// The media layer plays into "fakesink sync=false", so a short track ends as
// soon as it is decoded and the track changes run as fast as the end-of-track
// handler allows. The playlist holds a WAV, an MP3 and a MIDI file (--no-midi
// puts a second WAV in the MIDI file's place).
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "media/mci_gst.h"
#include "platform/autostart.h"
#include "platform/process.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "platform/tray.h"
#include "tunegen/tunegen.h"
#include "ui/melvanedlg.h"
#include "wincompat/popupmenu.h"
#include "wincompat/window_message.h"
#include "wincompat/wnd_qt.h"

namespace {

struct Counts {
    int menus = 1000;
    int changes = 1000;
    int ticks = 10000;
    int edits = 200;
    bool midi = true;  // the playlist's third track is a MIDI file
};

class QuietPrompts : public platform::IPrompts {
public:
    void AppMessageBox(const std::string& text) override { Note(text); }
    void WindowMessageBox(const std::string& text) override { Note(text); }
    int shown = 0;
    std::string last;

private:
    void Note(const std::string& text) {
        ++shown;
        last = text;
    }
};

class MainWindowApp : public platform::IApp {
public:
    platform::HWND GetMainWnd() const override { return mainWnd; }
    platform::HWND mainWnd = nullptr;
};

class MemoryAutoStart : public platform::IAutoStart {
public:
    bool OpenKey() override { return true; }
    bool SetValue(const std::string&, const std::string& path) override {
        value = path;
        return true;
    }
    bool DeleteValue(const std::string&) override {
        value.clear();
        return true;
    }
    void CloseKey() override {}
    std::string value;
};

// Draws the icon it is handed at tray size, as a tray host would, and keeps
// only the last picture.
class DrawingTray : public platform::ITray {
public:
    bool Shell_NotifyIcon(std::uint32_t, const platform::NOTIFYICONDATA& nid) override {
        shown = nid.hIcon.pixmap(16, 16);
        ++calls;
        return true;
    }
    bool IsTrayAvailable() const override { return true; }
    void SetTrayAppearedHandler(std::function<void()>) override {}
    QPixmap shown;
    long calls = 0;
};

class OneFileShell : public platform::IShell {
public:
    bool GetOpenFileNames(QWidget*, const std::string&, const std::string&,
                          std::vector<std::string>& paths) override {
        paths = {path};
        return true;
    }
    bool OpenDocument(const std::string&) override { return false; }
    std::string path;
};

// Counts the tracks that ended by themselves.
class EndCounter : public QObject {
public:
    int ends = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == platform::MciNotifyEvent::Type() &&
            static_cast<platform::MciNotifyEvent*>(event)->WParam() ==
                platform::MCI_NOTIFY_SUCCESSFUL) {
            ++ends;
        }
        return false;
    }
};

// RSS as it is, and after malloc_trim when asked to hand free heap back.
struct Usage {
    long rssKb = 0;
    long trimmedRssKb = 0;
    std::map<int, std::string> fds;
};

long RssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

std::map<int, std::string> OpenFds() {
    std::map<int, std::string> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return fds;
    }
    const int own = dirfd(dir);
    while (dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] == '.' || fd == own) {
            continue;
        }
        char target[512] = {};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        fds[fd] = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "?";
    }
    closedir(dir);
    return fds;
}

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

Usage Measure(bool trim) {
    Settle(300);
    Usage usage;
    usage.rssKb = RssKb();
    if (trim) {
        malloc_trim(0);
    }
    usage.trimmedRssKb = RssKb();
    usage.fds = OpenFds();
    return usage;
}

QWidget* OpenPopup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(platform::POPUP_MENU_OBJECT_NAME) &&
            widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// Presses Escape in the tray menu as soon as it is up.
void DismissMenuSoon() {
    QTimer::singleShot(0, [] {
        QWidget* popup = OpenPopup();
        if (popup == nullptr) {
            DismissMenuSoon();
            return;
        }
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(popup, &escape);
    });
}

class Run {
public:
    Run(CMelvaneDlg& dlg, EndCounter& ends, OneFileShell& shell)
        : m_dlg(dlg), m_ends(ends), m_shell(shell) {}

    bool TrackChanges(int count) {
        if (m_dlg.m_bPlaying == 0) {
            m_dlg.OnPlay();
        }
        const int target = m_ends.ends + count;
        QElapsedTimer clock;
        clock.start();
        while (m_ends.ends < target) {
            if (clock.elapsed() > 600000 || m_dlg.m_bPlaying == 0) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return true;
    }

    void MenuShowings(int count) {
        for (int i = 0; i < count; ++i) {
            DismissMenuSoon();
            m_dlg.DefWindowProc(WM_TRAYNOTIFY, 100, platform::WM_RBUTTONDOWN);
            QCoreApplication::processEvents();
        }
    }

    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            m_dlg.OnTimer(1);
            if (i % 100 == 99) {
                QCoreApplication::processEvents();
            }
        }
    }

    // Adds the shell's file, then deletes it again.
    bool Edits(int count) {
        for (int i = 0; i < count; ++i) {
            const int before = m_dlg.m_listMusic.GetCount();
            m_dlg.OnAdd();
            int added = -1;
            for (int j = 0; j < m_dlg.m_listMusic.GetCount(); ++j) {
                if (m_dlg.m_listMusic.GetText(j) == m_shell.path) {
                    added = j;
                }
            }
            if (added < 0 || m_dlg.m_listMusic.GetCount() != before + 1) {
                return false;
            }
            m_dlg.m_listMusic.SetCurSel(added);
            m_dlg.OnDelete();
            if (m_dlg.m_listMusic.GetCount() != before) {
                return false;
            }
            QCoreApplication::processEvents();
        }
        return true;
    }

private:
    CMelvaneDlg& m_dlg;
    EndCounter& m_ends;
    OneFileShell& m_shell;
};

// The offscreen platform says at every popup that it cannot raise it or grab
// the keyboard; a thousand of those would bury the figures.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support"))) {
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

bool ParseCounts(int argc, char** argv, Counts* counts) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-midi") {
            counts->midi = false;
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const int value = std::atoi(argv[++i]);
        if (value < 0) {
            return false;
        }
        if (arg == "--menus") {
            counts->menus = value;
        } else if (arg == "--changes") {
            counts->changes = value;
        } else if (arg == "--ticks") {
            counts->ticks = value;
        } else if (arg == "--edits") {
            counts->edits = value;
        } else {
            return false;
        }
    }
    return true;
}

struct RoundResult {
    bool ok = true;
    std::string error;
};

// One round of every kind of work, with each one's time and the untrimmed
// RSS after it, to tell which one grows.
RoundResult Round(Run& run, CMelvaneDlg& dlg, EndCounter& ends, const Counts& counts) {
    RoundResult result;
    auto phase = [](const char* name, double seconds) {
        Settle(300);
        std::printf("  %-20s %6.1f s   RSS %ld kB, %zu fds\n", name, seconds, RssKb(),
                    OpenFds().size());
    };
    QElapsedTimer clock;
    clock.start();
    const int endsBefore = ends.ends;
    if (!run.TrackChanges(counts.changes)) {
        result = {false, "playback stopped before all track changes"};
    }
    dlg.OnStop();
    phase("track changes", static_cast<double>(clock.restart()) / 1000);
    // The rest goes on while tracks keep changing in the background.
    dlg.OnPlay();
    run.MenuShowings(counts.menus);
    phase("tray menu showings", static_cast<double>(clock.restart()) / 1000);
    run.Ticks(counts.ticks);
    phase("timer ticks", static_cast<double>(clock.restart()) / 1000);
    if (!run.Edits(counts.edits)) {
        result = {false, "an edit did not add or delete its entry"};
    }
    dlg.OnStop();
    phase("playlist edits", static_cast<double>(clock.restart()) / 1000);
    std::printf(
        "  (%d menus, %d track changes, %d ticks, %d adds and %d deletes; "
        "%d tracks ended in all)\n",
        counts.menus, counts.changes, counts.ticks, counts.edits, counts.edits,
        ends.ends - endsBefore);
    return result;
}

void PrintFdChange(const Usage& before, const Usage& after) {
    for (const auto& [fd, target] : after.fds) {
        const auto was = before.fds.find(fd);
        if (was == before.fds.end() || was->second != target) {
            std::printf("  new fd %d -> %s\n", fd, target.c_str());
        }
    }
    for (const auto& [fd, target] : before.fds) {
        if (after.fds.count(fd) == 0) {
            std::printf("  closed fd %d (was %s)\n", fd, target.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // As the program itself does.
    platform::KeepTheHeapSmall();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(QuietOffscreenNotes);
    QApplication app(argc, argv);
    Counts counts;
    if (!ParseCounts(argc, argv, &counts)) {
        std::fprintf(stderr,
                     "usage: melvane-bench-endurance [--menus N] [--changes N] [--ticks N] "
                     "[--edits N] [--no-midi]\n");
        return 2;
    }
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString();
    if (!dir.isValid() || ::chdir(path.c_str()) != 0) {
        std::fprintf(stderr, "melvane-bench-endurance: no working directory\n");
        return 1;
    }
    // Short tracks in every format, and one more for the edits.
    const tunegen::Tune tune = tunegen::TestTune();
    std::string error;
    std::vector<std::string> tracks = {path + "/a.wav", path + "/b.mp3"};
    tracks.push_back(counts.midi ? path + "/c.mid" : path + "/c.wav");
    const std::string extra = path + "/zz-added.wav";
    const auto third = counts.midi ? &tunegen::WriteMidi : &tunegen::WriteWav;
    if (!tunegen::WriteWav(tracks[0], tune, 0.1, &error) ||
        !tunegen::WriteMp3(tracks[1], tune, 0.1, &error) || !third(tracks[2], tune, 0.1, &error) ||
        !tunegen::WriteWav(extra, tune, 0.1, &error)) {
        std::fprintf(stderr, "melvane-bench-endurance: %s\n", error.c_str());
        return 1;
    }
    {
        std::ofstream playlist(path + "/Music.mus", std::ios::binary);
        for (const std::string& track : tracks) {
            playlist << track << "\r\n";
        }
    }

    platform::GstMciOptions options;
    options.sinkDescription = "fakesink sync=false";
    platform::GstMci mci(options);
    QuietPrompts prompts;
    MainWindowApp mainApp;
    MemoryAutoStart autoStart;
    DrawingTray tray;
    OneFileShell shell;
    shell.path = extra;
    EndCounter ends;
    int status = 0;
    {
        CMelvaneDlg dlg(CMelvaneDlg::Services{mci, prompts, mainApp, autoStart, tray, shell,
                                              path + "/melvane"});
        mainApp.mainWnd = platform::ToHwnd(&dlg);
        dlg.installEventFilter(&ends);
        dlg.Create();
        Run run(dlg, ends, shell);

        // Every kind of work once first, so that plugins, fonts and caches are
        // loaded before the first reading.
        const bool warm = run.TrackChanges(30) && run.Edits(4);
        run.MenuShowings(5);
        run.Ticks(100);
        if (!warm) {
            std::fprintf(stderr, "melvane-bench-endurance: warm-up failed (%s)\n",
                         prompts.last.c_str());
            return 1;
        }
        // Every reading is taken stopped, with no track open. The first round
        // brings the heap to where it stays (a MIDI synth's soundfont leaves
        // its memory with the allocator); growth is judged over the second,
        // between two readings taken in the same state.
        dlg.OnStop();
        const Usage before = Measure(false);
        std::printf("%-22s %8s   RSS %ld kB, %zu fds\n", "before", "", before.rssKb,
                    before.fds.size());
        const RoundResult first = Round(run, dlg, ends, counts);
        const Usage settled = Measure(false);
        std::printf("%-22s %8s   RSS %ld kB, %zu fds\n", "after the first round", "", settled.rssKb,
                    settled.fds.size());
        const RoundResult second = Round(run, dlg, ends, counts);
        const Usage after = Measure(false);
        std::printf("%-22s %8s   RSS %ld kB, %zu fds\n", "after the second round", "", after.rssKb,
                    after.fds.size());
        const Usage trimmed = Measure(true);
        std::printf("%-22s %8s   RSS %ld kB\n", "then after malloc_trim", "", trimmed.trimmedRssKb);

        std::printf("message boxes: %d%s%s\n", prompts.shown, prompts.shown ? ", last: " : "",
                    prompts.last.c_str());
        std::printf("live menus: %d\n", platform::LiveMenuCount());
        std::printf("rss_first_kb=%ld\nrss_before_kb=%ld\nrss_after_kb=%ld\n", before.rssKb,
                    settled.rssKb, after.rssKb);
        std::printf("fds_before=%zu\nfds_after=%zu\n", before.fds.size(),
                    std::max(settled.fds.size(), after.fds.size()));
        PrintFdChange(before, after);
        if (!first.ok || !second.ok) {
            std::printf("error=%s\n",
                        first.error.empty() ? second.error.c_str() : first.error.c_str());
            status = 1;
        }
    }
    return status;
}
