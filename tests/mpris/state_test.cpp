// What the bus shows of the player, and the news it sends when that changes.
#include <QDBusObjectPath>

#include <unistd.h>

#include "mpris_fixture.h"

namespace {

const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

using MprisStateTest = MprisTest;

QString TrackId(const QVariantMap& metadata) {
    return metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
}

TEST_F(MprisStateTest, StatusFollowsThePlayingFlag) {
    CMelvaneDlg& dlg = StartOnBus(2);
    EXPECT_EQ(Ctl({QStringLiteral("status")}), QStringLiteral("Playing"));
    dlg.OnStop();
    EXPECT_EQ(Ctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
}

TEST_F(MprisStateTest, LoopTrackAndPlaylistActAsTheRepeatButtons) {
    CMelvaneDlg& dlg = StartOnBus(2);
    EXPECT_EQ(Ctl({QStringLiteral("loop")}), QStringLiteral("Playlist"));
    Ctl({QStringLiteral("loop"), QStringLiteral("Track")});
    EXPECT_EQ(dlg.m_bRepeatAll, 0);
    EXPECT_EQ(dlg.m_btnRepeatOne.GetBitmap().cacheKey(), g_hbmRepeatOneOn->cacheKey());
    EXPECT_EQ(Ctl({QStringLiteral("loop")}), QStringLiteral("Track"));
    Ctl({QStringLiteral("loop"), QStringLiteral("Playlist")});
    EXPECT_EQ(dlg.m_bRepeatAll, 1);
    EXPECT_EQ(dlg.m_btnRepeatAll.GetBitmap().cacheKey(), g_hbmRepeatAllOn->cacheKey());
}

TEST_F(MprisStateTest, LoopNoneChangesNothing) {
    CMelvaneDlg& dlg = StartOnBus(2);
    Ctl({QStringLiteral("loop"), QStringLiteral("None")});
    EXPECT_EQ(dlg.m_bRepeatAll, 1);
    EXPECT_EQ(PlayerProperty("LoopStatus"), QStringLiteral("Playlist"));
    // News arrive in order: had the refusal sent any, it would come first.
    QCoreApplication::postEvent(m_dlg.get(), new platform::CommandEvent(IDC_STOP));
    ASSERT_TRUE(WaitForChanges(1));
    EXPECT_EQ(m_recorder.changes[0].changed.keys(), QStringList{QStringLiteral("PlaybackStatus")});
}

TEST_F(MprisStateTest, MetadataNamesTheCurrentEntryByUrlAndFileName) {
    WritePlaylist({"/m/Tune One.mid", "/m/caf\xe9 #1%.mid"});
    StartOnBus();
    const QStringList format{QStringLiteral("metadata"), QStringLiteral("--format"),
                             QStringLiteral("{{mpris:trackid}}|{{xesam:url}}|{{xesam:title}}")};
    // playerctl prints an object path in quotes.
    EXPECT_EQ(Ctl(format),
              QStringLiteral("'/org/melvane/track/0'|file:///m/Tune%20One.mid|Tune One.mid"));
    Ctl({QStringLiteral("next")});
    // The name is not UTF-8: the URL keeps its byte, the title shows a mark.
    EXPECT_EQ(Ctl(format), QStringLiteral("'/org/melvane/track/1'|file:///m/caf%E9%20%231%25.mid|"
                                          "caf\uFFFD #1%.mid"));
}

TEST_F(MprisStateTest, EmptyPlaylistHasNoTrack) {
    StartOnBus(0);
    const QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.keys(), QStringList{QStringLiteral("mpris:trackid")});
    EXPECT_EQ(TrackId(metadata), QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    EXPECT_EQ(Ctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
}

TEST_F(MprisStateTest, PropertiesDescribeAPlayerThatCannotSeek) {
    StartOnBus(1);
    const QString root = QStringLiteral("org.mpris.MediaPlayer2");
    EXPECT_EQ(Property(root, QStringLiteral("Identity")), QStringLiteral("melvane"));
    EXPECT_EQ(Property(root, QStringLiteral("DesktopEntry")), QStringLiteral("melvane"));
    EXPECT_EQ(Property(root, QStringLiteral("CanQuit")), true);
    EXPECT_EQ(Property(root, QStringLiteral("CanRaise")), true);
    EXPECT_EQ(Property(root, QStringLiteral("HasTrackList")), false);
    for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanControl"}) {
        EXPECT_EQ(PlayerProperty(name), true) << name;
    }
    EXPECT_EQ(PlayerProperty("CanSeek"), false);
    EXPECT_EQ(PlayerProperty("Shuffle"), false);
    for (const char* name : {"Rate", "MinimumRate", "MaximumRate", "Volume"}) {
        EXPECT_EQ(PlayerProperty(name), 1.0) << name;
    }
    const QVariant position = PlayerProperty("Position");
    EXPECT_EQ(position.metaType(), QMetaType::fromType<qlonglong>());
    EXPECT_EQ(position.toLongLong(), 0);
}

TEST_F(MprisStateTest, WindowAndTrayMenuAnnounceExactlyWhatTheyChanged) {
    StartOnBus(2);
    // News arrive in order: had the Help button sent any, it would come first.
    for (int id : {IDC_HELP, IDC_REPEATONE, ID_TRAY_STOP}) {
        QCoreApplication::postEvent(m_dlg.get(), new platform::CommandEvent(id));
    }
    ASSERT_TRUE(WaitForChanges(2));
    EXPECT_EQ(m_recorder.changes[0].interface, kPlayer);
    EXPECT_EQ(m_recorder.changes[0].changed,
              (QVariantMap{{QStringLiteral("LoopStatus"), QStringLiteral("Track")}}));
    EXPECT_EQ(m_recorder.changes[1].changed,
              (QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")}}));
}

TEST_F(MprisStateTest, EndOfTrackAnnouncesTheNextEntry) {
    StartOnBus(2);
    QCoreApplication::postEvent(m_dlg.get(),
                                new platform::MciNotifyEvent(platform::MCI_NOTIFY_SUCCESSFUL, 1));
    ASSERT_TRUE(WaitForChanges(1));
    const QVariantMap& changed = m_recorder.changes[0].changed;
    EXPECT_EQ(changed.keys(), QStringList{QStringLiteral("Metadata")});
    const auto metadata = qdbus_cast<QVariantMap>(changed.value(QStringLiteral("Metadata")));
    EXPECT_EQ(TrackId(metadata), QStringLiteral("/org/melvane/track/1"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")), QStringLiteral("file:///m/1.mid"));
}

TEST_F(MprisStateTest, BusCommandsAnnounceTheirEffect) {
    StartOnBus(2);
    Ctl({QStringLiteral("next")});
    Ctl({QStringLiteral("stop")});
    ASSERT_TRUE(WaitForChanges(2));
    EXPECT_EQ(m_recorder.changes[0].changed.keys(), QStringList{QStringLiteral("Metadata")});
    EXPECT_EQ(m_recorder.changes[1].changed.keys(), QStringList{QStringLiteral("PlaybackStatus")});
}

TEST_F(MprisStateTest, PlayerctlFollowingTheStatusSeesTheWindowStop) {
    StartOnBus(2);
    QProcess follow;
    follow.start(QStringLiteral("playerctl"),
                 {QStringLiteral("-p"), QStringLiteral("melvane"), QStringLiteral("--follow"),
                  QStringLiteral("status")});
    QByteArray seen;
    auto waitForLine = [&](const QByteArray& line) {
        return QTest::qWaitFor(
            [&] {
                seen += follow.readAllStandardOutput();
                return seen.contains(line + '\n');
            },
            5000);
    };
    EXPECT_TRUE(waitForLine("Playing"));
    QCoreApplication::postEvent(m_dlg.get(), new platform::CommandEvent(IDC_STOP));
    EXPECT_TRUE(waitForLine("Stopped")) << seen.constData();
    follow.kill();
    follow.waitForFinished();
}

TEST_F(MprisStateTest, SecondPlayerTakesAnInstanceNameAndBothLeaveTheBus) {
    StartOnBus(1);
    QDBusConnection second =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second"));
    auto other = std::make_unique<platform::MprisService>(*m_player, second);
    ASSERT_TRUE(other->Register());
    const QString instance = Service() + QStringLiteral(".instance%1").arg(::getpid());
    EXPECT_EQ(other->ServiceName(), instance);
    QDBusConnectionInterface* bus = m_observer->interface();
    EXPECT_TRUE(bus->isServiceRegistered(instance));

    other.reset();
    m_service.reset();
    EXPECT_FALSE(bus->isServiceRegistered(instance));
    EXPECT_FALSE(bus->isServiceRegistered(Service()));
    QDBusConnection::disconnectFromBus(QStringLiteral("second"));
}

}  // namespace
