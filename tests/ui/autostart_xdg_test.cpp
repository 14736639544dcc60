#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/autostart_xdg.h"
#include "support/desktop_entry_parser.h"
#include "support/temp_dir.h"

namespace {

class XdgAutoStartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    std::string Dir() const { return m_dir.path().toStdString() + "/autostart"; }
    std::string Entry() const { return Dir() + "/DefName.desktop"; }
    std::string Contents() const { return ReadBytes(Entry()); }

    QTemporaryDir m_dir;
};

TEST_F(XdgAutoStartTest, AwkwardPathsComeBackExactlyFromTheEntry) {
    const std::string paths[] = {
        "/opt/melvane/melvane",
        "/home/a b/my \"player\"/mel`vane`$HOME\\x/100%/melvane",
        "/home/用户/音乐播放器/melvane",
        "/tmp/%f %u %%/it's;a&b|c>d<e(f)*?#~/melvane",
        "/tmp/tab\there/new\nline/melvane",
    };
    platform::XdgAutoStart autoStart(Dir());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(autoStart.OpenKey());
        ASSERT_TRUE(autoStart.SetValue("DefName", path));
        autoStart.CloseKey();
        const auto value = test::ReadExecValue(Entry());
        ASSERT_TRUE(value.has_value());
        const auto args = test::ParseExec(*value);
        ASSERT_TRUE(args.has_value());
        ASSERT_EQ(args->size(), 1u);
        EXPECT_EQ((*args)[0], path);
    }
}

TEST_F(XdgAutoStartTest, EntryPassesTheDesktopFileValidator) {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        GTEST_SKIP() << "desktop-file-validate is not installed";
    }
    platform::XdgAutoStart autoStart(Dir());
    ASSERT_TRUE(autoStart.OpenKey());
    ASSERT_TRUE(autoStart.SetValue("DefName", "/home/a b/\"q\"/$x/100%/用户/melvane"));
    QProcess process;
    process.start(validator, {QString::fromStdString(Entry())});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardOutput().toStdString();
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

TEST_F(XdgAutoStartTest, PathsAnEntryCannotCarryFailToSetAndWriteNothing) {
    const std::string paths[] = {
        std::string("/tmp/bad\xff\xfe/melvane"),   // not UTF-8
        std::string("/tmp/\xc0\xaf/melvane"),      // an overlong slash
        std::string("/tmp/\xed\xa0\x80/melvane"),  // a surrogate
        std::string("/tmp/bell\x07/melvane"),      // a control character
        std::string("/tmp/del\x7f/melvane"),       // DEL
        std::string("/tmp/cut\xe7\x94/melvane"),   // a character cut short
    };
    platform::XdgAutoStart autoStart(Dir());
    for (const std::string& path : paths) {
        SCOPED_TRACE(testing::PrintToString(path));
        EXPECT_FALSE(platform::IsDesktopExecPath(path));
        ASSERT_TRUE(autoStart.OpenKey());
        EXPECT_FALSE(autoStart.SetValue("DefName", path));
        autoStart.CloseKey();
        EXPECT_NE(::access(Entry().c_str(), F_OK), 0);
    }
    // Every other character of any length is fine.
    EXPECT_TRUE(platform::IsDesktopExecPath("/t\t\n\r/\xc2\xa0\xe7\x94\xa8\xf0\x9f\x8e\xb5/m"));
}

TEST_F(XdgAutoStartTest, DeleteRemovesTheEntryAndFailsWhenItIsGone) {
    platform::XdgAutoStart autoStart(Dir());
    ASSERT_TRUE(autoStart.OpenKey());
    ASSERT_TRUE(autoStart.SetValue("DefName", "/opt/m"));
    EXPECT_TRUE(autoStart.DeleteValue("DefName"));
    EXPECT_NE(::access(Entry().c_str(), F_OK), 0);
    EXPECT_FALSE(autoStart.DeleteValue("DefName"));
}

TEST_F(XdgAutoStartTest, EntryIsWrittenOnlyWhenItWouldChange) {
    platform::XdgAutoStart autoStart(Dir());
    ASSERT_TRUE(autoStart.OpenKey());
    ASSERT_TRUE(autoStart.SetValue("DefName", "/opt/m"));
    struct stat first {};
    ASSERT_EQ(::stat(Entry().c_str(), &first), 0);

    // The same value again: the very file stays, unwritten.
    ASSERT_TRUE(autoStart.SetValue("DefName", "/opt/m"));
    struct stat again {};
    ASSERT_EQ(::stat(Entry().c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, first.st_ino);
    EXPECT_EQ(again.st_mtim.tv_sec, first.st_mtim.tv_sec);
    EXPECT_EQ(again.st_mtim.tv_nsec, first.st_mtim.tv_nsec);

    // An entry edited since, even by one byte at its end, is written whole.
    std::ofstream(Entry(), std::ios::app) << "Comment[de]=x\n";
    ASSERT_TRUE(autoStart.SetValue("DefName", "/opt/m"));
    EXPECT_EQ(Contents().find("Comment[de]"), std::string::npos);
    EXPECT_EQ(test::ParseExec(test::ReadExecValue(Entry()).value_or("")),
              std::vector<std::string>{"/opt/m"});

    // Another path replaces it.
    ASSERT_TRUE(autoStart.SetValue("DefName", "/opt/other"));
    EXPECT_EQ(test::ParseExec(test::ReadExecValue(Entry()).value_or("")),
              std::vector<std::string>{"/opt/other"});
}

TEST_F(XdgAutoStartTest, EntryTheUserSwitchedOffStaysAsTheUserLeftIt) {
    // As desktops' settings write them: the keys added or changed in place,
    // spaces around '=' allowed, an older path left in Exec.
    const std::string switchedOff[] = {
        "[Desktop Entry]\nType=Application\nExec=\"/old/m\"\nHidden=true\n",
        "[Desktop Entry]\nType=Application\nExec=\"/opt/m\"\nX-GNOME-Autostart-enabled=false\n",
        "# mine\n[Desktop Entry]\r\nExec=\"/opt/m\"\r\nHidden = true\r\n",
    };
    for (const std::string& text : switchedOff) {
        SCOPED_TRACE(text);
        platform::XdgAutoStart autoStart(Dir());
        ASSERT_TRUE(autoStart.OpenKey());
        std::ofstream(Entry(), std::ios::binary | std::ios::trunc) << text;
        struct stat before {};
        ASSERT_EQ(::stat(Entry().c_str(), &before), 0);

        EXPECT_TRUE(autoStart.SetValue("DefName", "/opt/m"));
        struct stat after {};
        ASSERT_EQ(::stat(Entry().c_str(), &after), 0);
        EXPECT_EQ(Contents(), text);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

        // Exit keeps it too: removing it would have the next start write an
        // enabled one.
        EXPECT_TRUE(autoStart.DeleteValue("DefName"));
        EXPECT_EQ(Contents(), text);
        autoStart.CloseKey();
    }
}

TEST_F(XdgAutoStartTest, EntryStillSwitchedOnIsWrittenAndDeletedAsBefore) {
    // Only the main group counts, and only those two values.
    const std::string switchedOn[] = {
        "[Desktop Entry]\nExec=\"/opt/m\"\nHidden=false\nX-GNOME-Autostart-enabled=true\n",
        "[Desktop Entry]\nExec=\"/opt/m\"\n[Desktop Action x]\nHidden=true\n",
        "[Desktop Entry]\nExec=\"/opt/m\"\n#Hidden=true\nHidden[de]=true\n",
    };
    for (const std::string& text : switchedOn) {
        SCOPED_TRACE(text);
        platform::XdgAutoStart autoStart(Dir());
        ASSERT_TRUE(autoStart.OpenKey());
        std::ofstream(Entry(), std::ios::binary | std::ios::trunc) << text;
        EXPECT_TRUE(autoStart.SetValue("DefName", "/opt/m"));
        EXPECT_NE(Contents(), text);
        EXPECT_NE(Contents().find("X-GNOME-Autostart-enabled=true\n"), std::string::npos);
        EXPECT_TRUE(autoStart.DeleteValue("DefName"));
        EXPECT_NE(::access(Entry().c_str(), F_OK), 0);
        autoStart.CloseKey();
    }
}

TEST_F(XdgAutoStartTest, FolderThatCannotBeMadeFailsToOpen) {
    // A file where a folder should be defeats even root.
    const std::string blocker = m_dir.path().toStdString() + "/file";
    std::ofstream(blocker) << "x";
    platform::XdgAutoStart autoStart(blocker + "/autostart");
    EXPECT_FALSE(autoStart.OpenKey());
    EXPECT_FALSE(autoStart.SetValue("DefName", "/opt/m"));
}

TEST_F(XdgAutoStartTest, EntryThatCannotBeWrittenFailsToSet) {
    platform::XdgAutoStart autoStart(Dir());
    ASSERT_TRUE(autoStart.OpenKey());
    // A folder in the entry's place cannot be replaced by a file.
    ASSERT_EQ(::mkdir(Entry().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((Entry() + "/x").c_str(), 0755), 0);
    EXPECT_FALSE(autoStart.SetValue("DefName", "/opt/m"));
}

TEST(AutoStartDirectoryTest, FollowsXdgConfigHomeAndIgnoresARelativeOne) {
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldConfig != nullptr ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(platform::AutoStartDirectory(), "/tmp/cfg/autostart");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", ::getenv("HOME") != nullptr ? ::getenv("HOME") : "/root", 1);
    EXPECT_EQ(platform::AutoStartDirectory(), std::string(::getenv("HOME")) + "/.config/autostart");
    if (oldConfig != nullptr) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
