// The application object: fixes the working directory, builds the main window
// with the real services, runs the message loop until the window is destroyed.
#pragma once

#include <memory>

#include <QPointer>

#include "platform/app.h"

class CMelvaneDlg;

class CMelvaneApp : public platform::IApp {
public:
    // Before Qt starts: the playlist's first entry begins opening on a thread
    // of its own, so the music starts as soon as the window is ready for it.
    static void OpenFirstTrackAhead();

    // The start-up routine; returns when the program is ending.
    int InitInstance();

    platform::HWND GetMainWnd() const override { return m_pMainWnd; }

private:
    platform::HWND m_pMainWnd = nullptr;
};
