// Any bytes as the program's path (a path never holds NUL):
// - the Exec= value stays on one line, and our Desktop Entry parser reads the
//   very same path back from it;
// - the path is accepted for an entry exactly when it is UTF-8 without ASCII
//   control characters other than tab, line feed and carriage return (GLib's
//   UTF-8 check is the reference);
// - an accepted path makes an entry that our parser and GLib's key file and
//   shell parsers both read back as that path, whose value is UTF-8 with no
//   raw control character; a refused one writes no entry.
#include <glib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/autostart_xdg.h"
#include "support/desktop_entry_parser.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "exec quoting broken: %s; path bytes:", what);
    for (const char c : path) {
        std::fprintf(stderr, " %02x", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

bool HasRawControl(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            return true;
        }
    }
    return false;
}

bool Representable(const std::string& path) {
    if (!g_utf8_validate(path.data(), static_cast<gssize>(path.size()), nullptr)) {
        return false;
    }
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7f) {
            return false;
        }
    }
    return true;
}

// What a GLib-based session runs: the key file's string value, split as a
// shell would, then the doubled percent signs undone.
std::optional<std::string> GlibCommand(const std::string& file) {
    GKeyFile* keys = g_key_file_new();
    std::optional<std::string> result;
    if (g_key_file_load_from_file(keys, file.c_str(), G_KEY_FILE_NONE, nullptr)) {
        gchar* exec = g_key_file_get_string(keys, "Desktop Entry", "Exec", nullptr);
        gint argc = 0;
        gchar** argv = nullptr;
        if (exec != nullptr && g_shell_parse_argv(exec, &argc, &argv, nullptr) && argc == 1) {
            std::string plain;
            for (const char* p = argv[0]; *p != '\0'; ++p) {
                plain += *p;
                if (*p == '%' && p[1] == '%') {
                    ++p;
                }
            }
            result = plain;
        }
        g_strfreev(argv);
        g_free(exec);
    }
    g_key_file_free(keys);
    return result;
}

std::string g_directory;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char shm[] = "/dev/shm/melvane-fuzz-exec-XXXXXX";
    char tmp[] = "/tmp/melvane-fuzz-exec-XXXXXX";
    const char* dir = mkdtemp(shm);
    if (dir == nullptr) {
        dir = mkdtemp(tmp);
    }
    if (dir == nullptr) {
        std::perror("melvane-fuzz-exec-quoting: working folder");
        std::abort();
    }
    g_directory = std::string(dir) + "/autostart";
    std::atexit([] {
        ::unlink((g_directory + "/DefName.desktop").c_str());
        ::rmdir(g_directory.c_str());
        ::rmdir(g_directory.substr(0, g_directory.rfind('/')).c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    if (path.find('\0') != std::string::npos) {
        return 0;
    }
    const std::string value = platform::DesktopExecValue(path);
    if (value.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
        Fail("the Exec value spans more than one line", path);
    }
    const auto args = test::ParseExec(value);
    if (!args || args->size() != 1 || (*args)[0] != path) {
        Fail("our parser does not read the path back", path);
    }

    const bool representable = Representable(path);
    if (platform::IsDesktopExecPath(path) != representable) {
        Fail("the path check disagrees with GLib's UTF-8 check", path);
    }
    if (representable && HasRawControl(value)) {
        Fail("an accepted path left a raw control character in the value", path);
    }

    platform::XdgAutoStart autoStart(g_directory);
    const std::string entry = g_directory + "/DefName.desktop";
    if (!autoStart.OpenKey()) {
        Fail("the autostart folder cannot be opened", path);
    }
    ::unlink(entry.c_str());
    const bool written = autoStart.SetValue("DefName", path);
    autoStart.CloseKey();
    if (written != representable) {
        Fail(written ? "an unrepresentable path was written" : "a good path was refused", path);
    }
    if (!written) {
        if (::access(entry.c_str(), F_OK) == 0) {
            Fail("a refused path left an entry behind", path);
        }
        return 0;
    }
    const auto fileValue = test::ReadExecValue(entry);
    const auto fileArgs = fileValue ? test::ParseExec(*fileValue) : std::nullopt;
    if (!fileArgs || fileArgs->size() != 1 || (*fileArgs)[0] != path) {
        Fail("our parser does not read the path back from the entry", path);
    }
    if (GlibCommand(entry) != path) {
        Fail("GLib does not read the path back from the entry", path);
    }
    return 0;
}
