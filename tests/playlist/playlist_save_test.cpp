// Saving under hostile conditions: a playlist the player cannot read, links
// planted where the new file is written, files left by a player killed while
// it saved.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "playlist_fixture.h"
#include "without_file_override.h"

namespace {

using Calls = std::vector<std::string>;

class SaveTest : public PlaylistTest {
protected:
    mode_t ModeOf(const std::string& name) const {
        struct stat st {};
        return ::lstat((m_path + "/" + name).c_str(), &st) == 0 ? (st.st_mode & 07777) : 07777;
    }
    bool IsLink(const std::string& name) const {
        struct stat st {};
        return ::lstat((m_path + "/" + name).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    }
    std::set<std::string> Names() const { return m_dir.Names(); }
    // Reads a file whatever its mode.
    std::string ReadAnyMode(const std::string& name) const {
        const std::string path = m_path + "/" + name;
        ::chmod(path.c_str(), 0600);
        return m_dir.Read(name);
    }
    // A start that finds the playlist unreadable, says nothing, and one Add.
    std::unique_ptr<CMusicList> StartAndAdd(const std::string& path) {
        auto list = MakeList();
        EXPECT_EQ(list->GetCount(), 0);
        EXPECT_TRUE(m_prompts.app.empty());
        list->SetMusic(0, path);
        list->SetCount(1);
        EXPECT_TRUE(list->Save());
        return list;
    }
    Calls ToldKeptAs(const std::string& name) const {
        return {"The playlist file could not be read; it was kept as " + m_path + "/" + name + "."};
    }
    static mode_t NewFileMode() {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return 0666 & ~mask;
    }
};

// Unreadable, as for the player without root's override: each round puts the
// playlist aside under a name not yet taken, and says where, once.
TEST_F(SaveTest, UnreadablePlaylistIsNeverOverwrittenAndTheUserIsToldWhereItWent) {
    WriteFile("/m/first.mid\r\n");
    m_dir.Write("Music.mus.bak", "the user's own file\n");
    ASSERT_EQ(::chmod(FilePath().c_str(), 0), 0);
    {
        WithoutFileOverride asUser;
        ASSERT_TRUE(asUser.Taken()) << "the thread's capabilities could not be changed";
        ASSERT_LT(::open(FilePath().c_str(), O_RDONLY), 0) << "mode 000 is still readable";

        auto list = StartAndAdd("/m/a.mid");
        EXPECT_EQ(m_prompts.app, ToldKeptAs("Music.mus.bak1"));
        EXPECT_EQ(ModeOf("Music.mus"), NewFileMode());
        EXPECT_EQ(ModeOf("Music.mus.bak1"), 0u);
        // Told once: the next save of the same run is an ordinary one.
        ASSERT_TRUE(list->Save());
        EXPECT_EQ(m_prompts.app.size(), 1u);

        // The next start finds its playlist unreadable again.
        ASSERT_EQ(::chmod(FilePath().c_str(), 0), 0);
        m_prompts.app.clear();
        StartAndAdd("/m/b.mid");
        EXPECT_EQ(m_prompts.app, ToldKeptAs("Music.mus.bak2"));
        EXPECT_EQ(ReadFile(), "/m/b.mid\r\n");
    }
    EXPECT_EQ(ReadAnyMode("Music.mus.bak"), "the user's own file\n");
    EXPECT_EQ(ReadAnyMode("Music.mus.bak1"), "/m/first.mid\r\n");
    EXPECT_EQ(ReadAnyMode("Music.mus.bak2"), "/m/a.mid\r\n");
}

TEST_F(SaveTest, AFolderInThePlaylistsPlaceIsKeptAsideToo) {
    ASSERT_EQ(::mkdir(FilePath().c_str(), 0755), 0);
    StartAndAdd("/m/a.mid");
    EXPECT_EQ(m_prompts.app, ToldKeptAs("Music.mus.bak"));
    EXPECT_EQ(ReadFile(), "/m/a.mid\r\n");
    struct stat st {};
    ASSERT_EQ(::stat((FilePath() + ".bak").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(SaveTest, ReplacedFileKeepsItsModeAndANewOneGetsTheUmasks) {
    const mode_t oldMask = ::umask(027);
    auto fresh = MakeList();
    fresh->SetCount(0);
    EXPECT_TRUE(fresh->Save());
    EXPECT_EQ(ModeOf("Music.mus"), 0640u);
    ASSERT_EQ(::chmod(FilePath().c_str(), 0604), 0);
    EXPECT_TRUE(MakeList()->Save());
    EXPECT_EQ(ModeOf("Music.mus"), 0604u);
    ::umask(oldMask);
}

// Links at the names a save could be expected to use (earlier versions wrote
// "Music.mus.tmp<pid>") lead nowhere: the file outside stays as it was and
// Music.mus is a file of its own.
TEST_F(SaveTest, LinksPlantedAtTemporaryNamesCannotRedirectTheSave) {
    ASSERT_EQ(::mkdir((m_path + "/elsewhere").c_str(), 0755), 0);
    const std::string victim = m_path + "/elsewhere/victim";
    m_dir.Write("elsewhere/victim", "precious\n");
    WriteFile("/m/old.mid\r\n");
    auto list = MakeList();
    const std::string planted = "Music.mus.tmp" + std::to_string(::getpid());
    ASSERT_EQ(::symlink(victim.c_str(), (m_path + "/" + planted).c_str()), 0);
    list->SetMusic(0, "/m/new.mid");
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(m_dir.Read("elsewhere/victim"), "precious\n");
    EXPECT_FALSE(IsLink("Music.mus"));
    EXPECT_EQ(ReadFile(), "/m/new.mid\r\n");
    EXPECT_TRUE(IsLink(planted));
}

// What a player killed during a save left goes at the next save; anything
// else that only looks alike stays: other names, links, folders, and a file
// another save is still writing (it holds it locked).
TEST_F(SaveTest, FilesLeftByAKilledSaveAreRemovedAtTheNextSave) {
    WriteFile("/m/a.mid\r\n");
    m_dir.Write("elsewhere", "outside\n");
    m_dir.Write("Music.mus.tmp4242", "/m/half");
    m_dir.Write("Music.mus.tmp0f3a9c2b7d1e4a5b", "/m/half");
    m_dir.Write("Music.mus.tmp", "not ours\n");
    m_dir.Write("Music.mus.tmp1.txt", "not ours\n");
    m_dir.Write("Other.mus.tmp1", "not ours\n");
    m_dir.Write("Music.mus.tmp55", "/m/being written");
    ASSERT_EQ(::symlink((m_path + "/elsewhere").c_str(), (m_path + "/Music.mus.tmp99").c_str()), 0);
    ASSERT_EQ(::mkdir((m_path + "/Music.mus.tmp77").c_str(), 0755), 0);
    const int busy = ::open((m_path + "/Music.mus.tmp55").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(busy, 0);
    ASSERT_EQ(::flock(busy, LOCK_EX), 0);

    ASSERT_TRUE(MakeList()->Save());
    ::close(busy);
    EXPECT_EQ(Names(),
              (std::set<std::string>{"Music.mus", "elsewhere", "Music.mus.tmp",
                                     "Music.mus.tmp1.txt", "Other.mus.tmp1", "Music.mus.tmp55",
                                     "Music.mus.tmp99", "Music.mus.tmp77"}));
    EXPECT_EQ(m_dir.Read("elsewhere"), "outside\n");
    EXPECT_EQ(ReadFile(), "/m/a.mid\r\n");
}

}  // namespace
