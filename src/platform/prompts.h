// Modal message boxes with one OK button, captioned with the application title.
#pragma once

#include <string>

namespace platform {

class IPrompts {
public:
    virtual ~IPrompts() = default;

    // The application's box: warning icon, no owner. Returns when dismissed.
    // `text` is UTF-8 or raw path bytes; undecodable bytes are shown replaced.
    virtual void AppMessageBox(const std::string& text) = 0;

    // The main window's box: no icon, owned by the main window.
    virtual void WindowMessageBox(const std::string& text) = 0;
};

}  // namespace platform
