// What the bus shows of the player, and the news it sends when that changes.
#include <QDBusObjectPath>

#include "mpris_fixture.h"

namespace {

using MprisStateTest = MprisTest;

TEST_F(MprisStateTest, LoopTrackAndPlaylistActAsTheRepeatButtonsAndNoneChangesNothing) {
    CMelvaneDlg& dlg = StartOnBus(Tunes(2));
    EXPECT_EQ(Ctl({QStringLiteral("loop")}), QStringLiteral("Playlist"));
    Ctl({QStringLiteral("loop"), QStringLiteral("Track")});
    EXPECT_EQ(dlg.m_bRepeatAll, 0);
    EXPECT_EQ(dlg.m_btnRepeatOne.GetBitmap().cacheKey(), g_hbmRepeatOneOn->cacheKey());
    EXPECT_EQ(Ctl({QStringLiteral("loop")}), QStringLiteral("Track"));
    Ctl({QStringLiteral("loop"), QStringLiteral("None")});
    EXPECT_EQ(dlg.m_bRepeatAll, 0);
    EXPECT_EQ(Ctl({QStringLiteral("loop")}), QStringLiteral("Track"));
    Ctl({QStringLiteral("loop"), QStringLiteral("Playlist")});
    EXPECT_EQ(dlg.m_bRepeatAll, 1);
    EXPECT_EQ(dlg.m_btnRepeatAll.GetBitmap().cacheKey(), g_hbmRepeatAllOn->cacheKey());
    // News arrive in order: had the refused "None" sent any, it would be second.
    ASSERT_TRUE(WaitForChanges(2));
    EXPECT_EQ(m_recorder.changes[0].changed,
              (QVariantMap{{QStringLiteral("LoopStatus"), QStringLiteral("Track")}}));
    EXPECT_EQ(m_recorder.changes[1].changed,
              (QVariantMap{{QStringLiteral("LoopStatus"), QStringLiteral("Playlist")}}));
}

TEST_F(MprisStateTest, MetadataNamesTheCurrentEntryByUrlAndFileName) {
    StartOnBus({"/m/Tune One.mid", "/m/caf\xe9 #1%.mid"});
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

TEST_F(MprisStateTest, MetadataTellsTheTagsLengthAndPositionTheMediaLayerKnows) {
    platform::MciTrackInfo tagged;
    tagged.title = "Title \xe2\x99\xaa";
    tagged.artist = "Artist";
    tagged.album = "Album";
    tagged.lengthUs = 8000000;
    tagged.positionUs = 1500000;
    m_mci.tracks["/m/0.mid"] = tagged;
    StartOnBus(Tunes(2));
    const QStringList format{
        QStringLiteral("metadata"), QStringLiteral("--format"),
        QStringLiteral("{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}|{{mpris:length}}")};
    EXPECT_EQ(Ctl(format), QStringLiteral("Title \u266A|Artist|Album|8000000"));
    EXPECT_NEAR(Ctl({QStringLiteral("position")}).toDouble(), 1.5, 0.001);
    // Position is asked for anew at each reading.
    m_mci.tracks["/m/0.mid"].positionUs = 2750000;
    EXPECT_EQ(Property(QStringLiteral("Position")), QVariant(qlonglong{2750000}));

    // Stopped, the entry keeps its tags and stands at its start.
    Ctl({QStringLiteral("stop")});
    EXPECT_EQ(Ctl(format), QStringLiteral("Title \u266A|Artist|Album|8000000"));
    EXPECT_EQ(Property(QStringLiteral("Position")), QVariant(qlonglong{0}));

    // A file without tags is named by its file name, with no artist, album
    // or length.
    Ctl({QStringLiteral("next")});
    EXPECT_EQ(Ctl(format), QStringLiteral("1.mid|||"));
}

TEST_F(MprisStateTest, CapabilitiesSayWhatThePlayerCanDo) {
    StartOnBus(Tunes(2));
    for (const char* yes : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious", "CanControl"}) {
        EXPECT_EQ(Property(QLatin1String(yes)), QVariant(true)) << yes;
    }
    // A track always plays from its start.
    EXPECT_EQ(Property(QStringLiteral("CanSeek")), QVariant(false));

    // With the last entry deleted there is nothing to play, and the bus hears.
    m_dlg->m_listMusic.SetCurSel(0);
    m_dlg->OnCommand(IDC_DELETE, 0);
    m_dlg->m_listMusic.SetCurSel(0);
    m_dlg->OnCommand(IDC_DELETE, 0);
    m_service->Refresh();
    for (const char* no : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious"}) {
        EXPECT_EQ(Property(QLatin1String(no)), QVariant(false)) << no;
    }
    EXPECT_EQ(Property(QStringLiteral("CanControl")), QVariant(true));
    ASSERT_TRUE(WaitForChanges(1));
    const QVariantMap& last = m_recorder.changes.back().changed;
    EXPECT_EQ(last.value(QStringLiteral("CanPlay")), QVariant(false));
    EXPECT_EQ(last.value(QStringLiteral("CanGoNext")), QVariant(false));
}

TEST_F(MprisStateTest, WindowAnnouncesExactlyWhatItsEventsChanged) {
    StartOnBus(Tunes(2));
    // The track ends, then the Help button (no news), repeat-one and the tray's
    // Stop; news arrive in order, so news from Help would come second.
    QCoreApplication::postEvent(m_dlg.get(),
                                new platform::MciNotifyEvent(platform::MCI_NOTIFY_SUCCESSFUL, 1));
    for (int id : {IDC_HELP, IDC_REPEATONE, ID_TRAY_STOP}) {
        QCoreApplication::postEvent(m_dlg.get(), new platform::CommandEvent(id));
    }
    ASSERT_TRUE(WaitForChanges(3));
    EXPECT_EQ(m_recorder.changes[0].interface, QStringLiteral("org.mpris.MediaPlayer2.Player"));
    const QVariantMap& first = m_recorder.changes[0].changed;
    EXPECT_EQ(first.keys(), QStringList{QStringLiteral("Metadata")});
    const auto metadata = qdbus_cast<QVariantMap>(first.value(QStringLiteral("Metadata")));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/melvane/track/1"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")), QStringLiteral("file:///m/1.mid"));
    EXPECT_EQ(m_recorder.changes[1].changed,
              (QVariantMap{{QStringLiteral("LoopStatus"), QStringLiteral("Track")}}));
    EXPECT_EQ(m_recorder.changes[2].changed,
              (QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")}}));
}

}  // namespace
