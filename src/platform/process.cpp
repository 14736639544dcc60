#include "platform/process.h"

#include <limits.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

std::string GetModuleFileName() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

void KeepTheHeapSmall() {
    // A MIDI synth takes megabytes for its soundfont, on whichever streaming
    // thread made it, and gives them back when it is let go of. Left to
    // itself, malloc raises its threshold for mapping large blocks after the
    // first is freed, and keeps what is freed in one heap per thread, so the
    // program grew by megabytes of free memory over many synths. Fixing the
    // threshold hands such blocks back at once; two heaps are plenty for a
    // player's few threads.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_ARENA_MAX, 2);
}

std::string GetCurrentDirectory() {
    std::string directory;
    if (char* cwd = ::getcwd(nullptr, 0)) {
        directory = cwd;
        std::free(cwd);
    }
    return directory;
}

bool SetCurrentDirectory(const std::string& directory) {
    return ::chdir(directory.c_str()) == 0;
}

}  // namespace platform
