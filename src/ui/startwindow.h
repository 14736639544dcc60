// Whether the window shows at start-up. The player lives in the tray, but at
// login the panel that holds the tray may come up after the player does. So
// start-up waits a short grace for a tray host with the window hidden, shows
// the window when none has come by then (it is the only way to reach the
// player), and puts it away again when a tray comes later, as long as the
// user has not touched the window since it showed.
#pragma once

#include <QObject>
#include <QTimer>

#include "platform/tray.h"

class CMelvaneDlg;

class CStartWindow : public QObject {
    Q_OBJECT
public:
    // How long start-up waits for a tray host before it shows the window.
    static constexpr int kGraceMs = 3000;

    enum class State {
        Idle,     // not started
        Waiting,  // no tray yet, window hidden, grace running
        Shown,    // no tray came in time: window shown, untouched so far
        Done,     // the window's fate is the user's or the tray's from here
    };

    // Both must outlive this object.
    CStartWindow(CMelvaneDlg& dlg, platform::ITray& tray);
    ~CStartWindow() override;
    CStartWindow(const CStartWindow&) = delete;
    CStartWindow& operator=(const CStartWindow&) = delete;

    // For the created, hidden window: keeps it hidden when a tray is there,
    // otherwise starts waiting `graceMs` for one. Returns at once; the music
    // and the event loop go on meanwhile.
    void Start(int graceMs = kGraceMs);

    // The grace is over: the window shows unless a tray has come.
    void OnGraceOver();
    // A tray host appeared: the window goes (or stays) hidden unless the
    // user has touched it.
    void OnTrayAppeared();

    State GetState() const { return m_state; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Nothing more to decide: stop waiting and watching.
    void Finish();
    bool IsTouch(QObject* watched, const QEvent* event) const;

    CMelvaneDlg& m_dlg;
    platform::ITray& m_tray;
    QTimer m_grace;
    State m_state = State::Idle;
};
