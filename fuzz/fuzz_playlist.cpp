// Any bytes as the playlist file: the loader must keep at most 100 entries,
// none holding a line feed, report no error for a file it could read, and a
// save followed by a fresh load must give back the very same entries, with
// nothing left beside the playlist.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/mci.h"
#include "platform/prompts.h"
#include "playlist/musiclist.h"

namespace {

class SilentMci : public platform::IMci {
public:
    platform::MCIERROR OpenType(std::uint32_t) override { return 0; }
    platform::MCIERROR OpenElement(const std::string&, const std::string&) override { return 0; }
    platform::MCIERROR SendString(const std::string&, platform::HWND) override { return 0; }
    bool GetTrackInfo(const std::string&, platform::MciTrackInfo*) override { return false; }
};

class CountingPrompts : public platform::IPrompts {
public:
    void AppMessageBox(const std::string& text) override { texts.push_back(text); }
    void WindowMessageBox(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

class NoWindowApp : public platform::IApp {
public:
    platform::HWND GetMainWnd() const override { return nullptr; }
};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "playlist invariant broken: %s\n", what);
    std::abort();
}

std::vector<std::string> Entries(const CMusicList& list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list.GetCount(); ++i) {
        entries.push_back(list.GetMusic(i));
    }
    return entries;
}

std::vector<std::string> DirectoryNames() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(".")) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

std::string g_workDir;
std::string g_startDir;

// The playlist lives in the working directory; the fuzzer's own files (corpus,
// crash inputs) are named relative to where it was started.
class InWorkDir {
public:
    InWorkDir() {
        if (chdir(g_workDir.c_str()) != 0) {
            Fail("cannot enter the working folder");
        }
    }
    ~InWorkDir() {
        if (chdir(g_startDir.c_str()) != 0) {
            std::abort();
        }
    }
    InWorkDir(const InWorkDir&) = delete;
    InWorkDir& operator=(const InWorkDir&) = delete;
};

void CheckOneFile(const std::uint8_t* data, std::size_t size);

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A folder in memory when there is one: every input is saved with fsync.
    char shm[] = "/dev/shm/melvane-fuzz-playlist-XXXXXX";
    char tmp[] = "/tmp/melvane-fuzz-playlist-XXXXXX";
    const char* dir = mkdtemp(shm);
    if (dir == nullptr) {
        dir = mkdtemp(tmp);
    }
    char* start = getcwd(nullptr, 0);
    if (dir == nullptr || start == nullptr) {
        std::perror("melvane-fuzz-playlist: working folder");
        std::abort();
    }
    g_workDir = dir;
    g_startDir = start;
    std::free(start);
    std::atexit([] {
        ::unlink((g_workDir + "/Music.mus").c_str());
        ::rmdir(g_workDir.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InWorkDir inside;
    CheckOneFile(data, size);
    return 0;
}

namespace {

void CheckOneFile(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out("Music.mus", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            Fail("cannot write the input");
        }
    }
    SilentMci mci;
    CountingPrompts prompts;
    NoWindowApp app;
    std::vector<std::string> loaded;
    {
        CMusicList list(mci, prompts, app);
        if (list.GetCount() < 0 || list.GetCount() > CMusicList::kMaxMusic) {
            Fail("count out of 0..100");
        }
        loaded = Entries(list);
        std::size_t bytes = 0;
        for (const std::string& entry : loaded) {
            if (entry.find('\n') != std::string::npos) {
                Fail("an entry holds a line feed");
            }
            bytes += entry.size();
        }
        if (bytes > size) {
            Fail("the entries hold more bytes than the file");
        }
        if (!prompts.texts.empty()) {
            Fail("a readable file was reported as an error");
        }
        if (!list.Save() || !prompts.texts.empty()) {
            Fail("saving into a writable folder failed");
        }
    }
    const std::vector<std::string> names = DirectoryNames();
    if (names.size() != 1 || names[0] != "Music.mus") {
        Fail("saving left other files beside Music.mus");
    }
    CMusicList reloaded(mci, prompts, app);
    if (Entries(reloaded) != loaded) {
        Fail("save then load changed the entries");
    }
}

}  // namespace
