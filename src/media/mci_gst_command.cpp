#include "media/mci_gst_command.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "media/mci_gst.h"

namespace platform {
namespace mci_gst {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (IsBlank(c)) {
            if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

bool HasSoundfontExtension(const std::string& name) {
    const std::string folded = FoldAlias(name);
    auto endsWith = [&](const char* suffix) {
        const std::size_t n = std::strlen(suffix);
        return folded.size() > n && folded.compare(folded.size() - n, n, suffix) == 0;
    };
    return endsWith(".sf2") || endsWith(".sf3");
}

}  // namespace

std::string FoldAlias(const std::string& alias) {
    std::string folded = alias;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

bool IsValidAlias(const std::string& alias) {
    return !alias.empty() && std::none_of(alias.begin(), alias.end(), IsBlank) &&
           alias.find('\0') == std::string::npos;
}

MCIERROR ParseCommand(const std::string& text, Command* command) {
    const std::vector<std::string> words = SplitWords(text);
    if (words.empty()) {
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    const std::string verb = FoldAlias(words[0]);
    if (verb == "play") {
        command->verb = Command::Verb::Play;
    } else if (verb == "stop") {
        command->verb = Command::Verb::Stop;
    } else if (verb == "close") {
        command->verb = Command::Verb::Close;
    } else {
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    if (words.size() < 2 || !IsValidAlias(words[1])) {
        return MCIERR_INVALID_DEVICE_NAME;
    }
    command->alias = FoldAlias(words[1]);
    command->notify = false;
    if (words.size() == 3 && command->verb == Command::Verb::Play &&
        FoldAlias(words[2]) == "notify") {
        command->notify = true;
    } else if (words.size() > 2) {
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    return 0;
}

bool IsSoundfont(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[12] = {};
    if (!file.read(header, sizeof header)) {
        return false;
    }
    return std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "sfbk", 4) == 0;
}

std::string FindSoundfont(const std::vector<std::string>& places) {
    namespace fs = std::filesystem;
    for (const std::string& place : places) {
        std::error_code error;
        const fs::file_status status = fs::status(place, error);
        if (error) {
            continue;
        }
        if (fs::is_regular_file(status)) {
            if (IsSoundfont(place)) {
                return place;
            }
            continue;
        }
        if (!fs::is_directory(status)) {
            continue;
        }
        std::vector<std::string> candidates;
        for (fs::directory_iterator it(place, error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (HasSoundfontExtension(name)) {
                candidates.push_back(it->path().string());
            }
        }
        std::sort(candidates.begin(), candidates.end());
        for (const std::string& candidate : candidates) {
            if (fs::is_regular_file(candidate, error) && IsSoundfont(candidate)) {
                return candidate;
            }
        }
    }
    return std::string();
}

}  // namespace mci_gst

std::vector<std::string> DefaultSoundfontPlaces() {
    std::vector<std::string> places = {"/usr/share/sounds/sf3/default-GM.sf3",
                                       "/usr/share/sounds/sf2/default-GM.sf2"};
    const char* env = std::getenv("XDG_DATA_DIRS");
    const std::string dataDirs =
        (env != nullptr && env[0] != '\0') ? env : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dataDirs.size()) {
        std::size_t end = dataDirs.find(':', start);
        if (end == std::string::npos) {
            end = dataDirs.size();
        }
        const std::string dir = dataDirs.substr(start, end - start);
        if (!dir.empty()) {
            places.push_back(dir + "/sounds/sf2");
            places.push_back(dir + "/sounds/sf3");
        }
        start = end + 1;
    }
    return places;
}

}  // namespace platform
