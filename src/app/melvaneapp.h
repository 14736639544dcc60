// The application object: makes sure one player runs per user, fixes the
// working directory, builds the main window with the real services, runs the
// message loop until the window is destroyed.
#pragma once

#include <string>
#include <vector>

#include "media/mci_gst.h"
#include "platform/app.h"

class CMelvaneApp : public platform::IApp {
public:
    // `openFiles`: absolute paths named on the command line.
    explicit CMelvaneApp(std::vector<std::string> openFiles = std::vector<std::string>());
    ~CMelvaneApp() override;

    CMelvaneApp(const CMelvaneApp&) = delete;
    CMelvaneApp& operator=(const CMelvaneApp&) = delete;

    // Before Qt starts: when a player already runs for this user, hands it
    // this start's files (none: it shows its window) and returns true with
    // the status the program ends with. False when this process is to be the
    // player; it then listens for later starts.
    bool HandedToRunningPlayer(int* pStatus);

    // Before Qt starts: the track that will play first (the first file named,
    // or the playlist's first entry) begins opening on a thread of its own,
    // so the music starts as soon as the window is ready for it. The program's
    // media layer takes it over in InitInstance.
    void OpenFirstTrackAhead();

    // The start-up routine; returns when the program is ending.
    int InitInstance();

    platform::HWND GetMainWnd() const override { return m_pMainWnd; }

private:
    platform::HWND m_pMainWnd = nullptr;
    std::vector<std::string> m_openFiles;
    std::string m_strExePath;
    std::string m_strProgramFolder;
    std::string m_strPlaylistFolder;
    int m_nListeningFd = -1;
    platform::OpenAheadTrack m_firstTrack;
};
