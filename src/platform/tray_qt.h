#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "platform/tray.h"

namespace platform {

// The tray icon on QSystemTrayIcon. Qt shows it through XEmbed or, when a
// StatusNotifierItem host is on the session bus, through that. Activations are
// posted to the record's window as its callback message with the mouse
// message the window expects:
// - XEmbed: left press, double-click and right press arrive as themselves.
// - StatusNotifierItem: there is no double-click; the host's primary
//   activation stands for it, and its context-menu request is the right press.
class QtTray : public QObject, public ITray {
    Q_OBJECT
public:
    QtTray();
    ~QtTray() override;

    bool Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& nid) override;
    bool IsTrayAvailable() const override;
    void SetTrayAppearedHandler(std::function<void()> handler) override;

    // For hosts that insist on drawing the menu: these entries, each posting
    // its command to the record's window.
    void SetHostMenuEntries(std::vector<HostMenuEntry> entries);

private Q_SLOTS:
    void OnTrayChanged();

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);
    void Post(std::uint32_t mouseMessage);
    void BuildHostMenu();

    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<QMenu> m_hostMenu;
    std::vector<HostMenuEntry> m_hostEntries;
    QPointer<QObject> m_window;
    std::uint32_t m_uID = 0;
    std::uint32_t m_uCallbackMessage = 0;
    bool m_bStatusNotifier = false;
    std::function<void()> m_trayAppeared;
    // Looks for a tray now and then while there is none.
    QTimer m_watch;
};

// True when a StatusNotifierItem host is registered on the session bus: then
// the toolkit shows tray icons through it.
bool StatusNotifierHostPresent();

}  // namespace platform
