#include "platform/process.h"

#include <limits.h>
#include <unistd.h>

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

bool SetCurrentDirectory(const std::string& directory) {
    return ::chdir(directory.c_str()) == 0;
}

}  // namespace platform
