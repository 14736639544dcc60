// The player's one window: a skin of picture buttons over a background
// picture, with the playlist in a sorted list. It owns the playlist engine and
// handles every message of the program: clicks, list notifications, the end of
// a track, the animation timer, the tray icon's callback and the tray menu.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/autostart.h"
#include "platform/mci.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "platform/tray.h"
#include "playlist/musiclist.h"
#include "ui/controls.h"

class QMenu;

constexpr std::uint32_t WM_TRAYNOTIFY = 0x8064;  // WM_APP + 100
constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_CLOSE = 0xF060;

// The tray icon record and the animation state, shared by the whole process.
extern platform::NOTIFYICONDATA g_nidTray;
extern int g_nAnimFrame;
extern int g_bAnimUp;

class CMelvaneDlg : public QDialog {
    Q_OBJECT
public:
    // The services the window works through; the application hands in the
    // real ones, tests hand in fakes. All must outlive the window.
    struct Services {
        platform::IMci& mci;
        platform::IPrompts& prompts;
        platform::IApp& app;
        platform::IAutoStart& autoStart;
        platform::ITray& tray;
        platform::IShell& shell;
        std::string exePath;
        // The folder of "Music.mus"; empty for the working directory.
        std::string playlistFolder = std::string();
        // Files named when the program was started: added and the first of
        // them played, in place of the playlist's first entry.
        std::vector<std::string> openFiles = std::vector<std::string>();
    };

    explicit CMelvaneDlg(const Services& services, QWidget* pParent = nullptr);
    ~CMelvaneDlg() override;

    // Creates the window from its template, hidden: the controls, their
    // binding, then OnInitDialog.
    bool Create();
    // Ends the window: hidden for good, and the application is told.
    void DestroyWindow();
    bool IsDestroyed() const { return m_bDestroyed; }

    // The message map: routes a command to its handler. False when no handler
    // takes it.
    bool OnCommand(int nID, int nCode);
    // Default processing, where the tray icon's callback message arrives.
    std::intptr_t DefWindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

    // Playback surface
    void PlayMusic();
    void PrevMusic();
    void NextMusic();
    void StopMusic();
    void OnMciNotify(std::uint32_t wParam, std::uint32_t lParam);
    // The media layer has an output again after a play failed at its own.
    void OnMciOutput();

    // Initialisation, About box and system menu
    bool OnInitDialog();
    bool RegisterAutoStart();
    void OnSysCommand(unsigned nID, std::intptr_t lParam);
    QIcon OnQueryDragIcon() const;

    // Skin buttons and list
    bool OnSetCursor(QWidget* pWnd);
    void OnAdd();
    void OnDelete();
    void OnRepeatOne();
    void OnRepeatAll();
    void OnExit();
    void OnFirst();
    void OnPlay();
    void OnFinal();
    void OnStop();
    void OnHide();
    void OnHelp();
    void OnDblclkList();
    void OnSelchangeList();
    void RebuildPlaylist();
    // Adds `paths` as Add does (same checks, limit and messages), saves, and
    // plays the first of them that went in.
    void OpenFiles(const std::vector<std::string>& paths);
    // Another start of the program asked for `paths`; with none, the window
    // shows.
    void OnOpenRequest(const std::vector<std::string>& paths);

    // Tray icon, tray menu and exit
    void OnTimer(int nIDEvent);
    void ShowTrayMenu();
    // The tray menu's entries in their final order, for tray hosts that draw
    // menus themselves; id 0 is a separator.
    static std::vector<platform::HostMenuEntry> TrayMenuEntries();
    void OnTrayExit();
    void OnTrayFinal();
    void OnTrayNext();
    void OnTrayStop();
    void OnTrayPlay();
    void OnTrayLast();
    void OnTrayFirst();
    void OnTrayOption();

    // The window's system menu (Alt+Space, or a right click on the background).
    QMenu* GetSystemMenu();
    bool IsTimerRunning() const { return m_timer.isActive(); }
    CToolTipCtrl& ToolTip() { return m_tooltip; }

    int m_bPlaying;
    int m_bRepeatAll;
    // The current entry broke off playing and waits for an output to come
    // back; a stop cancels the wait.
    bool m_bResumeOnOutput = false;

private:
    platform::IPrompts& m_prompts;
    platform::IApp& m_app;
    platform::IAutoStart& m_autoStart;
    platform::ITray& m_tray;
    platform::IShell& m_shell;
    std::string m_exePath;
    std::vector<std::string> m_openFiles;

public:
    CMusicList m_playlist;
    CListBox m_listMusic;
    CStatic m_btnAdd;
    CStatic m_btnDelete;
    CStatic m_btnRepeatOne;
    CStatic m_btnRepeatAll;
    CStatic m_btnExit;
    CStatic m_btnFirst;
    CStatic m_btnPlay;
    CStatic m_btnFinal;
    CStatic m_btnStop;
    CStatic m_btnHide;
    CStatic m_btnHelp;
    CToolTipCtrl m_tooltip;
    QIcon m_hIcon;

signals:
    // The window was destroyed: the message loop should end.
    void WindowDestroyed();
    // A command, a track's end or the tray was handled: playing, the repeat
    // mode or the current entry may have changed.
    void PlayerStateChanged();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Escape and a close request: hidden as Hide does.
    void reject() override;

private:
    void CreateControls();
    void DoDataExchange();
    void SetTimer();
    void KillTimer();
    void ShowWindow();
    // Hides the window, or minimises it when there is no tray icon to bring
    // it back from.
    void HideWindow();
    // Stops the track, makes entry `nIndex` current and plays it; playing
    // and the animation follow whether it really started.
    void PlayEntry(int nIndex);
    // Nothing sounds any more: the animation ends on the still icon and Play
    // can start again.
    void ShowStopped();
    // Puts the acceptable ones of `paths` into the list and tells the user
    // about the others; `pFirst` gets the first that went in. False when
    // none did.
    bool AddToList(const std::vector<std::string>& paths, std::string* pFirst);
    // The rebuild without its start of playback.
    void CopyListToPlaylist();
    bool PreTranslateMessage(QObject* receiver, QEvent* event);
    void ShowSystemMenu(const QPoint& globalPos);
    // The control at `pos` (the list for a point in its viewport), or null.
    QWidget* ControlAt(const QPoint& pos) const;

    QTimer m_timer;
    std::unique_ptr<QMenu> m_sysMenu;
    bool m_bDestroyed = false;
};
