// The MIDI synth, kept between tracks. Loading a soundfont takes tens of
// milliseconds and megabytes of memory in thousands of blocks; a synth made
// and dropped for every MIDI track made each change into MIDI slower and left
// the heap more scattered after every one. The synth element here drives
// FluidSynth itself: when its track closes, its synth stays loaded and waits
// for the next MIDI track with the same soundfont and gain. It loads only the
// samples of the instruments a tune selects, not the whole soundfont.
#pragma once

#include <gst/gst.h>

#include <vector>

namespace platform::mci_gst {

// The element's factory name; it takes the properties "soundfont" and
// "synth-gain".
inline constexpr const char* kKeptSynthFactory = "melvanesynth";

// Registers the element for this process, in place of GStreamer's own
// FluidSynth element, which decoding then no longer picks by itself. Without
// that element FluidSynth is not installed, and nothing is registered. Call
// after gst_init; later calls do nothing.
void RegisterKeptSynth();

// A synth with its soundfont loaded.
struct Synth;

// Synths set aside while another was already waiting; each is the caller's
// to let go of. The waiting one stays.
std::vector<Synth*> TakeSpentSynths();

// The synth waiting for a next track, or nullptr; the caller's to let go of.
Synth* TakeWaitingSynth();

// Unloads a synth's soundfont and drops it.
void LetGoOfSynth(Synth* synth);

}  // namespace platform::mci_gst
