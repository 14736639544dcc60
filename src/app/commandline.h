// The player's command line: music files to add and play, or a question
// answered without starting the player.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    enum class Action { kRun, kHelp, kVersion, kError };
    Action action = Action::kRun;
    // The files to add, made absolute against the folder the command was
    // given in; their bytes are kept as they came.
    std::vector<std::string> files;
    // For kError: what was wrong, in one line.
    std::string error;
};

// Reads argv[1..argc-1]. "-h"/"--help" and "--version" answer at once; "--"
// ends the options, so a file may begin with "-"; any other word beginning
// with "-" is an error. A lone "-" is a file of that name.
CommandLine ParseCommandLine(int argc, const char* const* argv,
                             const std::string& workingDirectory);

// The usage text, ending in a line break.
const char* Usage();
// "melvane 1.0" and a line break.
const char* VersionText();
