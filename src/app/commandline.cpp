#include "app/commandline.h"

namespace {

// Relative names are taken from where the command was given, before start-up
// moves to the program's folder; "." names and doubled slashes go.
std::string MakeAbsolute(const std::string& path, const std::string& workingDirectory) {
    const std::string whole = path.front() == '/' ? path : workingDirectory + "/" + path;
    std::string clean;
    std::size_t start = 0;
    while (start <= whole.size()) {
        std::size_t end = whole.find('/', start);
        if (end == std::string::npos) {
            end = whole.size();
        }
        const std::string name = whole.substr(start, end - start);
        if (!name.empty() && name != ".") {
            clean += "/" + name;
        }
        start = end + 1;
    }
    return clean.empty() ? "/" : clean;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv,
                             const std::string& workingDirectory) {
    CommandLine result;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (options && word == "--") {
            options = false;
        } else if (options && (word == "-h" || word == "--help")) {
            return CommandLine{CommandLine::Action::kHelp, {}, {}};
        } else if (options && word == "--version") {
            return CommandLine{CommandLine::Action::kVersion, {}, {}};
        } else if (options && word.size() > 1 && word.front() == '-') {
            return CommandLine{CommandLine::Action::kError, {}, "unknown option '" + word + "'"};
        } else if (word.empty()) {
            return CommandLine{CommandLine::Action::kError, {}, "an empty file name"};
        } else if (word.front() != '/' && workingDirectory.empty()) {
            return CommandLine{CommandLine::Action::kError,
                               {},
                               "cannot tell where '" + word + "' is: the current folder is gone"};
        } else {
            result.files.push_back(MakeAbsolute(word, workingDirectory));
        }
    }
    return result;
}

const char* Usage() {
    return "Usage: melvane [FILE...]\n"
           "       melvane --help | --version\n"
           "\n"
           "Plays MIDI, WAV and MP3 files from the system tray.\n"
           "\n"
           "With FILEs, adds them to the playlist and plays the first of them;\n"
           "a player that is already running takes them. Without FILEs, starts\n"
           "the player, or shows the running player's window.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the version and exit\n"
           "  --             end of options: what follows are files\n";
}

const char* VersionText() {
    return "melvane 1.0\n";
}
