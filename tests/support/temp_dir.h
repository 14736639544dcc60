// A fresh folder under $TMPDIR (or /tmp) for one test, removed with all it
// holds afterwards. Plain POSIX, so the engine's tests need no Qt.
#pragma once

#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

// The bytes of the file at `path`; empty if it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempDir {
public:
    TempDir() {
        const char* tmp = ::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/melvane-test-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) != nullptr) {
            m_path = name.data();
        }
    }
    ~TempDir() {
        if (!m_path.empty()) {
            ::nftw(m_path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool isValid() const { return !m_path.empty(); }
    // The folder's absolute path, with no slash at the end; empty if none
    // could be made.
    const std::string& Path() const { return m_path; }

    // The names in `folder` (by default this one), without "." and "..".
    std::set<std::string> Names(const std::string& folder = std::string()) const {
        std::set<std::string> names;
        if (DIR* dir = ::opendir((folder.empty() ? m_path : folder).c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    names.insert(name);
                }
            }
            ::closedir(dir);
        }
        return names;
    }

private:
    static int RemoveOne(const char* path, const struct stat*, int kind, struct FTW*) {
        if (kind == FTW_DP) {
            ::chmod(path, 0700);  // a test may have left it read-only
        }
        ::remove(path);
        return 0;
    }

    std::string m_path;
};
