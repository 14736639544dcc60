#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/autostart_xdg.h"
#include "support/temp_dir.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A link planted where the entry's new file might be made is never written
// through, and never becomes the entry.
TEST(AtomicFileTest, TheAutostartEntryIsNeverWrittenThroughALink) {
    TempDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.Path() + "/autostart";
    const std::string victim = dir.Path() + "/victim";
    std::ofstream(victim, std::ios::binary) << "keep";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string entry = folder + "/DefName.desktop";
    for (const std::string& name :
         {entry + ".tmp" + std::to_string(::getpid()), entry + ".tmp", entry + ".tmp0"}) {
        ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);
    }

    platform::XdgAutoStart autoStart(folder);
    ASSERT_TRUE(autoStart.OpenKey());
    ASSERT_TRUE(autoStart.SetValue("DefName", "/opt/melvane/melvane"));

    EXPECT_EQ(ReadAll(victim), "keep");
    struct stat st {};
    ASSERT_EQ(::lstat(entry.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0644u & ~mask);
    EXPECT_NE(ReadAll(entry).find("Exec=\"/opt/melvane/melvane\"\n"), std::string::npos);
}

// A write that fails half way (here: the file size limit) leaves the old file
// whole and nothing of the new one behind.
TEST(AtomicFileTest, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
    TempDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string target = dir.Path() + "/Music.mus";
    std::ofstream(target, std::ios::binary) << "/m/old.mid\r\n";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool replaced = platform::ReplaceFileWith(target, std::string(10000, 'x'));
        ::_exit(replaced ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as done";
    EXPECT_EQ(ReadAll(target), "/m/old.mid\r\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"Music.mus"});
}

}  // namespace
