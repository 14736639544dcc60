// Without a session bus the media controls are simply absent; and what the
// bus would be told of the current entry, worked out without one.
#include <QDBusObjectPath>
#include <QDir>
#include <QSignalSpy>

#include <memory>

#include "platform/mpris_qt.h"
#include "ui/dlg_fixture.h"
#include "ui/melvanempris.h"

namespace {

class NoSessionBusTest : public DlgTest {
protected:
    void SetUp() override {
        DlgTest::SetUp();
        // This executable runs with DBUS_SESSION_BUS_ADDRESS at a socket that
        // does not exist.
        ASSERT_FALSE(QDBusConnection::sessionBus().isConnected());
        WritePlaylist({"/m/0.mid", "/m/1.mid"});
        Start();
        m_player = std::make_unique<CMelvaneMpris>(*m_dlg);
        m_service =
            std::make_unique<platform::MprisService>(*m_player, QDBusConnection::sessionBus());
        m_player->Follow(*m_service);
        Clear();
    }
    void TearDown() override {
        m_service.reset();
        m_player.reset();
        DlgTest::TearDown();
    }

    std::unique_ptr<CMelvaneMpris> m_player;
    std::unique_ptr<platform::MprisService> m_service;
};

TEST_F(NoSessionBusTest, RegisterFailsQuietly) {
    EXPECT_FALSE(m_service->Register());
    EXPECT_FALSE(m_service->IsRegistered());
    EXPECT_TRUE(m_service->ServiceName().isEmpty());
    EXPECT_TRUE(m_prompts.app.empty());
    EXPECT_TRUE(m_prompts.window.empty());
}

TEST_F(NoSessionBusTest, WindowWorksAsBefore) {
    m_service->Register();
    QSignalSpy changed(m_dlg.get(), &CMelvaneDlg::PlayerStateChanged);
    QCoreApplication::postEvent(m_dlg.get(), new platform::CommandEvent(IDC_STOP));
    QCoreApplication::processEvents();
    EXPECT_EQ(MciCalls(), (Calls{"stop themidi", "close themidi"}));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(m_dlg->m_bPlaying, 0);
    m_player->Play();
    EXPECT_EQ(m_dlg->m_bPlaying, 1);
}

TEST_F(NoSessionBusTest, StateIsReadFromTheWindow) {
    m_dlg->OnRepeatOne();
    m_dlg->NextMusic();
    const platform::MprisState state = m_player->State();
    EXPECT_TRUE(state.playing);
    EXPECT_FALSE(state.repeatAll);
    EXPECT_TRUE(state.hasTrack);
    EXPECT_EQ(state.trackIndex, 1);
    EXPECT_EQ(state.trackPath, "/m/1.mid");
    // An empty line of the playlist file names no file.
    m_dlg->m_playlist.SetMusic(1, "");
    EXPECT_FALSE(m_player->State().hasTrack);
}

QVariantMap MetadataOf(const std::string& path) {
    platform::MprisState state;
    state.hasTrack = true;
    state.trackIndex = 4;
    state.trackPath = path;
    return platform::MprisService::Metadata(state);
}

TEST(MprisMetadata, UrlKeepsEveryByteOfThePathAndTitleShowsTheFileName) {
    const QVariantMap plain = MetadataOf("/a b/c?d#e%f.mid");
    EXPECT_EQ(plain.value(QStringLiteral("xesam:url")),
              QStringLiteral("file:///a%20b/c%3Fd%23e%25f.mid"));
    EXPECT_EQ(plain.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/melvane/track/4"));
    const QVariantMap bytes = MetadataOf("/\xff/\xe4\xb8\xad-bad\xfe.mp3");
    EXPECT_EQ(bytes.value(QStringLiteral("xesam:url")),
              QStringLiteral("file:///%FF/%E4%B8%AD-bad%FE.mp3"));
    EXPECT_EQ(bytes.value(QStringLiteral("xesam:title")), QStringLiteral("中-bad\uFFFD.mp3"));
    // A relative entry is the file in the working directory.
    EXPECT_EQ(MetadataOf("tunes/a.mid").value(QStringLiteral("xesam:url")),
              QStringLiteral("file://") +
                  QString::fromLatin1(QDir::currentPath().toUtf8().toPercentEncoding("/")) +
                  QStringLiteral("/tunes/a.mid"));
}

TEST(MprisMetadata, NoTrackIsOnlyTheNoTrackId) {
    const QVariantMap none = platform::MprisService::Metadata(platform::MprisState{});
    EXPECT_EQ(none.keys(), QStringList{QStringLiteral("mpris:trackid")});
    EXPECT_EQ(none.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

}  // namespace
