// The MIDI synth, kept between tracks. Loading a soundfont takes tens of
// milliseconds and megabytes of memory in thousands of blocks; a synth made
// and dropped for every MIDI track made each change into MIDI slower and left
// the heap more scattered after every one. The synth element here wraps the
// installed one (fluiddec): when its track closes, the inner synth stays
// loaded and waits for the next MIDI track with the same soundfont and gain.
#pragma once

#include <gst/gst.h>

#include <vector>

namespace platform::mci_gst {

// The element's factory name; it takes the properties "soundfont" and
// "synth-gain" like the synth it wraps.
inline constexpr const char* kKeptSynthFactory = "melvanesynth";

// Registers the element for this process, in place of the plain synth, which
// decoding then no longer picks by itself; without a synth to wrap there is
// nothing to register. Call after gst_init; later calls do nothing.
void RegisterKeptSynth();

// Synths set aside while another was already waiting; each is the caller's
// to let go of. The waiting one stays.
std::vector<GstElement*> TakeSpentSynths();

// The synth waiting for a next track, or nullptr; the caller's to let go of.
GstElement* TakeWaitingSynth();

// Unloads a synth's soundfont and drops it. The soundfont is freed by a timer
// of the synth's own and this waits for it, up to 100 ms.
void LetGoOfSynth(GstElement* synth);

}  // namespace platform::mci_gst
