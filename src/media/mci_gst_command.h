// The command strings the media layer understands, and the soundfont search:
// the parts of the layer that need no pipeline, kept apart so they can be
// checked on their own.
#pragma once

#include <string>
#include <vector>

#include "platform/mci.h"

namespace platform::mci_gst {

struct Command {
    enum class Verb { Play, Stop, Close };
    Verb verb = Verb::Play;
    std::string alias;  // folded to lower case: aliases ignore case
    bool notify = false;
};

// "play A [notify]", "stop A", "close A"; words are separated by blanks and
// compared without case. Returns 0 and fills `command`, or
// MCIERR_UNRECOGNIZED_COMMAND (unknown verb or extra word) or
// MCIERR_INVALID_DEVICE_NAME (no alias).
MCIERROR ParseCommand(const std::string& text, Command* command);

// Lower-case ASCII, so "TheMidi" and "themidi" name the same track.
std::string FoldAlias(const std::string& alias);

// An alias can be named in a command string: not empty, no blanks.
bool IsValidAlias(const std::string& alias);

// True when `path` is a readable RIFF soundfont (SF2, or SF3 which shares
// its header).
bool IsSoundfont(const std::string& path);

// The first soundfont among `places`: a file is taken as it is, a folder's
// *.sf2 and *.sf3 files are tried in name order. Empty when there is none.
std::string FindSoundfont(const std::vector<std::string>& places);

}  // namespace platform::mci_gst
