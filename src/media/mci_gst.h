// The media layer on GStreamer: each alias is one pipeline that reads the
// file, finds its format and plays its first audio stream, into a sink the
// program chooses (the desktop's default output). The layer owns its tracks,
// the MIDI synths kept between them, and the shutdowns of stalled ones; the
// first track may be opened ahead, before the layer is made, and handed to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/mci.h"

namespace platform {

// The places the MIDI synth's soundfont is looked for, in order:
// /usr/share/sounds/sf3/default-GM.sf3, /usr/share/sounds/sf2/default-GM.sf2,
// then the sounds/sf2 and sounds/sf3 folders under each of $XDG_DATA_DIRS
// (default /usr/local/share:/usr/share).
std::vector<std::string> DefaultSoundfontPlaces();

struct GstMciOptions {
    // The audio output as a gst-launch description ("fakesink sync=true",
    // "wavenc ! filesink location=out.wav"); a new one is made for every open.
    std::string sinkDescription = "autoaudiosink";
    // How long an open waits for the first audio before it gives up.
    int openTimeoutMs = 5000;
    // Soundfont files, or folders whose *.sf2 and *.sf3 files are tried in
    // name order; the first real soundfont wins. Empty: MIDI cannot play.
    std::vector<std::string> soundfontPlaces = DefaultSoundfontPlaces();
    // The synth's master gain. The synth's own default (0.2) is far quieter
    // than ordinary WAV and MP3 files; this brings MIDI to about their level.
    double midiGain = 2.5;
    // How long the MIDI synth stays loaded after its track closes, waiting
    // for a next MIDI track with the same soundfont and gain.
    int keepSynthMs = 30000;
    // After a play failed at its output, how often an output is tried again.
    int outputRetryMs = 1000;
};

namespace mci_gst {
struct Ahead;
}

// A first track opening on a thread of its own (GstMci::OpenAhead) until the
// GstMci it is handed to takes it. Dropped unused, it stops the open and
// frees the track before its destructor returns, waiting only for the
// pipeline's shutdown. Move-only; a default-made one holds nothing.
class OpenAheadTrack {
public:
    OpenAheadTrack();
    OpenAheadTrack(OpenAheadTrack&&) noexcept;
    OpenAheadTrack& operator=(OpenAheadTrack&&) noexcept;
    ~OpenAheadTrack();

private:
    friend class GstMci;
    explicit OpenAheadTrack(std::unique_ptr<mci_gst::Ahead> ahead);
    std::unique_ptr<mci_gst::Ahead> m_ahead;
};

// Must be made, used and destroyed on the GUI thread: notifications are
// delivered through that thread's event loop. gst_init runs on first use.
class GstMci : public IMci {
public:
    // `ahead`, if it was opened with the same options, goes to the first
    // OpenElement when that opens the same, unchanged file (same device,
    // inode, size and time of last change); any other open ignores it and
    // lets it go. Made with other options, it is let go of at once.
    explicit GstMci(GstMciOptions options = GstMciOptions(),
                    OpenAheadTrack ahead = OpenAheadTrack());
    // Waits for the shutdowns of stalled tracks, ten seconds at most.
    ~GstMci() override;

    // Starts GStreamer, then opens `path` on a thread of its own while the
    // program goes on starting; returns once GStreamer has started, with the
    // track to hand to the GstMci made next. Call on the GUI thread; Qt need
    // not have started.
    static OpenAheadTrack OpenAhead(const std::string& path,
                                    GstMciOptions options = GstMciOptions());

    GstMci(const GstMci&) = delete;
    GstMci& operator=(const GstMci&) = delete;

    MCIERROR OpenType(std::uint32_t deviceType) override;
    MCIERROR OpenElement(const std::string& path, const std::string& alias) override;
    // "play" always starts the track from its beginning.
    MCIERROR SendString(const std::string& command, HWND callback) override;
    bool GetTrackInfo(const std::string& alias, MciTrackInfo* info) override;

    // The soundfont the MIDI synth uses; empty when none was found.
    const std::string& Soundfont() const;

    // Named here so that the pipelines' callbacks can reach it; defined and
    // used only in the implementation.
    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
