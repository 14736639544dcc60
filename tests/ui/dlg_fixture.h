// Builds the main window over fakes, in a fresh working directory with the
// playlist file a test asks for.
#pragma once

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "fakes/fake_app.h"
#include "fakes/fake_mci.h"
#include "fakes/fake_prompts.h"
#include "fakes/fake_services.h"
#include "res/resource.h"
#include "support/temp_workdir.h"
#include "ui/melvanedlg.h"
#include "ui/skin.h"
#include "wincompat/wnd_qt.h"

using Calls = std::vector<std::string>;

// The playlist entry "/m/<index>.mid".
inline std::string Tune(int index) {
    return "/m/" + std::to_string(index) + ".mid";
}
// What the window sends to stop the track and play `path` instead.
inline Calls Reopen(const std::string& path) {
    return {"stop themidi", "close themidi", "open " + path + " alias themidi",
            "play themidi notify"};
}

class DlgTest : public ::testing::Test {
protected:
    DlgTest() : m_autoStart(m_journal), m_tray(m_journal) { m_mci.journal = &m_journal; }

    void SetUp() override { ASSERT_TRUE(m_dir.Entered()); }
    void TearDown() override { m_dlg.reset(); }

    // Writes Music.mus with one line per entry (CR LF ends).
    void WritePlaylist(const std::vector<std::string>& entries) {
        std::ofstream out(m_path + "/Music.mus", std::ios::binary);
        for (const std::string& entry : entries) {
            out << entry << "\r\n";
        }
    }
    // Entries Tune(first) .. Tune(first + n - 1).
    static std::vector<std::string> Tunes(int n, int first = 0) {
        std::vector<std::string> entries;
        for (int i = first; i < first + n; ++i) {
            entries.push_back(Tune(i));
        }
        return entries;
    }
    // A playlist two entries short of full, for the 100-entry cap.
    void WriteNearlyFullPlaylist() { WritePlaylist(Tunes(98, 100)); }
    std::string ReadPlaylist() const { return m_dir.Read("Music.mus"); }

    // Constructs and creates the window as start-up does, with `prompts` in
    // place of m_prompts if given; the journal then holds only what creation
    // did.
    CMelvaneDlg& Start(FakePrompts* prompts = nullptr, const std::string& folder = std::string(),
                       const std::vector<std::string>& files = {}) {
        m_dlg = std::make_unique<CMelvaneDlg>(
            CMelvaneDlg::Services{m_mci, prompts != nullptr ? *prompts : m_prompts, m_app,
                                  m_autoStart, m_tray, m_shell, m_exePath, folder, files});
        m_app.mainWnd = platform::ToHwnd(m_dlg.get());
        m_journal.clear();
        m_dlg->Create();
        return *m_dlg;
    }
    // Forgets what happened so far.
    void Clear() {
        m_journal.clear();
        m_mci.calls.clear();
        m_prompts.app.clear();
        m_prompts.window.clear();
        m_tray.records.clear();
    }
    std::vector<std::string> MciCalls() const { return m_mci.calls; }
    // The list's entries, top to bottom.
    std::vector<std::string> ListItems() const {
        std::vector<std::string> items;
        for (int i = 0; i < m_dlg->m_listMusic.GetCount(); ++i) {
            items.push_back(m_dlg->m_listMusic.GetText(i));
        }
        return items;
    }

    TempWorkDir m_dir;
    const std::string& m_path = m_dir.Path();
    // Where the window believes its executable is.
    std::string m_exePath = "/opt/melvane/melvane";
    Journal m_journal;
    FakeMci m_mci;
    FakePrompts m_prompts;
    FakeApp m_app;
    FakeAutoStart m_autoStart;
    FakeTray m_tray;
    FakeShell m_shell;
    std::unique_ptr<CMelvaneDlg> m_dlg;
};
