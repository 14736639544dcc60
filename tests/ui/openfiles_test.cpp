#include "dlg_fixture.h"

namespace {

// Files named on the command line, at start or handed over by a later start.
class OpenFilesTest : public DlgTest {
protected:
    // Opens, in order, of the media layer.
    std::vector<std::string> Opened() const {
        std::vector<std::string> opened;
        for (const std::string& call : m_mci.calls) {
            if (call.rfind("open /", 0) == 0) {
                opened.push_back(call);
            }
        }
        return opened;
    }
};

TEST_F(OpenFilesTest, FilesNamedAtStartAreAddedSavedAndTheFirstPlaysInsteadOfTheList) {
    WritePlaylist({"/m/x.mid"});
    Start(nullptr, "", {"/m/c.mid", "/m/b.mid"});
    EXPECT_EQ(ListItems(), (Calls{"/m/b.mid", "/m/c.mid", "/m/x.mid"}));
    EXPECT_EQ(ReadPlaylist(), "/m/b.mid\r\n/m/c.mid\r\n/m/x.mid\r\n");
    // The playlist's own first entry is never opened.
    EXPECT_EQ(Opened(), (Calls{"open /m/c.mid alias themidi"}));
    EXPECT_EQ(m_mci.calls.back(), "play themidi notify");
    EXPECT_EQ(m_dlg->m_playlist.m_nCurrent, 1);
    EXPECT_EQ(m_dlg->m_bPlaying, 1);
    EXPECT_TRUE(m_dlg->IsTimerRunning());
    EXPECT_EQ(m_autoStart.value, "/opt/melvane/melvane");
    EXPECT_TRUE(m_prompts.app.empty());
}

TEST_F(OpenFilesTest, ARunningPlayerStopsWhatPlaysForTheNamedFile) {
    WritePlaylist({"/m/x.mid", "/m/y.mid"});
    Start();
    ASSERT_EQ(m_dlg->m_bPlaying, 1);
    Clear();
    m_dlg->OnOpenRequest({"/m/\xff z.wav"});
    EXPECT_EQ(ListItems(), (Calls{"/m/x.mid", "/m/y.mid", "/m/\xff z.wav"}));
    EXPECT_EQ(ReadPlaylist(), "/m/x.mid\r\n/m/y.mid\r\n/m/\xff z.wav\r\n");
    EXPECT_EQ(MciCalls(), Reopen("/m/\xff z.wav"));
    EXPECT_EQ(m_dlg->m_playlist.m_nCurrent, 2);
    EXPECT_EQ(m_dlg->m_bPlaying, 1);
    EXPECT_FALSE(m_dlg->isVisible());
}

TEST_F(OpenFilesTest, TheChecksAndMessagesAreThoseOfAdd) {
    WriteNearlyFullPlaylist();
    Start();
    Clear();
    m_dlg->OnOpenRequest({"/m/bad\nname.mid", "/m/a1.mid", "/m/a2.mid", "/m/a3.mid"});
    EXPECT_EQ(m_dlg->m_listMusic.GetCount(), 100);
    EXPECT_EQ(m_dlg->m_playlist.GetCount(), 100);
    EXPECT_EQ(m_prompts.window,
              (Calls{"Can't add a file whose name contains a line break:\n/m/bad\nname.mid",
                     "The playlist holds at most 100 files; 1 file(s) were not added."}));
    EXPECT_EQ(Opened(), (Calls{"open /m/a1.mid alias themidi"}));
}

TEST_F(OpenFilesTest, WhenNothingCanBeAddedItEndsAsAddDoes) {
    WritePlaylist({"/m/x.mid"});
    Start();
    m_dlg->OnStop();
    Clear();
    m_dlg->OnOpenRequest({"/m/bad\rname.mid"});
    EXPECT_EQ(ListItems(), (Calls{"/m/x.mid"}));
    EXPECT_EQ(m_prompts.window.size(), 1u);
    // The rebuild's tail: saved, and entry 0 plays since nothing did.
    EXPECT_EQ(ReadPlaylist(), "/m/x.mid\r\n");
    EXPECT_EQ(Opened(), (Calls{"open /m/x.mid alias themidi"}));
}

TEST_F(OpenFilesTest, AFileThatWillNotOpenLeavesThePlayerStopped) {
    WritePlaylist({"/m/x.mid"});
    Start();
    ASSERT_EQ(m_dlg->m_bPlaying, 1);
    Clear();
    m_mci.badPaths.insert("/m/gone.mid");
    m_dlg->OnOpenRequest({"/m/gone.mid"});
    EXPECT_EQ(m_prompts.app, (Calls{"Can't open file:/m/gone.mid!"}));
    EXPECT_EQ(m_dlg->m_bPlaying, 0);
    EXPECT_FALSE(m_dlg->IsTimerRunning());
    EXPECT_FALSE(m_mci.IsOpen("themidi"));
    EXPECT_EQ(ReadPlaylist(), "/m/gone.mid\r\n/m/x.mid\r\n");
}

TEST_F(OpenFilesTest, AStartWithoutFilesShowsTheWindow) {
    WritePlaylist({"/m/x.mid"});
    Start();
    ASSERT_FALSE(m_dlg->isVisible());
    Clear();
    m_dlg->OnOpenRequest({});
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_TRUE(MciCalls().empty());
    EXPECT_EQ(ReadPlaylist(), "/m/x.mid\r\n");
}

TEST_F(OpenFilesTest, ThePlaylistFolderGivenIsTheOneUsed) {
    QTemporaryDir data;
    const std::string folder = data.path().toStdString() + "/melvane";
    WritePlaylist({"/m/here.mid"});
    Start(nullptr, folder, {"/m/a.mid"});
    EXPECT_EQ(ListItems(), (Calls{"/m/a.mid"}));
    EXPECT_EQ(ReadPlaylist(), "/m/here.mid\r\n");
    EXPECT_EQ(ReadBytes(folder + "/Music.mus"), "/m/a.mid\r\n");
}

}  // namespace
