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
    // What the media layer knows counts only for the entry it has open: after
    // an edit the current entry may be another than the one sounding.
    // A stopped entry is closed: it keeps what its last open told of it, at
    // its start.
    platform::MciTrackInfo track;
    if (state.hasTrack && playlist.GetOpenTrack(&track) && track.path == state.trackPath) {
        m_lastTrack = track;
        state.positionUs = track.positionUs > 0 ? track.positionUs : 0;
    }
    if (state.hasTrack && m_lastTrack.path == state.trackPath) {
        state.title = m_lastTrack.title;
        state.artist = m_lastTrack.artist;
        state.album = m_lastTrack.album;
        state.lengthUs = m_lastTrack.lengthUs;
    }
    return state;
}
