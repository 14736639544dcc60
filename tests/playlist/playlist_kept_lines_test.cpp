// Lines the table cannot hold (past the 100th entry, or longer than any path)
// stay in the file, after the entries, byte for byte, and are never held in
// memory whole.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "playlist_fixture.h"

namespace {

class KeptLinesTest : public PlaylistTest {
protected:
    // The entries as the file holds them.
    static std::string Saved(const CMusicList& list) {
        std::string bytes;
        for (const std::string& entry : Entries(list)) {
            bytes += entry + "\r\n";
        }
        return bytes;
    }
};

TEST_F(KeptLinesTest, LinesPastTheHundredthStayAfterTheEntriesThroughEveryEdit) {
    // Line ends of every kind, a lone carriage return, bytes that are not
    // UTF-8, an empty line, and no line break at the very end.
    const std::string tail = "/m/100.mid\n/m/101\r.mid\r\n\r\n/m/\xff\xfe.mp3\n/m/last.wav";
    WriteFile(Lines(100) + tail);

    auto list = MakeList();
    ASSERT_EQ(list->GetCount(), 100);
    EXPECT_EQ(list->GetMusic(99), "/m/99.mid");

    // Delete the first entry, as the window rewrites the table.
    for (int i = 0; i < 99; ++i) {
        list->SetMusic(i, list->GetMusic(i + 1));
    }
    list->SetMusic(99, "");
    list->SetCount(99);
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadFile(), Saved(*list) + tail);

    // Add one back: the kept lines now come from the file the delete wrote.
    list->SetMusic(99, "/m/new.mid");
    list->SetCount(100);
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadFile(), Saved(*list) + tail);

    // A new start loads the same 100 and keeps the same lines.
    auto again = MakeList();
    ASSERT_EQ(again->GetCount(), 100);
    EXPECT_EQ(again->GetMusic(99), "/m/new.mid");
    ASSERT_TRUE(again->Save());
    EXPECT_EQ(ReadFile(), Saved(*list) + tail);
}

// An over-long line cannot be shown as an entry: it is kept with its own line
// end, after the entries, in its order among the other kept lines.
TEST_F(KeptLinesTest, LinesLongerThanAnyPathAreKeptAfterTheEntries) {
    const std::size_t max = CMusicList::kMaxEntryLength;
    const std::string longest(max, 'y');
    const std::string overLong1 = std::string(max + 1, 'x') + "\n";
    const std::string overLong2 = std::string(max, 'z') + "z\r\n";
    WriteFile(overLong1 + "/m/a.mid\r\n" + longest + "\r\n" + overLong2 + "/m/c.mid");

    auto list = MakeList();
    EXPECT_EQ(Entries(*list), (std::vector<std::string>{"/m/a.mid", longest, "/m/c.mid"}));
    // What start-up opens ahead is the store's first entry.
    EXPECT_EQ(ReadFirstMusic(m_path), "/m/a.mid");

    list->SetCount(2);
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadFile(), "/m/a.mid\r\n" + longest + "\r\n" + overLong1 + overLong2);
    EXPECT_EQ(MakeList()->GetCount(), 2);
}

TEST_F(KeptLinesTest, LineEndsFallingBetweenTwoReadsLoadAsUsual) {
    // The file is read 64 KiB at a time: this carriage return is the last
    // byte of the first read and its line feed the first of the next.
    std::string bytes;
    for (int i = 0; i < 16; ++i) {
        bytes += std::string(4000, 'a') + "\r\n";
    }
    bytes += std::string(65535 - bytes.size(), 'b') + "\r\n/m/next.mid\n";
    WriteFile(bytes);
    auto list = MakeList();
    ASSERT_EQ(list->GetCount(), 18);
    EXPECT_EQ(list->GetMusic(16), std::string(1503, 'b'));
    EXPECT_EQ(list->GetMusic(17), "/m/next.mid");
}

// A first line of 300 MB (a sparse file, so the disk is spared while it is
// made) loads and saves within a bound of memory far below the line's size,
// and the save gives it back whole. Peak memory is measured in a child, so
// that nothing else this process did counts.
TEST_F(KeptLinesTest, AHugeLineTakesBoundedMemoryAndIsKeptByteForByte) {
    const off_t kHuge = 300 * 1024 * 1024;
    const long kBoundKiB = 64 * 1024;
    const std::string after = "\n/m/b.mid\r\n";
    {
        const int fd = ::open(FilePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, after.data(), after.size(), kHuge),
                  static_cast<ssize_t>(after.size()));
        ::close(fd);
    }

    struct Outcome {
        int count;
        bool firstIsB;
        bool readAheadIsB;
        bool saved;
        long growthKiB;
    };
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        Outcome outcome{};
        {
            const bool readAheadIsB = ReadFirstMusic(m_path) == "/m/b.mid";
            auto list = MakeList();
            outcome.count = list->GetCount();
            outcome.firstIsB = list->GetMusic(0) == "/m/b.mid";
            outcome.readAheadIsB = readAheadIsB;
            outcome.saved = list->Save();
        }
        rusage afterUse{};
        ::getrusage(RUSAGE_SELF, &afterUse);
        outcome.growthKiB = afterUse.ru_maxrss - before.ru_maxrss;
        const bool sent =
            ::write(pipeFds[1], &outcome, sizeof outcome) == static_cast<ssize_t>(sizeof outcome);
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipeFds[1]);
    Outcome outcome{};
    const ssize_t got = ::read(pipeFds[0], &outcome, sizeof outcome);
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof outcome));
    EXPECT_EQ(outcome.count, 1);
    EXPECT_TRUE(outcome.firstIsB);
    EXPECT_TRUE(outcome.readAheadIsB);
    EXPECT_TRUE(outcome.saved);
    RecordProperty("peak_memory_growth_kib", std::to_string(outcome.growthKiB));
    EXPECT_LT(outcome.growthKiB, kBoundKiB)
        << "peak memory grew by " << outcome.growthKiB << " KiB while loading and saving";

    // The saved file: the entry, then the huge line with its line end.
    const std::string entry = "/m/b.mid\r\n";
    struct stat st {};
    ASSERT_EQ(::stat(FilePath().c_str(), &st), 0);
    ASSERT_EQ(st.st_size, static_cast<off_t>(entry.size()) + kHuge + 1);
    std::FILE* saved = std::fopen(FilePath().c_str(), "rb");
    ASSERT_NE(saved, nullptr);
    std::vector<char> chunk(1 << 20);
    ASSERT_EQ(std::fread(chunk.data(), 1, entry.size(), saved), entry.size());
    EXPECT_EQ(std::string(chunk.data(), entry.size()), entry);
    off_t zeros = 0;
    bool onlyZeros = true;
    while (zeros < kHuge && onlyZeros) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<off_t>(kHuge - zeros, static_cast<off_t>(chunk.size())));
        const std::size_t n = std::fread(chunk.data(), 1, want, saved);
        ASSERT_EQ(n, want);
        for (std::size_t i = 0; i < n && onlyZeros; ++i) {
            onlyZeros = chunk[i] == 0;
        }
        zeros += static_cast<off_t>(n);
    }
    EXPECT_TRUE(onlyZeros);
    EXPECT_EQ(std::fgetc(saved), '\n');
    EXPECT_EQ(std::fgetc(saved), EOF);
    std::fclose(saved);
}

}  // namespace
