// A window message posted to a window: the tray's callback message reaches
// the main window this way, on the GUI thread.
#pragma once

#include <QEvent>

#include <cstdint>

namespace platform {

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(Type()), m_message(message), m_wParam(wParam), m_lParam(lParam) {}

    static QEvent::Type Type() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
    std::uint32_t Message() const { return m_message; }
    std::uintptr_t WParam() const { return m_wParam; }
    std::intptr_t LParam() const { return m_lParam; }

private:
    std::uint32_t m_message;
    std::uintptr_t m_wParam;
    std::intptr_t m_lParam;
};

}  // namespace platform
