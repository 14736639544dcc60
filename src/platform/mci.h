// The media layer as the playlist engine sees it: one open track per alias,
// opened synchronously, played with a completion notification, stopped and
// closed by alias. Plain C++ on purpose: the engine must not see GStreamer.
#pragma once

#include <cstdint>
#include <string>

#include "wincompat/hwnd.h"

namespace platform {

using MCIERROR = std::uint32_t;  // 0 = success

constexpr std::uint32_t MM_MCINOTIFY = 0x03B9;

constexpr std::uint32_t MCI_NOTIFY_SUCCESSFUL = 0x0001;
// Never sent by our media layer (a new play aborts the old one); kept because
// the window must treat it as it treats ABORTED should any sender post it.
constexpr std::uint32_t MCI_NOTIFY_SUPERSEDED = 0x0002;
constexpr std::uint32_t MCI_NOTIFY_ABORTED = 0x0004;
constexpr std::uint32_t MCI_NOTIFY_FAILURE = 0x0008;

constexpr std::uint32_t MCI_DEVTYPE_SEQUENCER = 523;

constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = 263;
constexpr MCIERROR MCIERR_CANNOT_LOAD_DRIVER = 266;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = 275;
constexpr MCIERROR MCIERR_DEVICE_NOT_READY = 276;
constexpr MCIERROR MCIERR_DUPLICATE_ALIAS = 289;
constexpr MCIERROR MCIERR_INVALID_FILE = 296;

// What the media layer knows of an open track.
struct MciTrackInfo {
    std::string path;  // as it was opened
    // From the file's own tags, UTF-8; empty when the file has none.
    std::string title;
    std::string artist;
    std::string album;
    std::int64_t lengthUs = -1;    // -1 when unknown
    std::int64_t positionUs = -1;  // how far playback is; -1 when unknown
};

class IMci {
public:
    virtual ~IMci() = default;

    // Opens a device by type id (only MCI_DEVTYPE_SEQUENCER is known) and keeps
    // it open under its type name until "close sequencer". Returns 0 when the
    // device can play, MCIERR_CANNOT_LOAD_DRIVER when it cannot (for the
    // sequencer: no MIDI synth or no General MIDI soundfont).
    virtual MCIERROR OpenType(std::uint32_t deviceType) = 0;

    // Opens the file at `path` under `alias`, ready to play. Returns 0 on
    // success; nonzero, synchronously and within a few seconds, when the file is
    // missing, unreadable, a directory, empty, not audio, cannot be decoded or
    // stalls, and when `alias` is already open. The device picks the decoder
    // from the content, not the name.
    virtual MCIERROR OpenElement(const std::string& path, const std::string& alias) = 0;

    // Command strings: "play A", "play A notify", "stop A", "close A",
    // "close sequencer". Returns 0 or an MCIERR_ code (unknown alias, unknown
    // command). "play" returns at once. After "play A notify" with a non-null
    // callback, exactly one MM_MCINOTIFY reaches that window later, on the GUI
    // thread: SUCCESSFUL at the natural end, ABORTED when A is stopped, closed or
    // played again first, FAILURE on a stream error. Never more than one.
    // When the error was the audio output's own (the sound server went away),
    // the layer then tries every second or so to open an output, and posts one
    // output message (MciOutputEvent) to that window once one opens. The
    // silent stand-in that the default output takes without a sound server
    // does not count as opening; once a real output was had, a track that got
    // only the stand-in fails at its output when played.
    virtual MCIERROR SendString(const std::string& command, HWND callback) = 0;

    // Describes the track open under `alias`: the tags its open came across
    // (no further reading of the file), its length and where playback is.
    // False when nothing is open under `alias`. GUI thread, returns at once.
    virtual bool GetTrackInfo(const std::string& alias, MciTrackInfo* info) = 0;
};

}  // namespace platform
