#include "app/melvaneapp.h"

#include <QApplication>
#include <QDBusConnection>

#include <string>

#include "platform/autostart_xdg.h"
#include "platform/mci_gst.h"
#include "platform/mpris_qt.h"
#include "platform/process.h"
#include "platform/prompts_qt.h"
#include "platform/shell_qt.h"
#include "platform/tray_qt.h"
#include "platform/wnd_qt.h"
#include "playlist/musiclist.h"
#include "ui/melvanedlg.h"
#include "ui/melvanempris.h"
#include "ui/startwindow.h"

namespace {

std::string DirectoryOf(const std::string& strPath) {
    return strPath.substr(0, strPath.rfind('/') + 1);
}

}  // namespace

void CMelvaneApp::OpenFirstTrackAhead() {
    const std::string strDirectory = DirectoryOf(platform::GetModuleFileName());
    if (strDirectory.empty()) {
        return;
    }
    const std::string strFirst = ReadFirstMusic(strDirectory);
    if (strFirst.empty()) {
        return;
    }
    // Relative names in the playlist are taken from the program's folder.
    platform::GstMci::OpenAhead(strFirst.front() == '/' ? strFirst : strDirectory + strFirst);
}

int CMelvaneApp::InitInstance() {
    // The playlist lives beside the executable, wherever the program was
    // started from.
    const std::string strPath = platform::GetModuleFileName();
    const std::string strDirectory = DirectoryOf(strPath);
    platform::SetCurrentDirectory(strDirectory);

    platform::GstMci mci;
    platform::QtPrompts prompts;
    platform::XdgAutoStart autoStart;
    platform::QtTray tray;
    tray.SetHostMenuEntries(CMelvaneDlg::TrayMenuEntries());
    platform::QtShell shell;
    {
        CMelvaneDlg dlg(
            CMelvaneDlg::Services{mci, prompts, *this, autoStart, tray, shell, strPath});
        m_pMainWnd = platform::ToHwnd(&dlg);
        prompts.SetMainWindow(&dlg);
        QObject::connect(&dlg, &CMelvaneDlg::WindowDestroyed, [this] {
            m_pMainWnd = nullptr;
            QCoreApplication::quit();
        });

        dlg.Create();
        // Hidden in the tray; without a tray to live in, the window is the
        // only way to reach the player, so it shows when none comes soon.
        CStartWindow startWindow(dlg, tray);
        startWindow.Start();
        // The desktop's media controls, when there is a session bus to meet
        // them on; without one the player goes on as it is.
        CMelvaneMpris mprisPlayer(dlg);
        platform::MprisService mpris(mprisPlayer, QDBusConnection::sessionBus());
        mprisPlayer.Follow(mpris);
        mpris.Register();
        if (!dlg.IsDestroyed()) {
            QApplication::exec();
        }
        m_pMainWnd = nullptr;
    }
    return 1;
}
