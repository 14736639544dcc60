#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

#include "platform/tray.h"

namespace platform {

// The tray icon on QSystemTrayIcon (XEmbed or StatusNotifierItem, as Qt
// finds). Activations are posted to the record's window as its callback
// message with the matching mouse message.
class QtTray : public QObject, public ITray {
    Q_OBJECT
public:
    QtTray();
    ~QtTray() override;

    bool Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& nid) override;
    bool IsTrayAvailable() const override;

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QSystemTrayIcon> m_icon;
    QPointer<QObject> m_window;
    std::uint32_t m_uID = 0;
    std::uint32_t m_uCallbackMessage = 0;
};

}  // namespace platform
