// What the playlist engine needs of the application object.
#pragma once

#include "wincompat/hwnd.h"

namespace platform {

class IApp {
public:
    virtual ~IApp() = default;

    // The window registered as the application's main window, or null before
    // registration. Media notifications are addressed to it.
    virtual HWND GetMainWnd() const = 0;
};

}  // namespace platform
