#include "ui/melvanempris.h"

#include <QObject>

#include <string>

#include "ui/melvanedlg.h"

CMelvaneMpris::CMelvaneMpris(CMelvaneDlg& dlg) : m_dlg(dlg) {
}

void CMelvaneMpris::Follow(platform::MprisService& service) {
    QObject::connect(&m_dlg, &CMelvaneDlg::PlayerStateChanged, &service,
                     &platform::MprisService::Refresh);
}

// After the exit path the window is gone for good: a command still queued on
// the bus must not start the music again while the program ends.

void CMelvaneMpris::Raise() {
    if (!m_dlg.IsDestroyed()) {
        m_dlg.OnTrayOption();
    }
}

void CMelvaneMpris::Quit() {
    if (!m_dlg.IsDestroyed()) {
        m_dlg.OnTrayExit();
    }
}

void CMelvaneMpris::Play() {
    if (!m_dlg.IsDestroyed()) {
        m_dlg.OnPlay();
    }
}

void CMelvaneMpris::Stop() {
    if (!m_dlg.IsDestroyed()) {
        m_dlg.OnStop();
    }
}

void CMelvaneMpris::Next() {
    if (!m_dlg.IsDestroyed()) {
        m_dlg.NextMusic();
    }
}

void CMelvaneMpris::Previous() {
    if (!m_dlg.IsDestroyed()) {
        m_dlg.PrevMusic();
    }
}

// The player has no pause: stopping is the nearest thing. A pause never
// starts the music, whatever state it finds: "playerctl --all-players pause"
// sends it to every player at once.
void CMelvaneMpris::Pause() {
    if (m_dlg.m_bPlaying != 0) {
        Stop();
    }
}

void CMelvaneMpris::PlayPause() {
    if (m_dlg.m_bPlaying != 0) {
        Stop();
    } else {
        Play();
    }
}

void CMelvaneMpris::SetLoop(bool repeatAll) {
    if (m_dlg.IsDestroyed()) {
        return;
    }
    if (repeatAll) {
        m_dlg.OnRepeatAll();
    } else {
        m_dlg.OnRepeatOne();
    }
}

platform::MprisState CMelvaneMpris::State() const {
    platform::MprisState state;
    state.playing = m_dlg.m_bPlaying != 0;
    state.repeatAll = m_dlg.m_bRepeatAll != 0;
    const CMusicList& playlist = m_dlg.m_playlist;
    state.trackIndex = playlist.m_nCurrent;
    state.trackPath = playlist.GetMusic(state.trackIndex);
    // An empty line of the playlist file names no file.
    state.hasTrack =
        state.trackIndex >= 0 && state.trackIndex < playlist.GetCount() && !state.trackPath.empty();
    return state;
}
