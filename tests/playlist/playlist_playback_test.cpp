#include <string>
#include <vector>

#include "playlist_fixture.h"

namespace {

using Calls = std::vector<std::string>;

class PlaybackTest : public PlaylistTest {
protected:
    std::unique_ptr<CMusicList> ListOf(int n) {
        WriteFile(Lines(n));
        auto list = MakeList();
        m_mci.calls.clear();
        return list;
    }
};

TEST_F(PlaybackTest, ProbeOpensAndClosesTheSequencerQuietlyWhenMidiWorks) {
    MakeList();
    EXPECT_EQ(m_mci.calls[0], "open type 523");
    EXPECT_EQ(m_mci.calls[1], "close sequencer");
    EXPECT_TRUE(m_prompts.app.empty());
}

TEST_F(PlaybackTest, NoMidiShowsBothMessagesAndStartUpGoesOn) {
    m_mci.midiPresent = false;
    WriteFile("/m/a.wav\r\n");
    auto list = MakeList();
    EXPECT_EQ(m_prompts.app, (Calls{"不能打开MIDI设备!", "mcierror"}));
    EXPECT_EQ(list->GetCount(), 1);
}

TEST_F(PlaybackTest, PlayOpensTheCurrentEntryAndNotifiesTheMainWindow) {
    auto list = ListOf(3);
    list->SetCurrent(2);
    EXPECT_TRUE(list->Play());
    EXPECT_EQ(m_mci.calls, (Calls{"open /m/2.mid alias themidi", "play themidi notify"}));
    EXPECT_EQ(m_mci.lastCallback, m_app.mainWnd);
}

TEST_F(PlaybackTest, EmptyListOrNegativeIndexTellsTheUserAndSendsNothing) {
    auto list = ListOf(0);
    EXPECT_FALSE(list->Play());
    auto two = ListOf(2);
    two->SetCurrent(-1);
    EXPECT_FALSE(two->Play());
    EXPECT_TRUE(m_mci.calls.empty());
    EXPECT_EQ(m_prompts.app, (Calls{"No muisic,please add music!", "No muisic,please add music!"}));
}

TEST_F(PlaybackTest, OpenFailureNamesThePathAndKeepsTheIndex) {
    auto list = ListOf(2);
    m_mci.badPaths.insert("/m/1.mid");
    list->SetCurrent(1);
    EXPECT_FALSE(list->Play());
    EXPECT_EQ(m_prompts.app, (Calls{"Can't open file:/m/1.mid!"}));
    EXPECT_EQ(list->m_nCurrent, 1);
    EXPECT_EQ(m_mci.calls.size(), 1u);
}

TEST_F(PlaybackTest, PlayWithoutStopIsRefusedByTheOpenAlias) {
    auto list = ListOf(2);
    ASSERT_TRUE(list->Play());
    EXPECT_FALSE(list->Play());
    EXPECT_EQ(m_prompts.app, (Calls{"Can't open file:/m/0.mid!"}));
}

TEST_F(PlaybackTest, StopSendsStopThenClose) {
    auto list = ListOf(1);
    list->Stop();
    EXPECT_EQ(m_mci.calls, (Calls{"stop themidi", "close themidi"}));
}

TEST_F(PlaybackTest, PrevAndNextWrapAroundTheList) {
    auto list = ListOf(5);
    EXPECT_TRUE(list->Prev());
    EXPECT_EQ(list->m_nCurrent, 4);
    EXPECT_EQ(m_mci.calls, (Calls{"stop themidi", "close themidi", "open /m/4.mid alias themidi",
                                  "play themidi notify"}));
    EXPECT_TRUE(list->Next());
    EXPECT_EQ(list->m_nCurrent, 0);
    EXPECT_TRUE(list->Next());
    EXPECT_EQ(list->m_nCurrent, 1);
}

TEST_F(PlaybackTest, PrevAndNextOnAnEmptyListReportIt) {
    auto list = ListOf(0);
    EXPECT_FALSE(list->Prev());
    EXPECT_EQ(list->m_nCurrent, -1);
    EXPECT_FALSE(list->Next());
    EXPECT_EQ(list->m_nCurrent, 0);
    EXPECT_EQ(m_prompts.app.size(), 2u);
}

TEST_F(PlaybackTest, DestructionStopsAndClosesWithoutSaving) {
    auto list = ListOf(1);
    list->SetCount(0);
    list.reset();
    EXPECT_EQ(m_mci.calls, (Calls{"stop themidi", "close themidi"}));
    EXPECT_EQ(ReadFile(), "/m/0.mid\r\n");
}

}  // namespace
