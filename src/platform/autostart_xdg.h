#pragma once

#include <string>

#include "platform/autostart.h"

namespace platform {

// Start-at-login entries as XDG autostart desktop files: the value "DefName"
// is the file "DefName.desktop" in $XDG_CONFIG_HOME/autostart (by default
// ~/.config/autostart). An entry the user switched off in the desktop's
// settings (Hidden=true, X-GNOME-Autostart-enabled=false) is the user's: set
// and delete both leave it as it is and succeed.
class XdgAutoStart : public IAutoStart {
public:
    XdgAutoStart();
    // For tests: entries live in `directory`.
    explicit XdgAutoStart(std::string directory);

    bool OpenKey() override;
    bool SetValue(const std::string& name, const std::string& path) override;
    bool DeleteValue(const std::string& name) override;
    void CloseKey() override;

private:
    std::string EntryPath(const std::string& name) const;

    std::string m_directory;
    bool m_bOpen = false;
};

// The autostart folder the environment names.
std::string AutoStartDirectory();

// The Exec= value that runs exactly the program at `path` with no arguments:
// quoted and escaped as a Desktop Entry command line, then escaped as a
// string value.
std::string DesktopExecValue(const std::string& path);

// Whether `path` can stand in an entry at all: valid UTF-8 without control
// characters other than tab, line feed and carriage return, which have
// escapes. Desktop sessions refuse an Exec value that is not UTF-8, and the
// format has no escape for the other control characters.
bool IsDesktopExecPath(const std::string& path);

}  // namespace platform
