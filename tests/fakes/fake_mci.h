// A media layer that plays nothing: it records every request in order and
// keeps just enough state (open aliases, the sequencer) to answer like the
// real one. Tests set which paths fail to open and whether MIDI is present.
#pragma once

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/mci.h"

class FakeMci : public platform::IMci {
public:
    platform::MCIERROR OpenType(std::uint32_t deviceType) override {
        Record("open type " + std::to_string(deviceType));
        if (deviceType != platform::MCI_DEVTYPE_SEQUENCER || !midiPresent) {
            return platform::MCIERR_CANNOT_LOAD_DRIVER;
        }
        open.insert("sequencer");
        return 0;
    }

    platform::MCIERROR OpenElement(const std::string& path, const std::string& alias) override {
        Record("open " + path + " alias " + alias);
        if (badPaths.count(path) != 0) {
            return platform::MCIERR_FILE_NOT_FOUND;
        }
        if (!open.insert(alias).second) {
            return platform::MCIERR_DUPLICATE_ALIAS;
        }
        openPaths[alias] = path;
        return 0;
    }

    // Describes an open track from `tracks`, found by its path.
    bool GetTrackInfo(const std::string& alias, platform::MciTrackInfo* info) override {
        if (open.count(alias) == 0 || openPaths.count(alias) == 0) {
            return false;
        }
        const auto found = tracks.find(openPaths[alias]);
        *info = found != tracks.end() ? found->second : platform::MciTrackInfo();
        info->path = openPaths[alias];
        return true;
    }

    platform::MCIERROR SendString(const std::string& command, platform::HWND callback) override {
        Record(command);
        std::istringstream words(command);
        std::string verb, alias, flag;
        words >> verb >> alias >> flag;
        if (open.count(alias) == 0) {
            return platform::MCIERR_INVALID_DEVICE_NAME;
        }
        if (verb == "close") {
            open.erase(alias);
        } else if (verb == "play" && flag == "notify") {
            lastCallback = callback;
        }
        return 0;
    }

    void Record(const std::string& call) {
        calls.push_back(call);
        if (journal != nullptr) {
            journal->push_back("mci: " + call);
        }
    }

    bool IsOpen(const std::string& alias) const { return open.count(alias) != 0; }

    std::vector<std::string> calls;
    std::set<std::string> badPaths;
    bool midiPresent = true;
    platform::HWND lastCallback = nullptr;
    // When set, every request is also written here, to check the order of work
    // across services.
    std::vector<std::string>* journal = nullptr;
    std::set<std::string> open;
    std::map<std::string, std::string> openPaths;  // alias -> path
    // What GetTrackInfo tells of a track, by its path.
    std::map<std::string, platform::MciTrackInfo> tracks;
};
