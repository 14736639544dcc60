// The notification-area icon: one record, added once, modified, deleted once.
// Mouse events on the icon come back to the record's window as its callback
// message carrying the mouse message.
#pragma once

#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>

#include "wincompat/hwnd.h"

namespace platform {

constexpr std::uint32_t NIM_ADD = 0;
constexpr std::uint32_t NIM_MODIFY = 1;
constexpr std::uint32_t NIM_DELETE = 2;

constexpr std::uint32_t NIF_MESSAGE = 1;
constexpr std::uint32_t NIF_ICON = 2;
constexpr std::uint32_t NIF_TIP = 4;

constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;

struct NOTIFYICONDATA {
    std::uint32_t cbSize = 88;
    HWND hWnd = nullptr;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    char szTip[64] = {};
};

// One entry of the plain menu given to tray hosts that draw menus themselves;
// an id of 0 is a separator.
struct HostMenuEntry {
    int id;
    QString text;
};

class ITray {
public:
    virtual ~ITray() = default;

    // NIM_ADD, NIM_MODIFY or NIM_DELETE with the record. True when the icon
    // service took it; false when there is no tray or no such icon. After
    // NIM_ADD the icon stays wanted: when a tray appears later or restarts, the
    // icon is shown there without another call.
    virtual bool Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& nid) = 0;

    // Whether a tray host is there to show the icon right now.
    virtual bool IsTrayAvailable() const = 0;

    // `handler` is called on the GUI thread each time a tray host appears
    // while the icon is wanted: one starting after NIM_ADD found none, or
    // one starting again. An empty handler stops the calls.
    virtual void SetTrayAppearedHandler(std::function<void()> handler) = 0;
};

}  // namespace platform
