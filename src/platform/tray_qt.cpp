#include "platform/tray_qt.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "wincompat/popupmenu.h"
#include "wincompat/window_message.h"
#include "wincompat/wnd_qt.h"

namespace platform {
namespace {

constexpr int kTrayWatchMs = 2000;

// Desktops whose tray shows only menus it draws itself: XFCE's panel answers
// a right click on an item without a menu with its own plugin menu.
bool HostDrawsMenus() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop == nullptr) {
        return false;
    }
    const QString name = QString::fromUtf8(desktop);
    for (const char* host : {"GNOME", "Unity", "XFCE"}) {
        if (name.contains(QLatin1String(host), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool StatusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return false;
    }
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.interface()->isServiceRegistered(watcher)) {
        return false;
    }
    QDBusInterface iface(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return iface.property("IsStatusNotifierHostRegistered").toBool();
}

QtTray::QtTray() {
    m_watch.setInterval(kTrayWatchMs);
    connect(&m_watch, &QTimer::timeout, this, [this] {
        if (IsTrayAvailable()) {
            OnTrayChanged();
        }
    });
    // The X11 tray announces itself when it starts or restarts. The native
    // interface is a QObject whose class is not public; reach its signal by name.
    if (auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface())) {
        if (native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0) {
            connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SLOT(OnTrayChanged()));
        }
    }
}

QtTray::~QtTray() = default;

bool QtTray::IsTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTray::SetTrayAppearedHandler(std::function<void()> handler) {
    m_trayAppeared = std::move(handler);
}

void QtTray::SetHostMenuEntries(std::vector<HostMenuEntry> entries) {
    m_hostEntries = std::move(entries);
}

void QtTray::BuildHostMenu() {
    m_hostMenu = std::make_unique<QMenu>();
    m_hostMenu->setObjectName(QStringLiteral("hostTrayMenu"));
    for (const HostMenuEntry& entry : m_hostEntries) {
        if (entry.id == 0) {
            m_hostMenu->addSeparator();
            continue;
        }
        const int id = entry.id;
        connect(m_hostMenu->addAction(entry.text.trimmed()), &QAction::triggered, this, [this, id] {
            if (m_window) {
                QCoreApplication::postEvent(m_window, new CommandEvent(id, 0));
            }
        });
    }
    m_icon->setContextMenu(m_hostMenu.get());
}

bool QtTray::Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& nid) {
    switch (dwMessage) {
        case NIM_ADD:
            if (m_icon) {
                return false;
            }
            m_icon = std::make_unique<QSystemTrayIcon>();
            connect(m_icon.get(), &QSystemTrayIcon::activated, this, &QtTray::OnActivated);
            m_bStatusNotifier = StatusNotifierHostPresent();
            // XEmbed shows a set menu on every right press besides telling
            // us, so only a host that draws menus itself gets one, or any
            // host where our own popup cannot open at the icon.
            if (m_bStatusNotifier && (HostDrawsMenus() || !CanPlacePopups()) &&
                !m_hostEntries.empty()) {
                BuildHostMenu();
            }
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
            m_watch.stop();
            m_icon->hide();
            m_icon.reset();
            m_hostMenu.reset();
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
        m_icon->setToolTip(QString::fromUtf8(
            nid.szTip, static_cast<qsizetype>(strnlen(nid.szTip, sizeof nid.szTip))));
    }
    if (dwMessage == NIM_ADD) {
        m_icon->show();
        if (!IsTrayAvailable()) {
            m_watch.start();
            return false;
        }
    }
    return IsTrayAvailable();
}

void QtTray::OnTrayChanged() {
    // Shown again, the icon docks into the tray that is there now.
    if (m_icon && IsTrayAvailable()) {
        m_watch.stop();
        m_icon->hide();
        m_icon->show();
        if (m_trayAppeared) {
            m_trayAppeared();
        }
    }
}

void QtTray::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            Post(WM_LBUTTONDBLCLK);
            break;
        case QSystemTrayIcon::Context:
            // Where our popup cannot be placed, the host shows the plain menu.
            if (!m_hostMenu || CanPlacePopups()) {
                Post(WM_RBUTTONDOWN);
            }
            break;
        case QSystemTrayIcon::Trigger:
            Post(m_bStatusNotifier ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
            break;
        case QSystemTrayIcon::MiddleClick:
            Post(WM_MBUTTONDOWN);
            break;
        case QSystemTrayIcon::Unknown:
            break;
    }
}

void QtTray::Post(std::uint32_t mouseMessage) {
    if (m_window) {
        QCoreApplication::postEvent(
            m_window, new WindowMessageEvent(m_uCallbackMessage, m_uID,
                                             static_cast<std::intptr_t>(mouseMessage)));
    }
}

}  // namespace platform
