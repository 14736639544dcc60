// How a window handle maps onto Qt: a window is a QObject, and a message posted
// to it is a QEvent. Qt drops events posted to an object that is destroyed, as
// a message to a destroyed window goes nowhere.
#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>

#include "wincompat/hwnd.h"

namespace platform {

inline HWND ToHwnd(QObject* window) {
    return reinterpret_cast<HWND>(window);
}
inline QObject* FromHwnd(HWND hwnd) {
    return reinterpret_cast<QObject*>(hwnd);
}

// MM_MCINOTIFY: wParam carries the MCI_NOTIFY_ flag, lParam the device id.
class MciNotifyEvent : public QEvent {
public:
    MciNotifyEvent(std::uint32_t wParam, std::uint32_t lParam)
        : QEvent(Type()), m_wParam(wParam), m_lParam(lParam) {}

    static QEvent::Type Type() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
    std::uint32_t WParam() const { return m_wParam; }
    std::uint32_t LParam() const { return m_lParam; }

private:
    std::uint32_t m_wParam;
    std::uint32_t m_lParam;
};

// Posted to the window whose notify-play failed at its audio output, once an
// output opens again (see IMci::SendString).
class MciOutputEvent : public QEvent {
public:
    MciOutputEvent() : QEvent(Type()) {}

    static QEvent::Type Type() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
};

// WM_COMMAND: a command id with its notification code (0 for a click or a
// menu choice), posted to the window that owns the control or menu.
class CommandEvent : public QEvent {
public:
    explicit CommandEvent(int id, int code = 0) : QEvent(Type()), m_id(id), m_code(code) {}

    static QEvent::Type Type() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
    int Id() const { return m_id; }
    int Code() const { return m_code; }

private:
    int m_id;
    int m_code;
};

}  // namespace platform
