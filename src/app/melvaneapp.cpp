#include "app/melvaneapp.h"

#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "media/mci_gst.h"
#include "platform/autostart_xdg.h"
#include "platform/instance.h"
#include "platform/mpris_qt.h"
#include "platform/process.h"
#include "platform/prompts_qt.h"
#include "platform/shell_qt.h"
#include "platform/tray_qt.h"
#include "playlist/musiclist.h"
#include "playlist/playlistplace.h"
#include "ui/melvanedlg.h"
#include "ui/melvanempris.h"
#include "ui/startwindow.h"
#include "wincompat/wnd_qt.h"

namespace {

std::string DirectoryOf(const std::string& strPath) {
    return strPath.substr(0, strPath.rfind('/') + 1);
}

// Requests of later starts, handed to the window once it exists and no modal
// box is waiting for the user: a handler is never entered again from inside
// one of its own boxes.
class OpenRequests {
public:
    OpenRequests() {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Deliver(); });
    }
    void Add(const std::vector<std::string>& files) {
        m_pending.push_back(files);
        m_timer.start(0);
    }
    void SetWindow(CMelvaneDlg* pDlg) {
        m_pDlg = pDlg;
        m_timer.start(0);
    }

private:
    void Deliver() {
        if (m_pending.empty()) {
            return;
        }
        if (m_pDlg == nullptr || QApplication::activeModalWidget() != nullptr) {
            m_timer.start(kRetryMs);
            return;
        }
        const std::vector<std::string> files = std::move(m_pending.front());
        m_pending.pop_front();
        m_pDlg->OnOpenRequest(files);
        if (!m_pending.empty()) {
            m_timer.start(0);
        }
    }

    static constexpr int kRetryMs = 200;
    QTimer m_timer;
    std::deque<std::vector<std::string>> m_pending;
    CMelvaneDlg* m_pDlg = nullptr;
};

}  // namespace

CMelvaneApp::CMelvaneApp(std::vector<std::string> openFiles)
    : m_openFiles(std::move(openFiles)),
      m_strExePath(platform::GetModuleFileName()),
      m_strProgramFolder(DirectoryOf(m_strExePath)) {
    // The playlist lives beside the executable when that folder can keep it,
    // otherwise in the user's data folder; the open-ahead and the store read
    // the same file.
    if (!m_strProgramFolder.empty()) {
        m_strPlaylistFolder = ChoosePlaylistFolder(
            m_strProgramFolder, UserDataHome(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
    }
}

CMelvaneApp::~CMelvaneApp() {
    if (m_nListeningFd >= 0) {
        ::close(m_nListeningFd);
    }
}

bool CMelvaneApp::HandedToRunningPlayer(int* pStatus) {
    std::string strError;
    const std::string strFolder =
        platform::InstanceFolder(std::getenv("XDG_RUNTIME_DIR"), &strError);
    if (strFolder.empty()) {
        std::fprintf(stderr, "melvane: %s; other starts will not find this player\n",
                     strError.c_str());
        return false;
    }
    const platform::InstanceClaim claim = platform::ClaimInstance(strFolder, m_openFiles);
    switch (claim.outcome) {
        case platform::InstanceClaim::Outcome::kFirst:
            m_nListeningFd = claim.listeningFd;
            return false;
        case platform::InstanceClaim::Outcome::kHandedOver:
            *pStatus = 0;
            return true;
        case platform::InstanceClaim::Outcome::kNoAnswer:
            // A second player beside a stuck one would fight it over the
            // playlist file.
            std::fprintf(stderr, "melvane: %s\n", claim.error.c_str());
            *pStatus = 1;
            return true;
        case platform::InstanceClaim::Outcome::kFailed:
            break;
    }
    std::fprintf(stderr, "melvane: %s; other starts will not find this player\n",
                 claim.error.c_str());
    return false;
}

void CMelvaneApp::OpenFirstTrackAhead() {
    if (m_strProgramFolder.empty()) {
        return;
    }
    // Named files play first: the playlist's first entry is not wanted then.
    if (!m_openFiles.empty()) {
        for (const std::string& strFile : m_openFiles) {
            if (strFile.find_first_of("\r\n") == std::string::npos) {
                m_firstTrack = platform::GstMci::OpenAhead(strFile);
                return;
            }
        }
        return;
    }
    const std::string strFirst = ReadFirstMusic(m_strPlaylistFolder);
    if (strFirst.empty()) {
        return;
    }
    // Relative names in the playlist are taken from the program's folder.
    m_firstTrack = platform::GstMci::OpenAhead(
        strFirst.front() == '/' ? strFirst : m_strProgramFolder + strFirst);
}

int CMelvaneApp::InitInstance() {
    // Later starts may knock from now on; they wait until the window is up.
    OpenRequests requests;
    std::unique_ptr<platform::InstanceServer> server;
    if (m_nListeningFd >= 0) {
        server = std::make_unique<platform::InstanceServer>(m_nListeningFd);
        m_nListeningFd = -1;
        QObject::connect(
            server.get(), &platform::InstanceServer::OpenRequested,
            [&requests](const std::vector<std::string>& files) { requests.Add(files); });
    }

    // Relative names in the playlist are taken from the program's folder,
    // wherever the program was started from.
    platform::SetCurrentDirectory(m_strProgramFolder);

    platform::GstMci mci(platform::GstMciOptions(), std::move(m_firstTrack));
    platform::QtPrompts prompts;
    platform::XdgAutoStart autoStart;
    platform::QtTray tray;
    tray.SetHostMenuEntries(CMelvaneDlg::TrayMenuEntries());
    platform::QtShell shell;
    {
        CMelvaneDlg dlg(CMelvaneDlg::Services{mci, prompts, *this, autoStart, tray, shell,
                                              m_strExePath, m_strPlaylistFolder, m_openFiles});
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
        requests.SetWindow(&dlg);
        if (!dlg.IsDestroyed()) {
            QApplication::exec();
        }
        requests.SetWindow(nullptr);
        m_pMainWnd = nullptr;
    }
    return 1;
}
