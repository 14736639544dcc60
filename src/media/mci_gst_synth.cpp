#include "media/mci_gst_synth.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gst/audio/audio-format.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>

#include "media/file_identity.h"
#include "platform/unique_fd.h"

namespace platform::mci_gst {

// FluidSynth's own types, never looked into.
namespace fluid {
struct Settings;
struct Synthesizer;
}  // namespace fluid

struct Synth {
    Synth(std::string soundfontPath, double synthGain)
        : soundfont(std::move(soundfontPath)), gain(synthGain) {}
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;
    ~Synth();

    fluid::Settings* settings = nullptr;
    fluid::Synthesizer* fluid = nullptr;
    std::string soundfont;
    // The soundfont file as it was loaded, and what it was then. The synth
    // reads an instrument's samples when a tune first selects it, at their
    // places in that file. By then the name may lead to another file or to
    // none, as a package upgrade leaves it: the synth reads through a
    // descriptor of its own. Or the file itself may have changed: then the
    // synth reads nothing more, for it crashes on garbage, and on an
    // instrument it could not load.
    UniqueFd file;
    FileIdentity loaded;
    // The file has changed: no instrument is selected any more, and the
    // synth is not kept.
    bool spoiled = false;
    double gain = 0.0;
    // The synth renders in blocks and keeps the rest of its last block for
    // its next output: the count of frames rendered tells how much is left.
    std::uint64_t framesRendered = 0;
};

namespace {

GST_DEBUG_CATEGORY_STATIC(synthDebug);
#define GST_CAT_DEFAULT synthDebug

// FluidSynth's C interface, as much of it as the element uses. The library and
// the dozen it pulls in are loaded by the first MIDI track, not at start-up:
// most sessions play no MIDI.
using LogFunction = void (*)(int level, const char* message, void* data);
struct FluidLibrary {
    int (*registerAudioDrivers)(const char** names);
    LogFunction (*setLogFunction)(int level, LogFunction function, void* data);
    fluid::Settings* (*newSettings)();
    void (*deleteSettings)(fluid::Settings*);
    int (*setNumber)(fluid::Settings*, const char* name, double value);
    int (*setInteger)(fluid::Settings*, const char* name, int value);
    fluid::Synthesizer* (*newSynth)(fluid::Settings*);
    void (*deleteSynth)(fluid::Synthesizer*);
    int (*loadSoundfont)(fluid::Synthesizer*, const char* file, int resetPresets);
    int (*noteOn)(fluid::Synthesizer*, int channel, int key, int velocity);
    int (*noteOff)(fluid::Synthesizer*, int channel, int key);
    int (*controlChange)(fluid::Synthesizer*, int channel, int control, int value);
    int (*programChange)(fluid::Synthesizer*, int channel, int program);
    int (*channelPressure)(fluid::Synthesizer*, int channel, int value);
    int (*pitchBend)(fluid::Synthesizer*, int channel, int value);
    int (*sysex)(fluid::Synthesizer*, const char* data, int length, char* response,
                 int* responseLength, int* handled, int dryRun);
    int (*systemReset)(fluid::Synthesizer*);
    int (*allSoundsOff)(fluid::Synthesizer*, int channel);
    int (*writeFloat)(fluid::Synthesizer*, int frames, void* left, int leftOffset, int leftStep,
                      void* right, int rightOffset, int rightStep);
};

constexpr const char* kFluidLibrary = "libfluidsynth.so.3";
// Its log levels, from panic to debug.
constexpr int kFluidLogLevels = 5;

// Set by the first MIDI track; nullptr until then, and after if it failed.
const FluidLibrary* g_fluid = nullptr;

template <typename Function>
bool Bind(void* library, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(dlsym(library, name));
    return *function != nullptr;
}

void LogFluid(int level, const char* message, void*) {
    static const GstDebugLevel levels[kFluidLogLevels] = {
        GST_LEVEL_ERROR, GST_LEVEL_WARNING, GST_LEVEL_WARNING, GST_LEVEL_INFO, GST_LEVEL_DEBUG};
    const GstDebugLevel gstLevel =
        level >= 0 && level < kFluidLogLevels ? levels[level] : GST_LEVEL_DEBUG;
    GST_CAT_LEVEL_LOG(synthDebug, gstLevel, nullptr, "%s", message);
}

const FluidLibrary* LoadFluid() {
    void* library = dlopen(kFluidLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        GST_INFO("no MIDI synth: %s", dlerror());
        return nullptr;
    }
    static FluidLibrary api;
    const bool bound = Bind(library, "fluid_audio_driver_register", &api.registerAudioDrivers) &&
                       Bind(library, "fluid_set_log_function", &api.setLogFunction) &&
                       Bind(library, "new_fluid_settings", &api.newSettings) &&
                       Bind(library, "delete_fluid_settings", &api.deleteSettings) &&
                       Bind(library, "fluid_settings_setnum", &api.setNumber) &&
                       Bind(library, "fluid_settings_setint", &api.setInteger) &&
                       Bind(library, "new_fluid_synth", &api.newSynth) &&
                       Bind(library, "delete_fluid_synth", &api.deleteSynth) &&
                       Bind(library, "fluid_synth_sfload", &api.loadSoundfont) &&
                       Bind(library, "fluid_synth_noteon", &api.noteOn) &&
                       Bind(library, "fluid_synth_noteoff", &api.noteOff) &&
                       Bind(library, "fluid_synth_cc", &api.controlChange) &&
                       Bind(library, "fluid_synth_program_change", &api.programChange) &&
                       Bind(library, "fluid_synth_channel_pressure", &api.channelPressure) &&
                       Bind(library, "fluid_synth_pitch_bend", &api.pitchBend) &&
                       Bind(library, "fluid_synth_sysex", &api.sysex) &&
                       Bind(library, "fluid_synth_system_reset", &api.systemReset) &&
                       Bind(library, "fluid_synth_all_sounds_off", &api.allSoundsOff) &&
                       Bind(library, "fluid_synth_write_float", &api.writeFloat);
    if (!bound) {
        GST_WARNING("no MIDI synth: %s lacks a function the synth needs", kFluidLibrary);
        dlclose(library);
        return nullptr;
    }
    // The synth only renders into buffers: no sound output of its own to
    // look for, and its messages go to GStreamer's log, not to the terminal.
    const char* noDrivers[] = {nullptr};
    api.registerAudioDrivers(noDrivers);
    for (int level = 0; level < kFluidLogLevels; ++level) {
        api.setLogFunction(level, LogFluid, nullptr);
    }
    return &api;
}

constexpr int kRate = 44100;
constexpr gsize kFrameBytes = 2 * sizeof(float);
constexpr std::uint64_t kSynthBlockFrames = 64;
// How many blocks a voice turned off may still sound in: it fades out, and
// nothing of it sounds two blocks on; twice that, for a margin.
constexpr std::uint64_t kFadeBlocks = 4;
constexpr gdouble kDefaultGain = 0.2;

GstStaticPadTemplate g_sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-midi-event"));
GstStaticPadTemplate g_srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("audio/x-raw, format = (string) " GST_AUDIO_NE(
                                F32) ", rate = (int) 44100, channels = (int) 2, "
                                     "layout = (string) interleaved"));

// Whether the soundfont file is still as the synth loaded it. Asked before
// anything that may have the synth read from it.
bool Intact(Synth* synth) {
    if (!synth->spoiled && FileIdentity::OfRegularFile(synth->file) != synth->loaded) {
        GST_WARNING("the soundfont %s changed while its synth was loaded",
                    synth->soundfont.c_str());
        synth->spoiled = true;
    }
    return !synth->spoiled;
}

// A synth for a soundfont, or nullptr if it would not load. It loads the
// samples of an instrument when a tune first selects it.
SynthPtr MakeSynth(const std::string& soundfont, gdouble gain) {
    SynthPtr synth(std::make_unique<Synth>(soundfont, gain).release());
    synth->settings = g_fluid->newSettings();
    if (synth->settings != nullptr) {
        g_fluid->setNumber(synth->settings, "synth.sample-rate", kRate);
        g_fluid->setNumber(synth->settings, "synth.gain", gain);
        g_fluid->setInteger(synth->settings, "synth.dynamic-sample-loading", 1);
        synth->fluid = g_fluid->newSynth(synth->settings);
    }
    synth->file.Reset(open(soundfont.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const std::optional<FileIdentity> loaded = FileIdentity::OfRegularFile(synth->file);
    // The synth opens the file again by this name for every instrument.
    const std::string pinned = "/proc/self/fd/" + std::to_string(synth->file.Get());
    if (synth->fluid == nullptr || !loaded ||
        g_fluid->loadSoundfont(synth->fluid, pinned.c_str(), 1) == -1) {
        return nullptr;
    }
    synth->loaded = *loaded;
    // Reading a soundfont frees megabytes of its file's tables once the
    // synth's own are built; malloc would keep them for later.
    malloc_trim(0);
    return synth;
}

// Renders `frames` that nobody hears.
void RenderUnheard(Synth* synth, std::uint64_t frames) {
    float scratch[2 * kSynthBlockFrames];
    for (std::uint64_t done = 0; done < frames;) {
        const int now = static_cast<int>(std::min(frames - done, kSynthBlockFrames));
        g_fluid->writeFloat(synth->fluid, now, scratch, 0, 2, scratch, 1, 2);
        done += static_cast<std::uint64_t>(now);
    }
    synth->framesRendered += frames;
}

// A new stream on a synth that has played before, a next track or a replay,
// starts from silence. The synth's own reset leaves the voices that were
// sounding to ring out, so their sound is turned off after it; a voice turned
// off still fades out over its next block, into the reverb and the chorus
// too. Those blocks are rendered unheard, with what was left of the last one,
// and a second reset then empties the reverb and the chorus.
void BeginStream(Synth* synth) {
    // The reset selects every channel's first instrument again.
    const bool intact = Intact(synth);
    if (intact) {
        g_fluid->systemReset(synth->fluid);
    }
    if (synth->framesRendered > 0) {
        g_fluid->allSoundsOff(synth->fluid, -1);
        const std::uint64_t rest =
            (kSynthBlockFrames - synth->framesRendered % kSynthBlockFrames) % kSynthBlockFrames;
        RenderUnheard(synth, rest + kFadeBlocks * kSynthBlockFrames);
        if (intact) {
            g_fluid->systemReset(synth->fluid);
        }
    }
}

void PlayEvent(Synth* synth, const guint8* data, gsize size) {
    if (size == 0) {
        return;
    }
    fluid::Synthesizer* fluid = synth->fluid;
    const guint8 status = data[0];
    // Program changes select instruments, and so do resets, which system
    // exclusive messages may be too.
    const bool selects =
        (status & 0xF0) == 0xC0 || status == 0xFF || status == 0xF0 || status == 0xF7;
    if (selects && !Intact(synth)) {
        return;
    }
    if ((status & 0xF0) == 0xF0) {
        if (status == 0xFF) {
            g_fluid->systemReset(fluid);
        } else if ((status == 0xF0 || status == 0xF7) && size > 1) {
            g_fluid->sysex(fluid, reinterpret_cast<const char*>(data + 1),
                           static_cast<int>(std::min<gsize>(size - 1, G_MAXINT)), nullptr, nullptr,
                           nullptr, 0);
        }
        return;
    }
    const int channel = status & 0x0F;
    const int first = size > 1 ? data[1] & 0x7F : 0;
    const int second = size > 2 ? data[2] & 0x7F : 0;
    switch (status & 0xF0) {
        case 0x80:
            g_fluid->noteOff(fluid, channel, first);
            break;
        case 0x90:
            g_fluid->noteOn(fluid, channel, first, second);
            break;
        case 0xB0:
            g_fluid->controlChange(fluid, channel, first, second);
            break;
        case 0xC0:
            g_fluid->programChange(fluid, channel, first);
            break;
        case 0xD0:
            g_fluid->channelPressure(fluid, channel, first);
            break;
        case 0xE0:
            g_fluid->pitchBend(fluid, channel, (second << 7) | first);
            break;
        default:
            break;
    }
}

// The element's C++ part, made in InstanceInit and destroyed in Finalize.
struct KeptSynthState {
    SynthPtr synth;                   // from READY until back to NULL
    std::shared_ptr<SynthPool> pool;  // where the synth comes from and goes back to
};

struct KeptSynth {
    GstElement element;
    GstPad* sink;
    GstPad* src;
    KeptSynthState state;
    gchar* soundfont;
    gdouble gain;
    // Where the output stands: the time and frame it has rendered up to.
    GstClockTime lastPts;
    std::uint64_t lastFrame;
    bool discont;
};

struct KeptSynthClass {
    GstElementClass parent;
};

enum Property : guint { kPropertySoundfont = 1, kPropertyGain };

GstElementClass* g_parentClass = nullptr;

KeptSynth* Self(gpointer object) {
    return static_cast<KeptSynth*>(object);
}

// The waiting synth if it was loaded with the same soundfont and gain, else a
// new one.
bool Attach(KeptSynth* self) {
    const std::string soundfont = self->soundfont != nullptr ? self->soundfont : "";
    if (soundfont.empty()) {
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("No soundfont to play MIDI with."),
                          (nullptr));
        return false;
    }
    static std::once_flag loaded;
    std::call_once(loaded, [] { g_fluid = LoadFluid(); });
    if (g_fluid == nullptr) {
        GST_ELEMENT_ERROR(self, LIBRARY, INIT, ("Could not load %s.", kFluidLibrary), (nullptr));
        return false;
    }
    KeptSynthState& state = self->state;
    if (state.pool) {
        state.synth = state.pool->TakeFor(soundfont, self->gain);
    }
    if (!state.synth) {
        state.synth = MakeSynth(soundfont, self->gain);
    }
    if (!state.synth) {
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ,
                          ("Could not load the soundfont %s.", soundfont.c_str()), (nullptr));
        return false;
    }
    return true;
}

// Renders what sounds until `pts`, where the next event is due, and sends it
// on. The parser sends an event at least every 10 ms, so this stays short.
GstFlowReturn RenderUntil(KeptSynth* self, GstClockTime pts, std::uint64_t frame) {
    Synth* synth = self->state.synth.get();
    const std::uint64_t frames = frame - self->lastFrame;
    const GstClockTime start = self->lastPts;
    const std::uint64_t offset = self->lastFrame;
    self->lastPts = pts;
    self->lastFrame = frame;
    if (frames == 0) {
        return GST_FLOW_OK;
    }
    GstBuffer* out = gst_buffer_new_allocate(nullptr, frames * kFrameBytes, nullptr);
    GstMapInfo map;
    gst_buffer_map(out, &map, GST_MAP_WRITE);
    g_fluid->writeFloat(synth->fluid, static_cast<int>(frames), map.data, 0, 2, map.data, 1, 2);
    synth->framesRendered += frames;
    gst_buffer_unmap(out, &map);
    GST_BUFFER_PTS(out) = start;
    GST_BUFFER_DTS(out) = start;
    GST_BUFFER_DURATION(out) = pts - start;
    GST_BUFFER_OFFSET(out) = offset;
    GST_BUFFER_OFFSET_END(out) = frame;
    if (std::exchange(self->discont, false)) {
        GST_BUFFER_FLAG_SET(out, GST_BUFFER_FLAG_DISCONT);
    }
    return gst_pad_push(self->src, out);
}

// Each buffer is one event, due at its time: what sounds until then is
// rendered first.
GstFlowReturn Chain(GstPad*, GstObject* parent, GstBuffer* buffer) {
    KeptSynth* self = Self(parent);
    if (GST_BUFFER_IS_DISCONT(buffer)) {
        self->discont = true;
    }
    GstFlowReturn result = GST_FLOW_OK;
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (GST_CLOCK_TIME_IS_VALID(pts)) {
        const std::uint64_t frame = gst_util_uint64_scale_int(pts, kRate, GST_SECOND);
        if (!GST_CLOCK_TIME_IS_VALID(self->lastPts)) {
            self->lastPts = pts;
            self->lastFrame = frame;
        } else if (self->lastPts < pts) {
            result = RenderUntil(self, pts, frame);
        }
    }
    if (result == GST_FLOW_OK) {
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            PlayEvent(self->state.synth.get(), map.data, map.size);
            gst_buffer_unmap(buffer, &map);
        }
    }
    gst_buffer_unref(buffer);
    return result;
}

void StartStream(KeptSynth* self) {
    BeginStream(self->state.synth.get());
    self->lastPts = GST_CLOCK_TIME_NONE;
    self->discont = true;
}

gboolean SinkEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
    KeptSynth* self = Self(parent);
    switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_CAPS: {
            gst_event_unref(event);
            GstCaps* caps = gst_static_pad_template_get_caps(&g_srcTemplate);
            const gboolean sent = gst_pad_push_event(self->src, gst_event_new_caps(caps));
            gst_caps_unref(caps);
            return sent;
        }
        case GST_EVENT_FLUSH_STOP:
            StartStream(self);
            break;
        default:
            break;
    }
    return gst_pad_event_default(pad, parent, event);
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
    KeptSynth* self = Self(element);
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && !Attach(self)) {
        return GST_STATE_CHANGE_FAILURE;
    }
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        StartStream(self);
    }
    const GstStateChangeReturn result = g_parentClass->change_state(element, transition);
    // At NULL no stream runs: the synth waits for the next track.
    KeptSynthState& state = self->state;
    if (transition == GST_STATE_CHANGE_READY_TO_NULL ||
        (transition == GST_STATE_CHANGE_NULL_TO_READY && result == GST_STATE_CHANGE_FAILURE)) {
        if (state.synth && state.pool) {
            state.pool->HandBack(std::move(state.synth));
        }
        state.synth.reset();
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

void Finalize(GObject* object) {
    KeptSynth* self = Self(object);
    // Only an element that never got back to NULL still holds a synth.
    self->state.~KeptSynthState();
    g_free(self->soundfont);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = static_cast<GstElementClass*>(g_type_class_peek_parent(klass));
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = SetProperty;
    objectClass->get_property = GetProperty;
    objectClass->finalize = Finalize;
    g_object_class_install_property(
        objectClass, kPropertySoundfont,
        g_param_spec_string("soundfont", "Soundfont", "The soundfont file the synth loads", nullptr,
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        objectClass, kPropertyGain,
        g_param_spec_double("synth-gain", "Synth gain", "The synth's master gain", 0.0, 10.0,
                            kDefaultGain,
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &g_sinkTemplate);
    gst_element_class_add_static_pad_template(elementClass, &g_srcTemplate);
    gst_element_class_set_static_metadata(elementClass, "Kept MIDI synth", "Codec/Decoder/Audio",
                                          "Synthesizes MIDI with a synth that stays loaded "
                                          "between tracks",
                                          "melvane");
    elementClass->change_state = ChangeState;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    KeptSynth* self = Self(instance);
    new (&self->state) KeptSynthState();
    self->soundfont = nullptr;
    self->gain = kDefaultGain;
    self->lastPts = GST_CLOCK_TIME_NONE;
    self->lastFrame = 0;
    self->discont = true;
    self->sink = gst_pad_new_from_static_template(&g_sinkTemplate, "sink");
    gst_pad_set_chain_function(self->sink, Chain);
    gst_pad_set_event_function(self->sink, SinkEvent);
    gst_element_add_pad(GST_ELEMENT_CAST(self), self->sink);
    self->src = gst_pad_new_from_static_template(&g_srcTemplate, "src");
    gst_pad_use_fixed_caps(self->src);
    gst_element_add_pad(GST_ELEMENT_CAST(self), self->src);
}

GType KeptSynthType() {
    static const GType type =
        g_type_register_static_simple(GST_TYPE_ELEMENT, "MelvaneKeptSynth", sizeof(KeptSynthClass),
                                      ClassInit, sizeof(KeptSynth), InstanceInit, GTypeFlags());
    return type;
}

}  // namespace

void RegisterKeptSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        GST_DEBUG_CATEGORY_INIT(synthDebug, "melvanesynth", 0, "Kept MIDI synth");
        // GStreamer's own FluidSynth element tells that FluidSynth is
        // installed, without loading it.
        GstElementFactory* own = gst_element_factory_find("fluiddec");
        if (own == nullptr) {
            return;
        }
        if (gst_element_register(nullptr, kKeptSynthFactory, GST_RANK_PRIMARY, KeptSynthType())) {
            // Decoding picks the kept synth. The other, which decoding would
            // try when the kept one cannot load its soundfont, would look for
            // a soundfont of its own choosing.
            gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE_CAST(own), GST_RANK_NONE);
        }
        gst_object_unref(own);
    });
}

void UseSynthPool(GstElement* element, std::shared_ptr<SynthPool> pool) {
    Self(element)->state.pool = std::move(pool);
}

Synth::~Synth() {
    if (fluid != nullptr) {
        g_fluid->deleteSynth(fluid);
    }
    if (settings != nullptr) {
        g_fluid->deleteSettings(settings);
    }
}

void SynthUnload::operator()(Synth* synth) const {
    std::default_delete<Synth>()(synth);
}

SynthPool::~SynthPool() {
    FreeAll();
}

SynthPtr SynthPool::TakeFor(const std::string& soundfont, double gain) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_waiting || m_waiting->soundfont != soundfont || m_waiting->gain != gain) {
        return nullptr;
    }
    if (!Intact(m_waiting.get())) {
        m_spent.push_back(std::move(m_waiting));
        return nullptr;
    }
    return std::move(m_waiting);
}

void SynthPool::HandBack(SynthPtr synth) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_waiting) {
        m_spent.push_back(std::move(m_waiting));
    }
    m_waiting = std::move(synth);
}

void SynthPool::FreeSpent() {
    std::vector<SynthPtr> spent;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        spent.swap(m_spent);
    }
    Free(std::move(spent));
}

void SynthPool::FreeAll() {
    std::vector<SynthPtr> all;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        all.swap(m_spent);
        if (m_waiting) {
            all.push_back(std::move(m_waiting));
        }
    }
    Free(std::move(all));
}

// Outside the lock: a track that starts meanwhile does not wait for it.
void SynthPool::Free(std::vector<SynthPtr> synths) {
    if (synths.empty()) {
        return;
    }
    synths.clear();
    // A synth's soundfont is megabytes in many blocks, many of them made on
    // streaming threads; malloc would keep most of it for later.
    malloc_trim(0);
}

}  // namespace platform::mci_gst
