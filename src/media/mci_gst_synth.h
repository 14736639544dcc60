// The MIDI synth, kept between tracks. Loading a soundfont takes tens of
// milliseconds and megabytes of memory in thousands of blocks; a synth made
// and dropped for every MIDI track made each change into MIDI slower and left
// the heap more scattered after every one. The synth element here drives
// FluidSynth itself: when its track closes, its synth goes back to the
// layer's SynthPool and waits there for the next MIDI track with the same
// soundfont and gain. It loads only the samples of the instruments a tune
// selects, not the whole soundfont.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::mci_gst {

// The element's factory name; it takes the properties "soundfont" and
// "synth-gain".
inline constexpr const char* kKeptSynthFactory = "melvanesynth";

// Registers the element for this process (element factories are
// process-wide), in place of GStreamer's own FluidSynth element, which
// decoding then no longer picks by itself. Without that element FluidSynth is
// not installed, and nothing is registered. Call after gst_init; later calls
// do nothing.
void RegisterKeptSynth();

// A synth with its soundfont loaded.
struct Synth;
// Unloads the synth's soundfont and drops it.
struct SynthUnload {
    void operator()(Synth* synth) const;
};
using SynthPtr = std::unique_ptr<Synth, SynthUnload>;

// The synths of one layer that outlive their tracks: the one waiting for the
// next MIDI track, and those set aside for the owner to free. Tracks take and
// hand back synths on GStreamer's threads; freeing a soundfont takes a while,
// so it is done only when the owner asks, on the owner's thread.
class SynthPool {
public:
    SynthPool() = default;
    ~SynthPool();
    SynthPool(const SynthPool&) = delete;
    SynthPool& operator=(const SynthPool&) = delete;

    // The waiting synth, if it was loaded for the same soundfont and gain and
    // its file has not changed since; one whose file has is set aside.
    SynthPtr TakeFor(const std::string& soundfont, double gain);
    // `synth` waits for the next track; the one that waited is set aside.
    void HandBack(SynthPtr synth);
    // Frees the synths set aside; the waiting one stays.
    void FreeSpent();
    // Frees the synths set aside and the waiting one.
    void FreeAll();

private:
    void Free(std::vector<SynthPtr> synths);

    std::mutex m_mutex;
    SynthPtr m_waiting;             // guarded by m_mutex
    std::vector<SynthPtr> m_spent;  // guarded by m_mutex
};

// Has the kept-synth `element` take its synth from `pool` and hand it back
// there when its stream ends; the element holds the pool until it is
// finalized. An element given no pool loads a synth for each stream and
// frees it after. Call before the element leaves NULL.
void UseSynthPool(GstElement* element, std::shared_ptr<SynthPool> pool);

}  // namespace platform::mci_gst
