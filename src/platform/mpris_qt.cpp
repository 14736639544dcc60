#include "platform/mpris_qt.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QTimer>

#include <cstdlib>
#include <memory>
#include <utility>

namespace platform {
namespace {

constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// The folder the media layer opens relative paths against, as bytes.
QByteArray WorkingDirectory() {
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    return cwd ? QByteArray(cwd.get()) : QByteArray("/");
}

bool SameTrack(const MprisState& a, const MprisState& b) {
    if (a.hasTrack != b.hasTrack) {
        return false;
    }
    return !a.hasTrack ||
           (a.trackIndex == b.trackIndex && a.trackPath == b.trackPath && a.title == b.title &&
            a.artist == b.artist && a.album == b.album && a.lengthUs == b.lengthUs);
}

}  // namespace

// org.mpris.MediaPlayer2: who the player is and the window-level commands.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), m_service(*service) {}

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("melvane"); }
    QString DesktopEntry() const { return QStringLiteral("melvane"); }
    // OpenUri is not offered, so no scheme or type is.
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise() { m_service.Post(&IMprisPlayer::Raise); }
    void Quit() { m_service.Post(&IMprisPlayer::Quit); }

private:
    MprisService& m_service;
};

// org.mpris.MediaPlayer2.Player: transport, repeat mode and the current entry.
// The player has no pause (Pause stops), no seeking, no volume and one speed.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(bool Shuffle READ Shuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanPlay)
    Q_PROPERTY(bool CanGoPrevious READ CanPlay)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPlay)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit MprisPlayerAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), m_service(*service) {}

    QString PlaybackStatus() const { return MprisService::PlaybackStatus(m_service.State()); }
    QString LoopStatus() const { return MprisService::LoopStatus(m_service.State()); }
    void SetLoopStatus(const QString& status) { m_service.SetLoopStatus(status); }
    double Rate() const { return 1.0; }
    bool Shuffle() const { return false; }
    QVariantMap Metadata() const { return MprisService::Metadata(m_service.State()); }
    double Volume() const { return 1.0; }
    qlonglong Position() const { return m_service.State().positionUs; }
    // Pause stops, the nearest the player has: the desktop's play/pause key
    // and button must stay usable.
    bool CanPlay() const { return MprisService::CanPlay(m_service.State()); }
    bool CanSeek() const { return false; }
    bool CanControl() const { return true; }

public Q_SLOTS:
    void Play() { m_service.Post(&IMprisPlayer::Play); }
    void Stop() { m_service.Post(&IMprisPlayer::Stop); }
    void Next() { m_service.Post(&IMprisPlayer::Next); }
    void Previous() { m_service.Post(&IMprisPlayer::Previous); }
    void Pause() { m_service.Post(&IMprisPlayer::Pause); }
    void PlayPause() { m_service.Post(&IMprisPlayer::PlayPause); }
    // A track plays from its start to its end.
    void Seek(qlonglong /*offset*/) {}
    void SetPosition(const QDBusObjectPath& /*trackId*/, qlonglong /*position*/) {}
    void OpenUri(const QString& /*uri*/) {}

Q_SIGNALS:
    // Part of the interface clients expect; never sent, as nothing seeks.
    void Seeked(qlonglong position);

private:
    MprisService& m_service;
};

MprisService::MprisService(IMprisPlayer& player, QDBusConnection bus)
    : m_player(player), m_bus(std::move(bus)) {
    // Owned by this object as their Qt parent, the way the bus finds them.
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
}

MprisService::~MprisService() {
    if (m_bRegistered) {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(QLatin1String(kObjectPath));
    }
}

bool MprisService::Register() {
    if (m_bRegistered) {
        return true;
    }
    if (!m_bus.isConnected()) {
        return false;
    }
    const QString path = QLatin1String(kObjectPath);
    if (!m_bus.registerObject(path, this, QDBusConnection::ExportAdaptors)) {
        return false;
    }
    // A second running player takes a name of its own, as MPRIS asks.
    QString name = QLatin1String(kServiceName);
    if (!m_bus.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!m_bus.registerService(name)) {
            m_bus.unregisterObject(path);
            return false;
        }
    }
    m_serviceName = name;
    m_bRegistered = true;
    m_published = m_player.State();
    return true;
}

void MprisService::Refresh() {
    if (!m_bRegistered) {
        return;
    }
    const MprisState state = m_player.State();
    QVariantMap changed;
    if (state.playing != m_published.playing) {
        changed.insert(QStringLiteral("PlaybackStatus"), PlaybackStatus(state));
    }
    if (state.repeatAll != m_published.repeatAll) {
        changed.insert(QStringLiteral("LoopStatus"), LoopStatus(state));
    }
    if (!SameTrack(state, m_published)) {
        changed.insert(QStringLiteral("Metadata"), Metadata(state));
    }
    if (CanPlay(state) != CanPlay(m_published)) {
        for (const char* name : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious"}) {
            changed.insert(QLatin1String(name), CanPlay(state));
        }
    }
    m_published = state;
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString(QLatin1String(kPlayerInterface)) << changed << QStringList();
    m_bus.send(signal);
}

void MprisService::Post(void (IMprisPlayer::*command)()) {
    m_posted.push_back(command);
    if (m_bRunning || m_bRunScheduled) {
        return;
    }
    m_bRunScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bRunScheduled = false;
        RunPosted();
    });
}

void MprisService::RunPosted() {
    // A command may sit in a modal box, whose loop delivers further bus calls:
    // those wait here for their turn instead of running inside it.
    m_bRunning = true;
    while (!m_posted.empty()) {
        const auto command = m_posted.front();
        m_posted.pop_front();
        (m_player.*command)();
        Refresh();
    }
    m_bRunning = false;
}

void MprisService::SetLoopStatus(const QString& status) {
    if (status == QLatin1String("Playlist")) {
        m_player.SetLoop(true);
    } else if (status == QLatin1String("Track")) {
        m_player.SetLoop(false);
    } else {
        // There is always a repeat mode. Qt answers a property write itself and
        // offers no way to turn the answer into an error, so the value simply
        // stays as it was.
        return;
    }
    Refresh();
}

QString MprisService::PlaybackStatus(const MprisState& state) {
    return state.playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QString MprisService::LoopStatus(const MprisState& state) {
    return state.repeatAll ? QStringLiteral("Playlist") : QStringLiteral("Track");
}

QVariantMap MprisService::Metadata(const MprisState& state) {
    QVariantMap metadata;
    if (!state.hasTrack) {
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(QLatin1String(kNoTrack))));
        return metadata;
    }
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(
                        QStringLiteral("/org/melvane/track/%1").arg(state.trackIndex))));

    QByteArray path = QByteArray::fromStdString(state.trackPath);
    if (!path.startsWith('/')) {
        QByteArray directory = WorkingDirectory();
        if (!directory.endsWith('/')) {
            directory += '/';
        }
        path.prepend(directory);
    }
    // The path is bytes in no promised encoding: every byte that is not plain
    // goes into the URL as %XX, so the URL names exactly that file.
    const QByteArray encoded = path.toPercentEncoding("/");
    metadata.insert(QStringLiteral("xesam:url"),
                    QString(QLatin1String("file://")) + QString::fromLatin1(encoded));

    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    metadata.insert(QStringLiteral("xesam:title"), state.title.empty()
                                                       ? QString::fromUtf8(name)
                                                       : QString::fromStdString(state.title));
    if (!state.artist.empty()) {
        metadata.insert(QStringLiteral("xesam:artist"),
                        QStringList{QString::fromStdString(state.artist)});
    }
    if (!state.album.empty()) {
        metadata.insert(QStringLiteral("xesam:album"), QString::fromStdString(state.album));
    }
    if (state.lengthUs >= 0) {
        metadata.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(state.lengthUs));
    }
    return metadata;
}

}  // namespace platform

#include "mpris_qt.moc"
