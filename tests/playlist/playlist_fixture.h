// Runs each test in a fresh working directory, as the program runs in the
// folder of its executable.
#pragma once

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "fakes/fake_app.h"
#include "fakes/fake_mci.h"
#include "fakes/fake_prompts.h"
#include "playlist/musiclist.h"

class PlaylistTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        char* cwd = ::getcwd(nullptr, 0);
        m_oldCwd = cwd;
        std::free(cwd);
        m_path = m_dir.path().toStdString();
        ASSERT_EQ(::chdir(m_path.c_str()), 0);
        m_app.mainWnd = reinterpret_cast<platform::HWND>(&m_app);
    }
    void TearDown() override { ASSERT_EQ(::chdir(m_oldCwd.c_str()), 0); }

    std::unique_ptr<CMusicList> MakeList() {
        return std::make_unique<CMusicList>(m_mci, m_prompts, m_app);
    }
    std::string FilePath() const { return m_path + "/Music.mus"; }
    void WriteFile(const std::string& bytes) const {
        std::ofstream(FilePath(), std::ios::binary) << bytes;
    }
    std::string ReadFile() const {
        std::ifstream in(FilePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    QTemporaryDir m_dir;
    std::string m_path;
    std::string m_oldCwd;
    FakeMci m_mci;
    FakePrompts m_prompts;
    FakeApp m_app;
};
