// A fresh temporary folder made the working directory for one test, as the
// program runs in the folder of its executable; the old one comes back after.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

class TempWorkDir {
public:
    TempWorkDir() {
        char* cwd = ::getcwd(nullptr, 0);
        m_old = cwd != nullptr ? cwd : "/";
        std::free(cwd);
        m_path = m_dir.Path();
        m_entered = m_dir.isValid() && ::chdir(m_path.c_str()) == 0;
    }
    ~TempWorkDir() {
        if (m_entered && ::chdir(m_old.c_str()) != 0) {
            std::abort();
        }
    }
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    bool Entered() const { return m_entered; }
    const std::string& Path() const { return m_path; }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_path + "/" + name, std::ios::binary) << bytes;
    }
    std::set<std::string> Names() const { return m_dir.Names(); }
    std::string Read(const std::string& name) const { return ReadBytes(m_path + "/" + name); }

private:
    TempDir m_dir;
    std::string m_old;
    std::string m_path;
    bool m_entered = false;
};
