// Any bytes as the playlist file: the loader must hold what a plain reading
// of the lines gives (at most 100 entries, none longer than a path, none
// holding a line feed), report no error for a file it could read, and a save
// must write those entries followed by every line it did not hold, byte for
// byte and in order; a fresh load gives back the same entries, an edit keeps
// the same lines, and nothing is left beside the playlist.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

// The playlist as a plain reading of its lines sees it.
struct Expected {
    std::vector<std::string> entries;
    std::string kept;
};

Expected ReadPlainly(const std::string& bytes) {
    Expected expected;
    std::size_t pos = 0;
    while (pos < bytes.size() &&
           expected.entries.size() < static_cast<std::size_t>(CMusicList::kMaxMusic)) {
        const std::size_t lf = bytes.find('\n', pos);
        const std::size_t textEnd = lf == std::string::npos ? bytes.size() : lf;
        const std::size_t next = lf == std::string::npos ? bytes.size() : lf + 1;
        std::string text = bytes.substr(pos, textEnd - pos);
        if (lf != std::string::npos && !text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        if (text.size() > CMusicList::kMaxEntryLength) {
            expected.kept += bytes.substr(pos, next - pos);
        } else {
            expected.entries.push_back(text);
        }
        pos = next;
    }
    expected.kept += bytes.substr(pos);
    return expected;
}

std::string Written(const std::vector<std::string>& entries, std::size_t count,
                    const std::string& kept) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += entries[i] + "\r\n";
    }
    return bytes + kept;
}

std::string ReadBack() {
    std::ifstream in("Music.mus", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CheckOneFile(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out("Music.mus", std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
        if (!out) {
            Fail("cannot write the input");
        }
    }
    const Expected expected = ReadPlainly(input);
    SilentMci mci;
    CountingPrompts prompts;
    NoWindowApp app;
    if (ReadFirstMusic(".") != (expected.entries.empty() ? std::string() : expected.entries[0])) {
        Fail("the first entry read ahead is not the store's first entry");
    }
    {
        CMusicList list(mci, prompts, app);
        if (Entries(list) != expected.entries) {
            Fail("the entries are not the lines a plain reading gives");
        }
        if (!prompts.texts.empty()) {
            Fail("a readable file was reported as an error");
        }
        if (!list.Save() || !prompts.texts.empty()) {
            Fail("saving into a writable folder failed");
        }
        if (ReadBack() != Written(expected.entries, expected.entries.size(), expected.kept)) {
            Fail("the save did not write the entries followed by the kept lines");
        }
    }
    const std::vector<std::string> names = DirectoryNames();
    if (names.size() != 1 || names[0] != "Music.mus") {
        Fail("saving left other files beside Music.mus");
    }
    CMusicList reloaded(mci, prompts, app);
    if (Entries(reloaded) != expected.entries) {
        Fail("save then load changed the entries");
    }
    // An edit: the kept lines now come from the file the store wrote itself.
    if (!expected.entries.empty()) {
        const std::size_t count = expected.entries.size() - 1;
        reloaded.SetCount(static_cast<int>(count));
        if (!reloaded.Save() || ReadBack() != Written(expected.entries, count, expected.kept)) {
            Fail("an edit lost or changed the kept lines");
        }
    }
}

}  // namespace
