// Menu resource 150 and the items the tray menu is built from. Both the
// owner-drawn menu and the plain menu given to tray hosts that draw their own
// come from these, so the two cannot differ.
#pragma once

#include <iterator>

#include "res/resource.h"

// Menu resource IDR_TRAYMENU: a menu bar whose one popup holds a placeholder
// item, taken out once the real items are in.
inline constexpr char kTrayMenuPopupText[] = "music";
inline constexpr char kTrayMenuPlaceholderText[] = "ggg";  // ID_MENU_PLACEHOLDER

struct TrayMenuStep {
    int id;
    int icon;          // 0 for a separator
    const char* text;  // null for a separator
    unsigned position;
};

// The records go in from the bottom item up, each before everything so far;
// the separators then go to positions 1 and 8. The result, top to bottom:
// Option, separator, First, Last, Play, Stop, Next, Final, separator, Exit.
inline constexpr TrayMenuStep kTrayMenuSteps[] = {
    {ID_TRAY_EXIT, IDI_MENU_EXIT, " Exit", 0},
    {ID_TRAY_FINAL, IDI_MENU_FINAL, " Final", 0},
    {ID_TRAY_NEXT, IDI_MENU_NEXT, " Next", 0},
    {ID_TRAY_STOP, IDI_MENU_STOP, " Stop", 0},
    {ID_TRAY_PLAY, IDI_MENU_PLAY, " Play", 0},
    {ID_TRAY_LAST, IDI_MENU_LAST, " Last", 0},
    {ID_TRAY_FIRST, IDI_MENU_FIRST, " First", 0},
    {ID_TRAY_OPTION, IDI_MENU_OPTION, "Option", 0},
    {ID_TRAY_SEP1, 0, nullptr, 1},
    {ID_TRAY_SEP2, 0, nullptr, 8},
};
inline constexpr int kTrayMenuItemCount = static_cast<int>(std::size(kTrayMenuSteps));
