// The desktop's media-control interface (MPRIS 2) on the session bus: media
// keys, the panel's sound applet and playerctl reach the player through it.
// The service knows the player only through IMprisPlayer.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <deque>
#include <string>

namespace platform {

// What the bus shows of the player at one moment.
struct MprisState {
    bool playing = false;
    bool repeatAll = true;
    // False when there is no entry to play; the other track fields are then
    // meaningless.
    bool hasTrack = false;
    int trackIndex = 0;
    std::string trackPath;  // raw bytes, as the playlist keeps them
    // From the track's tags, UTF-8; empty when unknown (the title then is
    // the file's name).
    std::string title;
    std::string artist;
    std::string album;
    std::int64_t lengthUs = -1;  // -1 when unknown
    std::int64_t positionUs = 0;
};

// The player as the bus drives it.
class IMprisPlayer {
public:
    virtual ~IMprisPlayer() = default;

    // The bus's commands. Each is called on the GUI thread after the caller
    // already has its reply, one at a time; each may show one of the player's
    // modal boxes and return only when the user has closed it.
    virtual void Raise() = 0;
    virtual void Quit() = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual void Next() = 0;
    virtual void Previous() = 0;
    virtual void Pause() = 0;
    virtual void PlayPause() = 0;

    // Repeats the whole list (true) or the current track (false). Returns at
    // once; shows nothing.
    virtual void SetLoop(bool repeatAll) = 0;

    // The player's state now.
    virtual MprisState State() const = 0;
};

// org.mpris.MediaPlayer2.melvane at /org/mpris/MediaPlayer2 with the root and
// player interfaces. Lives on the GUI thread; borrows the player, which must
// outlive it.
class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr char kServiceName[] = "org.mpris.MediaPlayer2.melvane";
    static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";

    MprisService(IMprisPlayer& player, QDBusConnection bus);
    ~MprisService() override;

    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // Puts the player on the bus. False, and nothing on the bus, when the
    // connection is down or the object path is taken. When another player
    // already holds the name, takes the per-instance name
    // "org.mpris.MediaPlayer2.melvane.instance<pid>" instead.
    bool Register();
    bool IsRegistered() const { return m_bRegistered; }
    // The bus name taken by Register; empty when not registered.
    QString ServiceName() const { return m_serviceName; }

    // Tells the bus which of PlaybackStatus, LoopStatus, Metadata and the
    // capabilities changed since the last call (or since Register). Does
    // nothing when unregistered.
    void Refresh();

    // For the adaptors. Queues a command for the player and returns, so that
    // the bus gets its reply before the command can block in a modal box.
    void Post(void (IMprisPlayer::*command)());
    // "Playlist" or "Track"; anything else ("None") changes nothing.
    void SetLoopStatus(const QString& status);
    MprisState State() const { return m_player.State(); }

    static QString PlaybackStatus(const MprisState& state);
    static QString LoopStatus(const MprisState& state);
    // mpris:trackid, xesam:url, xesam:title and, when known, xesam:artist,
    // xesam:album and mpris:length of the current entry; only the NoTrack id
    // when there is none.
    static QVariantMap Metadata(const MprisState& state);
    // Play, Pause, Next and Previous do something only when there is an entry.
    static bool CanPlay(const MprisState& state) { return state.hasTrack; }

private:
    void RunPosted();

    IMprisPlayer& m_player;
    QDBusConnection m_bus;
    QString m_serviceName;
    bool m_bRegistered = false;
    MprisState m_published;
    std::deque<void (IMprisPlayer::*)()> m_posted;
    bool m_bRunScheduled = false;
    bool m_bRunning = false;
};

}  // namespace platform
