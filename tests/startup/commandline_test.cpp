#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/commandline.h"

namespace {

using Files = std::vector<std::string>;

CommandLine Parse(std::vector<const char*> words, const std::string& cwd = "/home/u/music") {
    words.insert(words.begin(), "melvane");
    return ParseCommandLine(static_cast<int>(words.size()), words.data(), cwd);
}

TEST(CommandLineTest, NoArgumentsStartThePlayer) {
    const CommandLine line = Parse({});
    EXPECT_EQ(line.action, CommandLine::Action::kRun);
    EXPECT_TRUE(line.files.empty());
}

TEST(CommandLineTest, HelpAndVersionAnswerWhateverElseIsGiven) {
    EXPECT_EQ(Parse({"--help"}).action, CommandLine::Action::kHelp);
    EXPECT_EQ(Parse({"a.mid", "-h"}).action, CommandLine::Action::kHelp);
    EXPECT_EQ(Parse({"--version", "a.mid"}).action, CommandLine::Action::kVersion);
    EXPECT_STREQ(VersionText(), "melvane 1.0\n");
    EXPECT_EQ(std::string(Usage()).rfind("Usage: melvane [FILE...]\n", 0), 0u);
}

TEST(CommandLineTest, AnUnknownOptionIsAnErrorThatNamesIt) {
    for (const char* word : {"--play", "-x", "-platform", "---"}) {
        const CommandLine line = Parse({"a.mid", word});
        EXPECT_EQ(line.action, CommandLine::Action::kError) << word;
        EXPECT_NE(line.error.find(word), std::string::npos) << line.error;
    }
    EXPECT_EQ(Parse({""}).action, CommandLine::Action::kError);
}

TEST(CommandLineTest, FilesBecomeAbsoluteAgainstTheFolderTheyWereNamedIn) {
    EXPECT_EQ(
        Parse({"a.mid", "./sub/b.wav", "/m//x/./c.mp3", "-"}).files,
        (Files{"/home/u/music/a.mid", "/home/u/music/sub/b.wav", "/m/x/c.mp3", "/home/u/music/-"}));
    EXPECT_EQ(Parse({"a.mid"}, "/").files, (Files{"/a.mid"}));
    // Without a known folder a relative name cannot be placed; an absolute one can.
    EXPECT_EQ(Parse({"a.mid"}, "").action, CommandLine::Action::kError);
    EXPECT_EQ(Parse({"/m/a.mid"}, "").files, (Files{"/m/a.mid"}));
}

TEST(CommandLineTest, AfterTwoDashesEveryWordIsAFile) {
    EXPECT_EQ(Parse({"--", "--help", "-x.mid"}).files,
              (Files{"/home/u/music/--help", "/home/u/music/-x.mid"}));
}

TEST(CommandLineTest, FileNamesKeepTheirBytes) {
    EXPECT_EQ(Parse({"/m/\xff\xfe name \t.mid", "caf\xc3\xa9\n.wav"}).files,
              (Files{"/m/\xff\xfe name \t.mid", "/home/u/music/caf\xc3\xa9\n.wav"}));
}

}  // namespace
