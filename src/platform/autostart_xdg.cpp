#include "platform/autostart_xdg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/atomic_file.h"

namespace platform {
namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(const std::string& directory) {
    if (!IsDirectory(directory)) {
        MakeFoldersFor(directory + "/");
    }
    return IsDirectory(directory);
}

// Reads a regular file of at most `limit` bytes into `bytes`. Opened without
// blocking, so that a FIFO in the entry's place cannot stall the start.
bool ReadSmallFile(const std::string& path, std::size_t limit, std::string* bytes) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > limit) {
        return false;
    }
    // One byte more than the limit, to see a file that grew meanwhile.
    std::string held(limit + 1, '\0');
    std::size_t got = 0;
    while (got < held.size()) {
        const ssize_t n = ::read(fd.Get(), held.data() + got, held.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got > limit) {
        return false;
    }
    held.resize(got);
    *bytes = std::move(held);
    return true;
}

// The largest entry read to see what the user made of it.
constexpr std::size_t kLargestEntry = 64 * 1024;

// Whether an entry's `text` says the user switched it off in the desktop's
// settings: "Hidden=true" or "X-GNOME-Autostart-enabled=false" in its
// [Desktop Entry] group.
bool IsDisabledEntry(const std::string& text) {
    const auto trim = [](std::string s) {
        const std::size_t first = s.find_first_not_of(" \t\r");
        const std::size_t last = s.find_last_not_of(" \t\r");
        return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
    };
    bool inMainGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inMainGroup || equals == std::string::npos) {
            continue;
        }
        const std::string key = trim(line.substr(0, equals));
        const std::string value = trim(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string AutoStartDirectory() {
    // Relative values are to be ignored, as if unset.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/autostart";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/autostart";
}

std::string DesktopExecValue(const std::string& path) {
    // A quoted argument: backslash before ", `, $ and \.
    std::string argument = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            argument += '\\';
        }
        argument += c;
    }
    argument += '"';
    // Field codes start with %, so a literal one is doubled; then the whole
    // line is a string value with its own escapes.
    std::string value;
    for (const char c : argument) {
        switch (c) {
            case '%':
                value += "%%";
                break;
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

bool IsDesktopExecPath(const std::string& path) {
    std::size_t i = 0;
    while (i < path.size()) {
        const auto lead = static_cast<unsigned char>(path[i]);
        if (lead < 0x80) {
            if ((lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r') || lead == 0x7f) {
                return false;
            }
            ++i;
            continue;
        }
        // The sequence's length and the range its second byte must lie in,
        // which rules out overlong forms, surrogates and code points past
        // U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xbf;
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        } else {
            return false;
        }
        if (path.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(path[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf)) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

XdgAutoStart::XdgAutoStart() : m_directory(AutoStartDirectory()) {
}

XdgAutoStart::XdgAutoStart(std::string directory) : m_directory(std::move(directory)) {
}

bool XdgAutoStart::OpenKey() {
    m_bOpen = MakeDirectories(m_directory) && ::access(m_directory.c_str(), W_OK | X_OK) == 0;
    return m_bOpen;
}

std::string XdgAutoStart::EntryPath(const std::string& name) const {
    return m_directory + "/" + name + ".desktop";
}

bool XdgAutoStart::SetValue(const std::string& name, const std::string& path) {
    // An entry the session cannot read would start nothing at login while
    // the program believed it was registered: such a path is a failure here.
    if (!m_bOpen || !IsDesktopExecPath(path)) {
        return false;
    }
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=melvane\n"
        "Comment=Tray music player\n"
        "Exec=" +
        DesktopExecValue(path) +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    // The program registers itself at every start; an entry that already
    // says the same is left alone rather than written again, and one the user
    // switched off stays as the user left it, every key of it.
    const std::string entryPath = EntryPath(name);
    std::string held;
    const bool read = ReadSmallFile(entryPath, kLargestEntry, &held);
    return (read && (IsDisabledEntry(held) || held == entry)) || ReplaceFileWith(entryPath, entry);
}

bool XdgAutoStart::DeleteValue(const std::string& name) {
    if (!m_bOpen) {
        return false;
    }
    // An entry the user switched off already keeps the program from starting
    // at login; removing it would lose that choice, as the next start would
    // write a fresh, enabled one. It stays, and the removal counts as done.
    const std::string entryPath = EntryPath(name);
    std::string held;
    if (ReadSmallFile(entryPath, kLargestEntry, &held) && IsDisabledEntry(held)) {
        return true;
    }
    return ::unlink(entryPath.c_str()) == 0;
}

void XdgAutoStart::CloseKey() {
    m_bOpen = false;
}

}  // namespace platform
