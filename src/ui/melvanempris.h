// The player as the desktop's media controls see it: each bus command is one
// of the window's own handlers, and the state is read from the window.
#pragma once

#include "platform/mci.h"
#include "platform/mpris_qt.h"

class CMelvaneDlg;

class CMelvaneMpris : public platform::IMprisPlayer {
public:
    // Borrows the window, which must outlive this object.
    explicit CMelvaneMpris(CMelvaneDlg& dlg);

    // Connects the window's state changes to the service's Refresh.
    void Follow(platform::MprisService& service);

    void Raise() override;
    void Quit() override;
    void Play() override;
    void Stop() override;
    void Next() override;
    void Previous() override;
    void Pause() override;
    void PlayPause() override;
    void SetLoop(bool repeatAll) override;
    platform::MprisState State() const override;

private:
    CMelvaneDlg& m_dlg;
    // The last track the media layer had open, as it described it.
    mutable platform::MciTrackInfo m_lastTrack;
};
