// Without a session bus the media controls are simply absent; and what the
// bus would be told of the current entry, worked out without one.
#include <QDBusObjectPath>
#include <QDir>

#include <memory>

#include "platform/mpris_qt.h"
#include "ui/dlg_fixture.h"
#include "ui/melvanempris.h"

namespace {

using NoSessionBusTest = DlgTest;

TEST_F(NoSessionBusTest, RegisterFailsQuietlyAndTheWindowWorksAsBefore) {
    // This executable runs with DBUS_SESSION_BUS_ADDRESS at a socket that does
    // not exist.
    ASSERT_FALSE(QDBusConnection::sessionBus().isConnected());
    WritePlaylist({"/m/0.mid", "/m/1.mid"});
    Start();
    CMelvaneMpris player(*m_dlg);
    platform::MprisService service(player, QDBusConnection::sessionBus());
    player.Follow(service);
    Clear();
    EXPECT_FALSE(service.Register());
    EXPECT_FALSE(service.IsRegistered());
    EXPECT_TRUE(service.ServiceName().isEmpty());
    EXPECT_TRUE(m_prompts.app.empty());
    EXPECT_TRUE(m_prompts.window.empty());

    QCoreApplication::postEvent(m_dlg.get(), new platform::CommandEvent(IDC_STOP));
    QCoreApplication::processEvents();
    EXPECT_EQ(MciCalls(), (Calls{"stop themidi", "close themidi"}));
    player.Play();
    EXPECT_EQ(m_dlg->m_bPlaying, 1);
}

QVariantMap MetadataOf(const std::string& path, bool hasTrack = true) {
    platform::MprisState state;
    state.hasTrack = hasTrack;
    state.trackIndex = 4;
    state.trackPath = path;
    return platform::MprisService::Metadata(state);
}

QString TrackId(const QVariantMap& metadata) {
    return metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
}

TEST(MprisMetadata, UrlKeepsEveryByteOfThePathAndTitleShowsTheFileName) {
    const QVariantMap plain = MetadataOf("/a b/c?d#e%f.mid");
    EXPECT_EQ(plain.value(QStringLiteral("xesam:url")),
              QStringLiteral("file:///a%20b/c%3Fd%23e%25f.mid"));
    EXPECT_EQ(TrackId(plain), QStringLiteral("/org/melvane/track/4"));
    const QVariantMap bytes = MetadataOf("/\xff/\xe4\xb8\xad-bad\xfe.mp3");
    EXPECT_EQ(bytes.value(QStringLiteral("xesam:url")),
              QStringLiteral("file:///%FF/%E4%B8%AD-bad%FE.mp3"));
    EXPECT_EQ(bytes.value(QStringLiteral("xesam:title")), QStringLiteral("中-bad\uFFFD.mp3"));
    // A relative entry is the file in the working directory.
    EXPECT_EQ(MetadataOf("tunes/a.mid").value(QStringLiteral("xesam:url")),
              QStringLiteral("file://") +
                  QString::fromLatin1(QDir::currentPath().toUtf8().toPercentEncoding("/")) +
                  QStringLiteral("/tunes/a.mid"));
    // No track is only the no-track id.
    const QVariantMap none = MetadataOf("/m/0.mid", false);
    EXPECT_EQ(none.keys(), QStringList{QStringLiteral("mpris:trackid")});
    EXPECT_EQ(TrackId(none), QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

}  // namespace
