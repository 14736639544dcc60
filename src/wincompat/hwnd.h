// A window handle: what the program hands around to address a window that can
// receive posted messages. Plain C++ so that code with no Qt (the playlist
// engine, the media interface) can carry one; wnd_qt.h turns it into the
// QObject it stands for.
#pragma once

namespace platform {

struct WndTag;
using HWND = WndTag*;

}  // namespace platform
