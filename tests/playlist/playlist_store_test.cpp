#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "playlist_fixture.h"
#include "support/private_mounts.h"
#include "without_file_override.h"

namespace {

using StoreTest = PlaylistTest;

TEST_F(StoreTest, MissingFileIsCreatedEmptyBesideTheWorkingDirectory) {
    auto list = MakeList();
    EXPECT_EQ(list->m_szFileName, FilePath());
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->m_nCurrent, 0);
    struct stat st {};
    ASSERT_EQ(::stat(FilePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
}

TEST_F(StoreTest, LinesLoadWholeWithEmptyLinesAndEitherLineEnd) {
    WriteFile("/m/a.mid\r\n\r\n/m/c d.mp3\n/m/last.wav");
    EXPECT_EQ(Entries(*MakeList()),
              (std::vector<std::string>{"/m/a.mid", "", "/m/c d.mp3", "/m/last.wav"}));
}

TEST_F(StoreTest, TrailingLineBreakGivesNoExtraEntryAndAnLfOnlyFileSavesWithCrLf) {
    WriteFile("/m/a.mid\n/m/b.mid\n");
    auto list = MakeList();
    EXPECT_EQ(list->GetCount(), 2);
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadFile(), "/m/a.mid\r\n/m/b.mid\r\n");
}

TEST_F(StoreTest, LoadStopsAtOneHundredEntries) {
    WriteFile(Lines(150));
    auto list = MakeList();
    EXPECT_EQ(list->GetCount(), 100);
    EXPECT_EQ(list->GetMusic(99), "/m/99.mid");
}

TEST_F(StoreTest, SaveWritesOnlyCountedEntriesExactly) {
    auto list = MakeList();
    list->SetMusic(0, "/m/a.mid");
    list->SetMusic(1, "/m/b.mp3");
    list->SetMusic(2, "/m/stale.wav");
    list->SetCount(2);
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadFile(), "/m/a.mid\r\n/m/b.mp3\r\n");

    list->SetCount(0);
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadFile(), "");
}

TEST_F(StoreTest, PathBytesThatAreNotUtf8SurviveLoadAndSave) {
    const std::string odd = std::string("/m/\xff\xfe caf\xe9\t%s\\.mid");
    WriteFile(odd + "\r\n");
    auto list = MakeList();
    ASSERT_EQ(list->GetCount(), 1);
    EXPECT_EQ(list->GetMusic(0), odd);
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadFile(), odd + "\r\n");
}

TEST_F(StoreTest, FailedSaveKeepsTheOldFileAndTellsTheUser) {
    WriteFile("/m/keep.mid\r\n");
    auto list = MakeList();
    // A folder the player may not write to, as for a user.
    ASSERT_EQ(::chmod(m_path.c_str(), 0500), 0);
    {
        WithoutFileOverride asUser;
        ASSERT_TRUE(asUser.Taken()) << "the thread's capabilities could not be changed";
        list->SetMusic(0, "/m/new.mid");
        EXPECT_FALSE(list->Save());
    }
    ASSERT_EQ(::chmod(m_path.c_str(), 0700), 0);
    EXPECT_EQ(ReadFile(), "/m/keep.mid\r\n");
    ASSERT_EQ(m_prompts.app.size(), 1u);
    EXPECT_EQ(m_prompts.app[0], "Can't save the playlist file:" + FilePath() + "!");
}

TEST_F(StoreTest, FifoInThePlaylistsPlaceDoesNotHangTheLoad) {
    ASSERT_EQ(::mkfifo(FilePath().c_str(), 0644), 0);
    EXPECT_EQ(MakeList()->GetCount(), 0);
}

TEST_F(StoreTest, SaveThroughASymlinkRewritesTheLinkedFile) {
    const std::string real = m_path + "/real.mus";
    std::ofstream(real, std::ios::binary) << "/m/old.mid\r\n";
    ASSERT_EQ(::symlink(real.c_str(), FilePath().c_str()), 0);
    auto list = MakeList();
    ASSERT_EQ(list->GetCount(), 1);
    list->SetMusic(0, "/m/new.mid");
    ASSERT_TRUE(list->Save());
    struct stat st {};
    ASSERT_EQ(::lstat(FilePath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(), "/m/new.mid\r\n");
}

// What the start-up opens ahead is what the store will play first: entry 0.
TEST_F(StoreTest, FirstMusicReadAheadIsTheStoresFirstEntryAndChangesNothing) {
    const std::string notUtf8 = "/m/\xff\xfe song.wav";
    const std::string files[] = {notUtf8 + "\r\n/m/b.mid\r\n", notUtf8, "\r\n/m/b.mid\r\n"};
    for (const std::string& bytes : files) {
        WriteFile(bytes);
        EXPECT_EQ(ReadFirstMusic(m_path), MakeList()->GetMusic(0));
    }
    WriteFile("/m/a.mid\n");
    EXPECT_EQ(ReadFirstMusic(m_path + "/"), "/m/a.mid");
    // Missing, or a FIFO in its place: nothing, nothing made, no wait.
    ASSERT_EQ(::unlink(FilePath().c_str()), 0);
    EXPECT_EQ(ReadFirstMusic(m_path), "");
    EXPECT_NE(::access(FilePath().c_str(), F_OK), 0);
    ASSERT_EQ(::mkfifo(FilePath().c_str(), 0644), 0);
    EXPECT_EQ(ReadFirstMusic(m_path), "");
}

TEST_F(StoreTest, MoveNextWrapsAndStaysAtZeroWhenEmpty) {
    WriteFile("a\nb\n");
    auto list = MakeList();
    list->SetCurrent(1);
    list->MoveNext();
    EXPECT_EQ(list->m_nCurrent, 0);
    list->SetCount(0);
    list->MoveNext();
    EXPECT_EQ(list->m_nCurrent, 0);
}

// A folder named with its closing slash, as the root directory is, gets the
// file's name added directly, without a second slash.
TEST_F(StoreTest, FolderEndingInASlashGetsTheNameWithoutASecondSlash) {
    CMusicList list(m_mci, m_prompts, m_app, m_path + "/");
    EXPECT_EQ(list.m_szFileName, FilePath());
}

// The root directory itself as the working directory: a temporary folder made
// the root of a child process, so nothing is written to the machine's root.
TEST_F(StoreTest, RootDirectoryAsWorkingDirectoryGivesSlashMusicMus) {
    const std::string folder = m_path;
    const PrivateMountsOutcome outcome = RunWithPrivateMounts([&folder]() -> std::string {
        if (::chroot(folder.c_str()) != 0 || ::chdir("/") != 0) {
            return "could not make the temporary folder the root";
        }
        FakeMci mci;
        FakePrompts prompts;
        FakeApp app;
        CMusicList list(mci, prompts, app);
        return list.m_szFileName == "/Music.mus" ? std::string()
                                                 : "the file is " + list.m_szFileName;
    });
    if (!outcome.ran) {
        GTEST_SKIP() << "no private mount namespace: needs root or user namespaces";
    }
    EXPECT_EQ(outcome.failure, "");
    // Made in the folder that stood for the root.
    EXPECT_EQ(::access(FilePath().c_str(), F_OK), 0);
}

}  // namespace
