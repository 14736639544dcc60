#include "platform/mci_gst_synth.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

namespace platform::mci_gst {
namespace {

// The installed synth that does the work.
constexpr const char* kInnerSynth = "fluiddec";
// Its own master gain when none is set.
constexpr gdouble kInnerDefaultGain = 0.2;

// The synth renders in blocks of this many frames and keeps what it has not
// handed out yet of the last block for its next output.
constexpr std::uint64_t kSynthBlockFrames = 64;
// It writes 32-bit float stereo.
constexpr gsize kSynthFrameBytes = 2 * sizeof(float);
constexpr int kMidiChannels = 16;
constexpr guint8 kControlChange = 0xB0;
constexpr guint8 kAllSoundOff = 120;

// What travels with a synth from track to track. A new stream on a synth that
// has played before, a next track or a replay, starts from silence: the
// synth's own reset leaves the voices that were sounding to ring out, and the
// rest of its last block still holds the previous stream's end.
struct SynthHistory {
    std::atomic<std::uint64_t> framesRendered{0};
    std::atomic<bool> voicesToSilence{false};
    std::atomic<std::uint64_t> staleFrames{0};

    void MarkNewStream() {
        const std::uint64_t rest = framesRendered % kSynthBlockFrames;
        staleFrames = rest == 0 ? 0 : kSynthBlockFrames - rest;
        voicesToSilence = framesRendered > 0;
    }
};

GQuark HistoryQuark() {
    static const GQuark quark = g_quark_from_static_string("melvane-synth-history");
    return quark;
}

SynthHistory* HistoryOf(GstElement* inner) {
    return static_cast<SynthHistory*>(g_object_get_qdata(G_OBJECT(inner), HistoryQuark()));
}

GstBuffer* MidiEvent(guint8 status, guint8 first, guint8 second) {
    const guint8 bytes[] = {status, first, second};
    return gst_buffer_new_memdup(bytes, sizeof(bytes));
}

// Before a new stream's first event: every channel's sound off, at once.
// They carry that event's time, so the synth renders nothing for them (sent
// without a time, they left the voices sounding).
GstPadProbeReturn OnSynthInput(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* history = static_cast<SynthHistory*>(data);
    if ((info->type & GST_PAD_PROBE_TYPE_EVENT_FLUSH) != 0) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP) {
            history->MarkNewStream();
        }
        return GST_PAD_PROBE_OK;
    }
    if ((info->type & GST_PAD_PROBE_TYPE_BUFFER) != 0 && history->voicesToSilence.exchange(false)) {
        const GstClockTime start = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
        for (int channel = 0; channel < kMidiChannels; ++channel) {
            const guint8 status = static_cast<guint8>(kControlChange | channel);
            GstBuffer* event = MidiEvent(status, kAllSoundOff, 0);
            GST_BUFFER_PTS(event) = start;
            gst_pad_chain(pad, event);
        }
    }
    return GST_PAD_PROBE_OK;
}

// Counts what the synth renders, and silences the rest of the last stream's
// block at the start of a new one.
GstPadProbeReturn OnSynthOutput(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* history = static_cast<SynthHistory*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const std::uint64_t frames = gst_buffer_get_size(buffer) / kSynthFrameBytes;
    history->framesRendered += frames;
    const std::uint64_t stale = std::min(history->staleFrames.load(), frames);
    if (stale == 0) {
        return GST_PAD_PROBE_OK;
    }
    history->staleFrames -= stale;
    buffer = gst_buffer_make_writable(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    gst_buffer_memset(buffer, 0, 0, static_cast<gsize>(stale) * kSynthFrameBytes);
    return GST_PAD_PROBE_OK;
}

// A new synth, with its history and the probes that keep it.
GstElement* MakeInnerSynth(const std::string& soundfont, gdouble gain) {
    GstElement* made = gst_element_factory_make(kInnerSynth, nullptr);
    if (made == nullptr) {
        return nullptr;
    }
    GstElement* inner = GST_ELEMENT_CAST(gst_object_ref_sink(made));
    g_object_set(inner, "soundfont", soundfont.c_str(), "synth-gain", gain, nullptr);
    auto* history = new SynthHistory;
    g_object_set_qdata_full(G_OBJECT(inner), HistoryQuark(), history,
                            [](gpointer data) { delete static_cast<SynthHistory*>(data); });
    GstPad* sink = gst_element_get_static_pad(inner, "sink");
    GstPad* src = gst_element_get_static_pad(inner, "src");
    if (sink != nullptr) {
        gst_pad_add_probe(sink,
                          static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                       GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                          OnSynthInput, history, nullptr);
        gst_object_unref(sink);
    }
    if (src != nullptr) {
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, OnSynthOutput, history, nullptr);
        gst_object_unref(src);
    }
    return inner;
}

struct KeptSynth {
    GstBin bin;
    GstPad* sink;
    GstPad* src;
    GstElement* inner;  // a reference of our own, from READY until back to NULL
    bool innerIsNew;    // it loads its soundfont as the bin goes to READY
    gchar* soundfont;
    gdouble gain;
};

struct KeptSynthClass {
    GstBinClass parent;
};

enum Property : guint { kPropertySoundfont = 1, kPropertyGain };

GstBinClass* g_parentClass = nullptr;

// The synth waiting for the next MIDI track, with what it was loaded for.
// Tracks open and close on the GUI thread, on streaming threads and on a
// pipeline's own shutdown thread, hence the lock.
struct Keeper {
    std::mutex mutex;
    GstElement* waiting = nullptr;
    std::string soundfont;
    gdouble gain = 0.0;
    std::vector<GstElement*> spent;
};

// Never destroyed: a pipeline shutting down on its own thread may still hand
// its synth back while the program exits.
Keeper& TheKeeper() {
    static Keeper* keeper = new Keeper;
    return *keeper;
}

GstElement* TakeFor(const std::string& soundfont, gdouble gain) {
    Keeper& keeper = TheKeeper();
    std::lock_guard<std::mutex> lock(keeper.mutex);
    if (keeper.waiting == nullptr || keeper.soundfont != soundfont || keeper.gain != gain) {
        return nullptr;
    }
    return std::exchange(keeper.waiting, nullptr);
}

// `loaded`: the synth still holds its soundfont and can play the next track.
void HandBack(GstElement* inner, const std::string& soundfont, gdouble gain, bool loaded) {
    Keeper& keeper = TheKeeper();
    std::lock_guard<std::mutex> lock(keeper.mutex);
    if (!loaded) {
        keeper.spent.push_back(inner);
        return;
    }
    if (keeper.waiting != nullptr) {
        keeper.spent.push_back(keeper.waiting);
    }
    keeper.waiting = inner;
    keeper.soundfont = soundfont;
    keeper.gain = gain;
}

KeptSynth* Self(gpointer object) {
    return static_cast<KeptSynth*>(object);
}

void SetTargets(KeptSynth* self, GstElement* inner) {
    for (GstPad* ghost : {self->sink, self->src}) {
        GstPad* target =
            inner != nullptr ? gst_element_get_static_pad(inner, GST_PAD_NAME(ghost)) : nullptr;
        gst_ghost_pad_set_target(GST_GHOST_PAD_CAST(ghost), target);
        if (target != nullptr) {
            gst_object_unref(target);
        }
    }
}

// Puts a synth inside: the waiting one if it was loaded with the same
// soundfont and gain, else a new one that loads its soundfont as it goes to
// READY with the rest of the bin.
bool Attach(KeptSynth* self) {
    const std::string soundfont = self->soundfont != nullptr ? self->soundfont : "";
    if (soundfont.empty()) {
        return false;
    }
    GstElement* inner = TakeFor(soundfont, self->gain);
    self->innerIsNew = inner == nullptr;
    if (inner == nullptr) {
        inner = MakeInnerSynth(soundfont, self->gain);
    }
    if (inner == nullptr) {
        return false;
    }
    if (!gst_bin_add(GST_BIN_CAST(self), inner)) {
        HandBack(inner, soundfont, self->gain, false);
        return false;
    }
    self->inner = inner;
    SetTargets(self, inner);
    return true;
}

// Takes the synth out before the bin goes to NULL, which would unload its
// soundfont, and hands it on to the next track.
void Detach(KeptSynth* self, bool keep) {
    GstElement* inner = std::exchange(self->inner, nullptr);
    if (inner == nullptr) {
        return;
    }
    SetTargets(self, nullptr);
    GstState state = GST_STATE_VOID_PENDING;
    gst_element_get_state(inner, &state, nullptr, 0);
    gst_bin_remove(GST_BIN_CAST(self), inner);
    HandBack(inner, self->soundfont != nullptr ? self->soundfont : "", self->gain,
             keep && state == GST_STATE_READY);
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
    KeptSynth* self = Self(element);
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && !Attach(self)) {
        return GST_STATE_CHANGE_FAILURE;
    }
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED && self->inner != nullptr) {
        HistoryOf(self->inner)->MarkNewStream();
    }
    if (transition == GST_STATE_CHANGE_READY_TO_NULL) {
        Detach(self, true);
    }
    const GstStateChangeReturn result =
        GST_ELEMENT_CLASS(g_parentClass)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && result == GST_STATE_CHANGE_FAILURE) {
        // The soundfont did not load: nothing worth keeping.
        Detach(self, false);
    } else if (transition == GST_STATE_CHANGE_NULL_TO_READY && self->innerIsNew) {
        // Reading a soundfont frees megabytes of its file's tables once the
        // synth's own are built; malloc would keep them for later.
        malloc_trim(0);
    }
    return result;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* param) {
    KeptSynth* self = Self(object);
    switch (id) {
        case kPropertySoundfont:
            g_free(self->soundfont);
            self->soundfont = g_value_dup_string(value);
            break;
        case kPropertyGain:
            self->gain = g_value_get_double(value);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
            break;
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* param) {
    KeptSynth* self = Self(object);
    switch (id) {
        case kPropertySoundfont:
            g_value_set_string(value, self->soundfont);
            break;
        case kPropertyGain:
            g_value_set_double(value, self->gain);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
            break;
    }
}

void Dispose(GObject* object) {
    // Only a bin that never reached NULL again still holds its synth; the
    // bin's own dispose drops the synth as a child.
    KeptSynth* self = Self(object);
    if (self->inner != nullptr) {
        gst_object_unref(std::exchange(self->inner, nullptr));
    }
    G_OBJECT_CLASS(g_parentClass)->dispose(object);
}

void Finalize(GObject* object) {
    g_free(Self(object)->soundfont);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

// The bin's pads take their caps from the synth it wraps.
void AddInnerPadTemplates(GstElementClass* elementClass) {
    GstElementFactory* inner = gst_element_factory_find(kInnerSynth);
    if (inner == nullptr) {
        return;
    }
    for (const GList* item = gst_element_factory_get_static_pad_templates(inner); item != nullptr;
         item = item->next) {
        auto* pattern = static_cast<GstStaticPadTemplate*>(item->data);
        GstCaps* caps = gst_static_caps_get(&pattern->static_caps);
        gst_element_class_add_pad_template(
            elementClass,
            gst_pad_template_new(pattern->name_template, pattern->direction, GST_PAD_ALWAYS, caps));
        gst_caps_unref(caps);
    }
    gst_object_unref(inner);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = static_cast<GstBinClass*>(g_type_class_peek_parent(klass));
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = SetProperty;
    objectClass->get_property = GetProperty;
    objectClass->dispose = Dispose;
    objectClass->finalize = Finalize;
    g_object_class_install_property(
        objectClass, kPropertySoundfont,
        g_param_spec_string("soundfont", "Soundfont", "The soundfont file the synth loads", nullptr,
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        objectClass, kPropertyGain,
        g_param_spec_double("synth-gain", "Synth gain", "The synth's master gain", 0.0, 10.0,
                            kInnerDefaultGain,
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    AddInnerPadTemplates(elementClass);
    gst_element_class_set_static_metadata(elementClass, "Kept MIDI synth", "Codec/Decoder/Audio",
                                          "Synthesizes MIDI with a synth that stays loaded "
                                          "between tracks",
                                          "melvane");
    elementClass->change_state = ChangeState;
}

void InstanceInit(GTypeInstance* instance, gpointer klass) {
    KeptSynth* self = Self(instance);
    self->inner = nullptr;
    self->innerIsNew = false;
    self->soundfont = nullptr;
    self->gain = kInnerDefaultGain;
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    GstPad** ghosts[] = {&self->sink, &self->src};
    const char* const names[] = {"sink", "src"};
    for (int i = 0; i < 2; ++i) {
        GstPadTemplate* pattern = gst_element_class_get_pad_template(elementClass, names[i]);
        *ghosts[i] = gst_ghost_pad_new_no_target_from_template(names[i], pattern);
        gst_element_add_pad(GST_ELEMENT_CAST(self), *ghosts[i]);
    }
}

GType KeptSynthType() {
    static const GType type =
        g_type_register_static_simple(GST_TYPE_BIN, "MelvaneKeptSynth", sizeof(KeptSynthClass),
                                      ClassInit, sizeof(KeptSynth), InstanceInit, GTypeFlags());
    return type;
}

}  // namespace

void RegisterKeptSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        GstElementFactory* inner = gst_element_factory_find(kInnerSynth);
        if (inner == nullptr) {
            return;
        }
        if (gst_element_register(nullptr, kKeptSynthFactory, GST_RANK_PRIMARY, KeptSynthType())) {
            // Decoding picks the kept synth; a plain one, made by decoding
            // when the kept one cannot load its soundfont, would look for a
            // soundfont of its own choosing.
            gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE_CAST(inner), GST_RANK_NONE);
        }
        gst_object_unref(inner);
    });
}

std::vector<GstElement*> TakeSpentSynths() {
    Keeper& keeper = TheKeeper();
    std::lock_guard<std::mutex> lock(keeper.mutex);
    return std::exchange(keeper.spent, {});
}

GstElement* TakeWaitingSynth() {
    Keeper& keeper = TheKeeper();
    std::lock_guard<std::mutex> lock(keeper.mutex);
    return std::exchange(keeper.waiting, nullptr);
}

void LetGoOfSynth(GstElement* synth) {
    gst_element_set_state(synth, GST_STATE_NULL);
    gst_object_unref(synth);
}

}  // namespace platform::mci_gst
