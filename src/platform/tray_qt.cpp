#include "platform/tray_qt.h"

#include <QCoreApplication>

#include <cstring>

#include "platform/window_message.h"
#include "platform/wnd_qt.h"

namespace platform {

QtTray::QtTray() = default;
QtTray::~QtTray() = default;

bool QtTray::IsTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTray::Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& nid) {
    switch (dwMessage) {
        case NIM_ADD:
            if (m_icon) {
                return false;
            }
            m_icon = std::make_unique<QSystemTrayIcon>();
            connect(m_icon.get(), &QSystemTrayIcon::activated, this, &QtTray::OnActivated);
            break;
        case NIM_MODIFY:
            if (!m_icon) {
                return false;
            }
            break;
        case NIM_DELETE:
            if (!m_icon) {
                return false;
            }
            m_icon->hide();
            m_icon.reset();
            return true;
        default:
            return false;
    }
    if ((nid.uFlags & NIF_MESSAGE) != 0) {
        m_window = FromHwnd(nid.hWnd);
        m_uID = nid.uID;
        m_uCallbackMessage = nid.uCallbackMessage;
    }
    if ((nid.uFlags & NIF_ICON) != 0) {
        m_icon->setIcon(nid.hIcon);
    }
    if ((nid.uFlags & NIF_TIP) != 0) {
        m_icon->setToolTip(QString::fromUtf8(nid.szTip, static_cast<qsizetype>(
                                                            strnlen(nid.szTip, sizeof nid.szTip))));
    }
    m_icon->show();
    return IsTrayAvailable();
}

void QtTray::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    std::uint32_t mouseMessage = WM_MOUSEMOVE;
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            mouseMessage = WM_LBUTTONDBLCLK;
            break;
        case QSystemTrayIcon::Context:
            mouseMessage = WM_RBUTTONDOWN;
            break;
        case QSystemTrayIcon::Trigger:
            mouseMessage = WM_LBUTTONDOWN;
            break;
        case QSystemTrayIcon::MiddleClick:
            mouseMessage = WM_MBUTTONDOWN;
            break;
        case QSystemTrayIcon::Unknown:
            break;
    }
    if (m_window) {
        QCoreApplication::postEvent(
            m_window, new WindowMessageEvent(m_uCallbackMessage, m_uID,
                                             static_cast<std::intptr_t>(mouseMessage)));
    }
}

}  // namespace platform
