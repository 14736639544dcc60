// Runs each test in a fresh working directory, as the program runs in the
// folder of its executable.
#pragma once

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_app.h"
#include "fakes/fake_mci.h"
#include "fakes/fake_prompts.h"
#include "playlist/musiclist.h"
#include "support/temp_workdir.h"

class PlaylistTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.Entered());
        m_app.mainWnd = reinterpret_cast<platform::HWND>(&m_app);
    }

    std::unique_ptr<CMusicList> MakeList() {
        return std::make_unique<CMusicList>(m_mci, m_prompts, m_app);
    }
    std::string FilePath() const { return m_path + "/Music.mus"; }
    void WriteFile(const std::string& bytes) const { m_dir.Write("Music.mus", bytes); }
    std::string ReadFile() const { return m_dir.Read("Music.mus"); }
    // The lines "/m/0.mid" .. "/m/<n-1>.mid", each ended by CR LF.
    static std::string Lines(int n) {
        std::string bytes;
        for (int i = 0; i < n; ++i) {
            bytes += "/m/" + std::to_string(i) + ".mid\r\n";
        }
        return bytes;
    }
    // The counted entries, in order.
    static std::vector<std::string> Entries(const CMusicList& list) {
        std::vector<std::string> entries;
        for (int i = 0; i < list.GetCount(); ++i) {
            entries.push_back(list.GetMusic(i));
        }
        return entries;
    }

    TempWorkDir m_dir;
    const std::string& m_path = m_dir.Path();
    FakeMci m_mci;
    FakePrompts m_prompts;
    FakeApp m_app;
};
