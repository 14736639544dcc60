#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "playlist/playlistplace.h"
#include "playlist_fixture.h"
#include "support/as_other_user.h"
#include "support/temp_dir.h"

namespace {

bool Never(const std::string&) {
    return false;
}

TEST(PlaylistPlaceTest, UserDataHomeFollowsXdgThenHome) {
    EXPECT_EQ(UserDataHome("/x/data", "/home/u"), "/x/data");
    // A relative or empty XDG_DATA_HOME does not count.
    EXPECT_EQ(UserDataHome("rel/data", "/home/u"), "/home/u/.local/share");
    EXPECT_EQ(UserDataHome("", "/home/u/"), "/home/u/.local/share");
    EXPECT_EQ(UserDataHome(nullptr, "/home/u"), "/home/u/.local/share");
    EXPECT_EQ(UserDataHome(nullptr, nullptr), "");
    EXPECT_EQ(UserDataHome(nullptr, "relative"), "");
}

TEST(PlaylistPlaceTest, AWritableProgramFolderKeepsThePlaylist) {
    TempDir program;
    const std::string folder = program.Path() + "/";
    EXPECT_EQ(ChoosePlaylistFolder(folder, "/x/data"), folder);
}

TEST(PlaylistPlaceTest, AReadOnlyProgramFolderSendsItToTheDataFolder) {
    TempDir program;
    const std::string folder = program.Path() + "/";
    EXPECT_EQ(ChoosePlaylistFolder(folder, "/x/data", Never), "/x/data/melvane");
    EXPECT_EQ(ChoosePlaylistFolder(folder, "/x/data/", Never), "/x/data/melvane");
    // Without a data folder to go to, it stays where it was.
    EXPECT_EQ(ChoosePlaylistFolder(folder, "", Never), folder);
}

TEST(PlaylistPlaceTest, APlaylistBesideAReadOnlyProgramIsKept) {
    TempDir program;
    const std::string folder = program.Path();
    std::ofstream(folder + "/Music.mus") << "/m/a.mid\r\n";
    EXPECT_EQ(ChoosePlaylistFolder(folder, "/x/data", Never), folder);
}

// The real check, as an ordinary user: a folder of someone else's that only
// they may write is not the place, and a folder of one's own is.
TEST(PlaylistPlaceTest, WritabilityIsTheUsersOwn) {
    TempDir top;
    const std::string root = top.Path();
    const std::string shut = root + "/shut";
    const std::string open = root + "/open";
    ASSERT_EQ(::mkdir(shut.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
    ASSERT_EQ(::chown(open.c_str(), OrdinaryUserId(), static_cast<gid_t>(-1)), 0);
    if (!RunningAsRoot()) {
        ASSERT_EQ(::chmod(shut.c_str(), 0555), 0);
    }
    EXPECT_TRUE(AsOrdinaryUser([&] {
        return !IsWritableFolder(shut) && IsWritableFolder(open) &&
               ChoosePlaylistFolder(shut, "/x/data") == "/x/data/melvane" &&
               ChoosePlaylistFolder(open, "/x/data") == open;
    }));
    ::chmod(shut.c_str(), 0755);
}

using PlaylistFolderTest = PlaylistTest;

TEST_F(PlaylistFolderTest, TheStoreReadsTheFolderItIsGivenNotTheWorkingOne) {
    TempDir data;
    const std::string folder = data.Path();
    std::ofstream(folder + "/Music.mus", std::ios::binary) << "/m/there.mid\r\n";
    WriteFile("/m/here.mid\r\n");
    CMusicList list(m_mci, m_prompts, m_app, folder);
    EXPECT_EQ(list.m_szFileName, folder + "/Music.mus");
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetMusic(0), "/m/there.mid");
    EXPECT_EQ(ReadFirstMusic(folder), "/m/there.mid");
}

TEST_F(PlaylistFolderTest, AMissingDataFolderIsMadeAtTheFirstSave) {
    TempDir data;
    const std::string folder = data.Path() + "/share/melvane";
    CMusicList list(m_mci, m_prompts, m_app, folder);
    EXPECT_EQ(list.GetCount(), 0);
    struct stat st {};
    EXPECT_NE(::stat(folder.c_str(), &st), 0) << "made before anything was saved";
    list.SetMusic(0, "/m/a.mid");
    list.SetCount(1);
    ASSERT_TRUE(list.Save());
    EXPECT_TRUE(m_prompts.app.empty());
    EXPECT_EQ(ReadBytes(folder + "/Music.mus"), "/m/a.mid\r\n");
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The folder turns read-only while the player runs: the save fails and says
// so, the old file stays whole, and the entries wait in the store for the
// next save that can be made.
TEST_F(PlaylistFolderTest, AFolderThatTurnsReadOnlyKeepsTheOldFileAndTheEntries) {
    TempDir data;
    const std::string root = data.Path();
    const std::string folder = root + "/melvane";
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::chown(folder.c_str(), OrdinaryUserId(), static_cast<gid_t>(-1)), 0);
    const std::string file = folder + "/Music.mus";
    EXPECT_TRUE(AsOrdinaryUser([&] {
        CMusicList list(m_mci, m_prompts, m_app, folder);
        list.SetMusic(0, "/m/a.mid");
        list.SetCount(1);
        if (!list.Save() || ::chmod(folder.c_str(), 0555) != 0) {
            return false;
        }
        list.SetMusic(1, "/m/b.mid");
        list.SetCount(2);
        const bool failed = !list.Save();
        const bool told =
            m_prompts.app == std::vector<std::string>{"Can't save the playlist file:" + file + "!"};
        const bool oldKept = ReadBytes(file) == "/m/a.mid\r\n";
        const bool kept = list.GetCount() == 2 && list.GetMusic(1) == "/m/b.mid";
        if (::chmod(folder.c_str(), 0755) != 0) {
            return false;
        }
        const bool savedLater = list.Save() && ReadBytes(file) == "/m/a.mid\r\n/m/b.mid\r\n";
        return failed && told && oldKept && kept && savedLater;
    }));
}

}  // namespace
