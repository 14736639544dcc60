#include "media/mci_gst.h"

#include <fcntl.h>
#include <gst/gst.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "media/file_identity.h"
#include "media/mci_gst_command.h"
#include "media/mci_gst_output.h"
#include "media/mci_gst_synth.h"
#include "media/mci_gst_teardown.h"
#include "media/mci_gst_wave.h"
#include "platform/unique_fd.h"
#include "wincompat/wnd_qt.h"

namespace platform {
namespace {

struct GstUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
using ElementPtr = std::unique_ptr<GstElement, GstUnref>;
using BusPtr = std::unique_ptr<GstBus, GstUnref>;
using PadPtr = std::unique_ptr<GstPad, GstUnref>;

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

enum class StreamEvent { End, Failure };

// GStreamer may have been started by others in the process already; the kept
// synth is registered either way.
bool StartGStreamer() {
    if (!gst_is_initialized()) {
        GError* raw = nullptr;
        const bool ready = gst_init_check(nullptr, nullptr, &raw);
        ErrorPtr error(raw);
        if (!ready) {
            return false;
        }
    }
    mci_gst::RegisterKeptSynth();
    return true;
}

bool SameOptions(const GstMciOptions& a, const GstMciOptions& b) {
    return a.sinkDescription == b.sinkDescription && a.openTimeoutMs == b.openTimeoutMs &&
           a.soundfontPlaces == b.soundfontPlaces && a.midiGain == b.midiGain &&
           a.keepSynthMs == b.keepSynthMs && a.outputRetryMs == b.outputRetryMs;
}

// The device number of a track opened ahead; later opens count on from it.
constexpr std::uint32_t kAheadDeviceId = 1;

// Opens the file once, without blocking, and keeps it: a FIFO, a device or a
// folder is refused before GStreamer sees it, and the pipeline then reads the
// very file that was checked, whatever happens to the name meanwhile. Also
// tells what the file is, for the open-ahead to be matched against.
MCIERROR OpenRegularFile(const std::string& path, UniqueFd* file, mci_gst::FileIdentity* identity) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return MCIERR_FILE_NOT_FOUND;
    }
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0) {
        const bool missing =
            errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP;
        return missing ? MCIERR_FILE_NOT_FOUND : MCIERR_INVALID_FILE;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
        return MCIERR_INVALID_FILE;
    }
    *file = std::move(fd);
    *identity = mci_gst::FileIdentity::Of(info);
    return 0;
}

}  // namespace

namespace mci_gst {

// The bridge from GStreamer's threads to the layer. Cleared when the layer
// goes, so a pipeline still shutting down elsewhere reaches nothing.
struct LayerLink {
    std::mutex mutex;
    QObject* relay = nullptr;
    GstMci::Impl* owner = nullptr;
};

// What a pipeline's own threads may touch. Everything else about a track
// belongs to the GUI thread.
struct TrackShared {
    std::shared_ptr<LayerLink> link;
    std::uint32_t deviceId = 0;
    std::string soundfont;
    double midiGain = 1.0;
    std::shared_ptr<SynthPool> synths;  // the MIDI synth's, for the next track
    GstElement* pipeline = nullptr;     // borrowed: tells the pipeline's own messages
    GstElement* sink = nullptr;         // borrowed: tells a failing output from bad data
    GstElement* audioInput = nullptr;   // borrowed: where the decoded sound goes

    // Raised by every play; an end of stream is credited to the play whose
    // number it read, so one from before a stop or a replay is recognised.
    std::atomic<std::uint64_t> generation{0};
    std::atomic<bool> heardAudio{false};
    // The output itself failed, not the file: another may be had later.
    std::atomic<bool> outputFailed{false};
    std::atomic<bool> synthWithoutSoundfont{false};

    std::mutex mutex;
    std::condition_variable settled;
    bool prerolled = false;  // guarded by mutex
    // When the pipeline last finished prerolling; guarded by mutex.
    std::chrono::steady_clock::time_point prerolledAt;
    MCIERROR failure = 0;    // guarded by mutex
    bool abandoned = false;  // nobody waits for the open any more; guarded by mutex
    // The file's own tags, as the open came across them; guarded by mutex.
    std::string tagTitle;
    std::string tagArtist;
    std::string tagAlbum;

    TrackShared() = default;
    TrackShared(const TrackShared&) = delete;
    TrackShared& operator=(const TrackShared&) = delete;
};

struct Track {
    Track() = default;
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;
    ~Track() {
        if (pipeline) {
            mci_gst::ShutDown(pipeline.release());
        }
    }

    std::uint32_t deviceId = 0;
    std::string path;  // as opened
    UniqueFd file;
    ElementPtr pipeline;
    std::shared_ptr<TrackShared> shared;
    bool atStart = true;  // prerolled at 0 and not played since
    bool failed = false;  // the stream reported an error; it cannot play on

    bool notifyPending = false;
    std::uint64_t notifyGeneration = 0;
    QPointer<QObject> notifyTarget;
};

// What every track of a layer shares with the layer, found once as the layer
// starts, or by the open-ahead that the layer takes over.
struct LayerBasis {
    bool gstReady = false;
    std::string soundfont;
    std::shared_ptr<LayerLink> link = std::make_shared<LayerLink>();
    std::shared_ptr<SynthPool> synths = std::make_shared<SynthPool>();
};

// Starts GStreamer and looks for the soundfont, once per run: as the layer
// starts, or on the open-ahead's thread.
LayerBasis StartLayer(const GstMciOptions& options) {
    LayerBasis basis;
    basis.gstReady = StartGStreamer();
    basis.soundfont = FindSoundfont(options.soundfontPlaces);
    return basis;
}

// The first track of a run, opened on a thread of its own while the rest of
// the program starts (GstMci::OpenAhead). GStreamer's start and the track's
// preroll then overlap the window's making instead of following it.
struct Ahead {
    explicit Ahead(std::string aheadPath, GstMciOptions aheadOptions)
        : path(std::move(aheadPath)), options(std::move(aheadOptions)) {}
    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;
    ~Ahead() {
        Cancel();
        Finish();
    }

    void Start() {
        worker = std::thread([this] { Run(); });
    }
    void Run();
    // Waits for GStreamer's start, not for the track.
    void WaitStarted();
    // Waits until the file opened ahead is known: nothing when none could be.
    // The worker tells it on every way through Run, once GStreamer started.
    std::optional<FileIdentity> WaitIdentity();
    // Has an open under way give up; its track is torn down then.
    void Cancel();
    // Waits for the whole open.
    void Finish() {
        if (worker.joinable()) {
            worker.join();
        }
    }

    const std::string path;
    const GstMciOptions options;
    std::thread worker;

    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex; `basis` is the worker's until startDone.
    bool startDone = false;
    LayerBasis basis;
    bool identityKnown = false;
    std::optional<FileIdentity> identity;
    bool cancelled = false;
    std::shared_ptr<TrackShared> opening;

    // The worker's results, read after Finish.
    MCIERROR result = MCIERR_FILE_NOT_FOUND;
    std::unique_ptr<Track> track;
    // A track whose preroll stalled or was given up goes down here.
    Teardowns teardowns;
};

}  // namespace mci_gst

using mci_gst::LayerLink;
using mci_gst::Track;
using mci_gst::TrackShared;

struct GstMci::Impl {
    Impl(GstMciOptions opts, std::unique_ptr<mci_gst::Ahead> offered);
    ~Impl();

    MCIERROR OpenType(std::uint32_t deviceType);
    MCIERROR Open(const std::string& path, const std::string& alias);
    MCIERROR Command(const std::string& text, HWND callback);
    bool TrackInfo(const std::string& alias, MciTrackInfo* info);
    void OnStreamEvent(std::uint32_t deviceId, StreamEvent event, std::uint64_t generation);
    void ReleaseSpentSynthsLater();
    void ReleaseSpentSynths();
    void WatchOutput(QObject* waiter);
    void OnOutputBack();

    bool AdoptAhead(const mci_gst::FileIdentity& identity, std::unique_ptr<Track>* track,
                    MCIERROR* result);
    void DropAhead();
    MCIERROR Play(Track& track, QObject* target);
    void Stop(Track& track);
    bool Rewind(Track& track);
    bool OutputWentStale(Track& track);
    bool RenewOutput(Track& track);
    void Abort(Track& track);
    Track* FindDevice(std::uint32_t deviceId);

    GstMciOptions options;
    // The first track, opened while the program started (see OpenAhead);
    // only the first open may take it.
    std::unique_ptr<mci_gst::Ahead> ahead;
    mci_gst::LayerBasis basis;
    bool sequencerOpen = false;
    std::uint32_t nextDeviceId = 1;
    std::map<std::string, std::unique_ptr<Track>> tracks;
    QObject relay;  // lives on the GUI thread; stream events are queued to it
    // The one timer that lets go of the synth waiting in basis.synths for a
    // next MIDI track, once it has waited options.keepSynthMs.
    QTimer synthWait;
    // The stalled tracks' shutdowns, waited for when the layer goes.
    mci_gst::Teardowns teardowns;
    // After a play failed at its output: waits for an output to open again,
    // then tells the window whose play it was.
    std::unique_ptr<mci_gst::OutputWatch> outputWatch;
    QPointer<QObject> outputWaiter;
    bool hadOutput = false;  // a track has played into a real output
};

namespace {

using SharedRef = std::shared_ptr<TrackShared>;

TrackShared& SharedOf(gpointer data) {
    return **static_cast<SharedRef*>(data);
}

void DeleteSharedRef(gpointer data) {
    delete static_cast<SharedRef*>(data);
}

void DeleteSharedRefClosure(gpointer data, GClosure*) {
    DeleteSharedRef(data);
}

gpointer NewSharedRef(const SharedRef& shared) {
    return new SharedRef(shared);
}

const char* const kSequencer = "sequencer";

// Has `call` run with the layer on the GUI thread, if the layer is still there.
template <typename Call>
void CallLayer(LayerLink& link, Call call) {
    std::lock_guard<std::mutex> lock(link.mutex);
    GstMci::Impl* owner = link.owner;
    if (link.relay == nullptr || owner == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        link.relay, [owner, call] { call(*owner); }, Qt::QueuedConnection);
}

// Posts a stream event to the GUI thread with the play number current now.
void Forward(TrackShared& shared, StreamEvent event) {
    const std::uint64_t generation = shared.generation.load();
    const std::uint32_t deviceId = shared.deviceId;
    CallLayer(*shared.link, [deviceId, event, generation](GstMci::Impl& owner) {
        owner.OnStreamEvent(deviceId, event, generation);
    });
}

MCIERROR ErrorCode(GstMessage* message, GstElement* sink) {
    GError* raw = nullptr;
    gst_message_parse_error(message, &raw, nullptr);
    ErrorPtr error(raw);
    if (sink != nullptr && GST_MESSAGE_SRC(message) != nullptr &&
        (GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(sink) ||
         gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT_CAST(sink)))) {
        return MCIERR_DEVICE_NOT_READY;
    }
    if (!error) {
        return MCIERR_INVALID_FILE;
    }
    if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_FOUND) {
        return MCIERR_FILE_NOT_FOUND;
    }
    if ((error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) ||
        (error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND)) {
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    return MCIERR_INVALID_FILE;
}

// The first title, artist and album the stream's elements report: the
// demuxer reads the file's tags while it prerolls anyway.
void KeepTags(TrackShared& shared, GstMessage* message) {
    GstTagList* raw = nullptr;
    gst_message_parse_tag(message, &raw);
    if (raw == nullptr) {
        return;
    }
    const auto keep = [raw](const char* tag, std::string* into) {
        gchar* value = nullptr;
        if (into->empty() && gst_tag_list_get_string(raw, tag, &value) && value != nullptr) {
            *into = value;
        }
        g_free(value);
    };
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        keep(GST_TAG_TITLE, &shared.tagTitle);
        keep(GST_TAG_ARTIST, &shared.tagArtist);
        keep(GST_TAG_ALBUM, &shared.tagAlbum);
    }
    gst_tag_list_unref(raw);
}

// Runs on whichever thread posts: streaming threads, or the GUI thread inside
// a state change. Nothing is left on the bus, as nobody pops it; a dropped
// message is the handler's to release.
GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
    TrackShared& shared = SharedOf(data);
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ASYNC_DONE:
            if (GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(shared.pipeline)) {
                {
                    std::lock_guard<std::mutex> lock(shared.mutex);
                    shared.prerolled = true;
                    shared.prerolledAt = std::chrono::steady_clock::now();
                }
                shared.settled.notify_all();
            }
            break;
        case GST_MESSAGE_ERROR: {
            const MCIERROR code = ErrorCode(message, shared.sink);
            if (code == MCIERR_DEVICE_NOT_READY) {
                shared.outputFailed = true;
            }
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (shared.failure == 0) {
                    shared.failure = code;
                }
            }
            shared.settled.notify_all();
            Forward(shared, StreamEvent::Failure);
            break;
        }
        case GST_MESSAGE_EOS:
            Forward(shared, StreamEvent::End);
            break;
        case GST_MESSAGE_TAG:
            KeepTags(shared, message);
            break;
        default:
            break;
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

bool IsAudioPad(GstPad* pad) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr) {
        caps = gst_pad_query_caps(pad, nullptr);
    }
    bool audio = false;
    for (guint i = 0; caps != nullptr && i < gst_caps_get_size(caps) && !audio; ++i) {
        audio = g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, i)), "audio/");
    }
    if (caps != nullptr) {
        gst_caps_unref(caps);
    }
    return audio;
}

// Every stream of the file is known now. Without an audio stream the audio
// sink would wait for data forever, so the open fails here and at once.
void OnNoMorePads(GstElement* decoder, gpointer data) {
    bool audio = false;
    GstIterator* pads = gst_element_iterate_src_pads(decoder);
    GValue item = G_VALUE_INIT;
    while (!audio && gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
        audio = IsAudioPad(GST_PAD_CAST(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(pads);
    if (audio) {
        return;
    }
    TrackShared& shared = SharedOf(data);
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.failure == 0) {
            shared.failure = MCIERR_INVALID_FILE;
        }
    }
    shared.settled.notify_all();
}

bool IsMadeBy(GstElement* element, const char* factoryName) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory != nullptr && std::strcmp(GST_OBJECT_NAME(factory), factoryName) == 0;
}

// The decoder makes its elements while it discovers the stream: the MIDI
// synth gets our soundfont and gain before it loads anything.
void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data) {
    if (!IsMadeBy(element, mci_gst::kKeptSynthFactory)) {
        return;
    }
    TrackShared& shared = SharedOf(data);
    if (shared.soundfont.empty()) {
        shared.synthWithoutSoundfont = true;
        return;
    }
    g_object_set(element, "soundfont", shared.soundfont.c_str(), "synth-gain",
                 static_cast<gdouble>(shared.midiGain), nullptr);
    mci_gst::UseSynthPool(element, shared.synths);
}

// The file's first audio stream plays; any other stream is taken and thrown
// away, so that it cannot hold the file up.
void OnDecodedPad(GstElement*, GstPad* pad, gpointer data) {
    TrackShared& shared = SharedOf(data);
    if (IsAudioPad(pad)) {
        PadPtr input(gst_element_get_static_pad(shared.audioInput, "sink"));
        if (input && !gst_pad_is_linked(input.get()) &&
            gst_pad_link(pad, input.get()) == GST_PAD_LINK_OK) {
            return;
        }
    }
    GstElement* discard = gst_element_factory_make("fakesink", nullptr);
    if (discard == nullptr) {
        return;
    }
    g_object_set(discard, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN_CAST(shared.pipeline), discard);
    PadPtr input(gst_element_get_static_pad(discard, "sink"));
    gst_pad_link(pad, input.get());
    gst_element_sync_state_with_parent(discard);
}

GstPadProbeReturn OnFirstBuffer(GstPad*, GstPadProbeInfo*, gpointer data) {
    SharedOf(data).heardAudio = true;
    return GST_PAD_PROBE_REMOVE;
}

}  // namespace

GstMci::Impl::Impl(GstMciOptions opts, std::unique_ptr<mci_gst::Ahead> offered)
    : options(std::move(opts)), ahead(std::move(offered)) {
    if (ahead && !SameOptions(ahead->options, options)) {
        DropAhead();
    }
    if (ahead) {
        ahead->WaitStarted();
        basis = ahead->basis;
        nextDeviceId = kAheadDeviceId + 1;
    } else {
        basis = mci_gst::StartLayer(options);
    }
    synthWait.setSingleShot(true);
    QObject::connect(&synthWait, &QTimer::timeout, &relay, [this] { basis.synths->FreeAll(); });
    std::lock_guard<std::mutex> lock(basis.link->mutex);
    basis.link->relay = &relay;
    basis.link->owner = this;
}

// Every pipeline is down before the synths are freed: a pipeline hands its
// synth back as it goes.
GstMci::Impl::~Impl() {
    {
        std::lock_guard<std::mutex> lock(basis.link->mutex);
        basis.link->relay = nullptr;
        basis.link->owner = nullptr;
    }
    outputWatch.reset();
    for (auto& entry : tracks) {
        Abort(*entry.second);
    }
    tracks.clear();
    DropAhead();
    teardowns.Finish();
    synthWait.stop();
    basis.synths->FreeAll();
}

MCIERROR GstMci::Impl::OpenType(std::uint32_t deviceType) {
    if (deviceType != MCI_DEVTYPE_SEQUENCER) {
        return MCIERR_INVALID_DEVICE_NAME;
    }
    if (sequencerOpen || tracks.count(kSequencer) != 0) {
        return MCIERR_DUPLICATE_ALIAS;
    }
    if (!basis.gstReady || basis.soundfont.empty()) {
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    for (const char* name : {"midiparse", mci_gst::kKeptSynthFactory}) {
        GstElementFactory* factory = gst_element_factory_find(name);
        if (factory == nullptr) {
            return MCIERR_CANNOT_LOAD_DRIVER;
        }
        gst_object_unref(factory);
    }
    sequencerOpen = true;
    return 0;
}

namespace {

// The file, read through the descriptor opened above, into a decoder that
// finds its format; the first audio stream out of it is converted to what the
// output takes. A WAV file that libsndfile reads is decoded by libsndfile
// instead. The name is never converted, so any bytes in it are fine.
MCIERROR BuildTrack(Track& track, const GstMciOptions& options, const mci_gst::LayerBasis& basis) {
    auto shared = std::make_shared<TrackShared>();
    shared->link = basis.link;
    shared->deviceId = track.deviceId;
    shared->soundfont = basis.soundfont;
    shared->midiGain = options.midiGain;
    shared->synths = basis.synths;

    const std::string location = "/proc/self/fd/" + std::to_string(track.file.Get());
    const std::int64_t sndfileFrames = mci_gst::FramesThroughSndfile(track.file.Get(), location);
    const bool sndfile = sndfileFrames > 0;
    ElementPtr pipeline(GST_ELEMENT_CAST(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    GError* raw = nullptr;
    GstElement* parsed =
        gst_parse_bin_from_description(options.sinkDescription.c_str(), TRUE, &raw);
    ErrorPtr parseError(raw);
    GstElement* const elements[] = {
        gst_element_factory_make("filesrc", nullptr),
        gst_element_factory_make(sndfile ? mci_gst::kSndfileDecoder : "decodebin", nullptr),
        gst_element_factory_make("audioconvert", nullptr),
        gst_element_factory_make("audioresample", nullptr),
        parsed,
    };
    bool complete = !parseError;
    for (GstElement* element : elements) {
        if (element == nullptr) {
            complete = false;
        } else {
            gst_bin_add(GST_BIN_CAST(pipeline.get()), element);
        }
    }
    if (!complete) {
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    GstElement* const source = elements[0];
    GstElement* const decoder = elements[1];
    GstElement* const convert = elements[2];
    GstElement* const resample = elements[3];
    GstElement* const sink = elements[4];
    PadPtr sinkPad(gst_element_get_static_pad(sink, "sink"));
    if (!sinkPad || !gst_element_link(source, decoder) ||
        (sndfile && !mci_gst::LinkSndfileDecoder(decoder, convert, sndfileFrames)) ||
        !gst_element_link_many(convert, resample, sink, nullptr)) {
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    shared->pipeline = pipeline.get();
    shared->sink = sink;
    shared->audioInput = convert;
    gst_pad_add_probe(
        sinkPad.get(),
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        OnFirstBuffer, NewSharedRef(shared), DeleteSharedRef);

    g_object_set(source, "location", location.c_str(), nullptr);
    const auto connect = [&shared](gpointer instance, const char* signal, GCallback handler) {
        g_signal_connect_data(instance, signal, handler, NewSharedRef(shared),
                              DeleteSharedRefClosure, GConnectFlags());
    };
    if (!sndfile) {
        connect(decoder, "pad-added", G_CALLBACK(OnDecodedPad));
        connect(decoder, "no-more-pads", G_CALLBACK(OnNoMorePads));
        connect(pipeline.get(), "deep-element-added", G_CALLBACK(OnElementAdded));
    }
    BusPtr bus(gst_element_get_bus(pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), OnBusMessage, NewSharedRef(shared), DeleteSharedRef);

    track.pipeline = std::move(pipeline);
    track.shared = std::move(shared);
    return 0;
}

// Waits for the preroll, at most `timeoutMs`, or until the open is abandoned.
// A pipeline that has not prerolled by then goes to `teardowns`, with the
// descriptor it still reads.
MCIERROR AwaitPreroll(Track& track, int timeoutMs, mci_gst::Teardowns& teardowns) {
    TrackShared& shared = *track.shared;
    const GstStateChangeReturn change =
        gst_element_set_state(track.pipeline.get(), GST_STATE_PAUSED);
    bool settled = true;
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        if (change == GST_STATE_CHANGE_FAILURE) {
            return shared.failure != 0 ? shared.failure : MCIERR_INVALID_FILE;
        }
        if (change == GST_STATE_CHANGE_ASYNC) {
            shared.settled.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
                return shared.prerolled || shared.failure != 0 || shared.abandoned;
            });
            settled = shared.prerolled || shared.failure != 0;
        }
        if (shared.failure != 0) {
            return shared.failure;
        }
    }
    if (!settled) {
        teardowns.Add(track.pipeline.release(), std::move(track.file));
        return MCIERR_DEVICE_NOT_READY;
    }
    if (shared.synthWithoutSoundfont) {
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    if (!shared.heardAudio) {
        return MCIERR_INVALID_FILE;
    }
    return 0;
}

// A track whose file is open: its pipeline built and prerolled.
MCIERROR PrepareTrack(Track& track, std::uint32_t deviceId, const GstMciOptions& options,
                      const mci_gst::LayerBasis& basis, mci_gst::Teardowns& teardowns) {
    track.deviceId = deviceId;
    if (const MCIERROR error = BuildTrack(track, options, basis)) {
        return error;
    }
    return AwaitPreroll(track, options.openTimeoutMs, teardowns);
}

}  // namespace

// As PrepareTrack, with the track's preroll made known to Cancel.
void mci_gst::Ahead::Run() {
    const LayerBasis found = StartLayer(options);
    {
        std::lock_guard<std::mutex> lock(mutex);
        basis = found;
        startDone = true;
    }
    changed.notify_all();
    auto opened = std::make_unique<Track>();
    opened->deviceId = kAheadDeviceId;
    std::optional<FileIdentity> fileIdentity;
    FileIdentity opens;
    if (found.gstReady && OpenRegularFile(path, &opened->file, &opens) == 0) {
        fileIdentity = opens;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        identity = fileIdentity;
        identityKnown = true;
    }
    changed.notify_all();
    if (!fileIdentity) {
        return;
    }
    result = BuildTrack(*opened, options, found);
    if (result != 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (cancelled) {
            result = MCIERR_DEVICE_NOT_READY;
            return;
        }
        opening = opened->shared;
    }
    result = AwaitPreroll(*opened, options.openTimeoutMs, teardowns);
    if (result == 0) {
        track = std::move(opened);
    }
}

void mci_gst::Ahead::WaitStarted() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return startDone; });
}

std::optional<mci_gst::FileIdentity> mci_gst::Ahead::WaitIdentity() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return identityKnown; });
    return identity;
}

void mci_gst::Ahead::Cancel() {
    std::shared_ptr<TrackShared> preroll;
    {
        std::lock_guard<std::mutex> lock(mutex);
        cancelled = true;
        preroll = opening;
    }
    if (preroll) {
        {
            std::lock_guard<std::mutex> lock(preroll->mutex);
            preroll->abandoned = true;
        }
        preroll->settled.notify_all();
    }
}

OpenAheadTrack::OpenAheadTrack() = default;
OpenAheadTrack::OpenAheadTrack(std::unique_ptr<mci_gst::Ahead> ahead) : m_ahead(std::move(ahead)) {
}
OpenAheadTrack::OpenAheadTrack(OpenAheadTrack&&) noexcept = default;
OpenAheadTrack& OpenAheadTrack::operator=(OpenAheadTrack&&) noexcept = default;
OpenAheadTrack::~OpenAheadTrack() = default;

OpenAheadTrack GstMci::OpenAhead(const std::string& path, GstMciOptions options) {
    auto ahead = std::make_unique<mci_gst::Ahead>(path, std::move(options));
    ahead->Start();
    // GStreamer's start is work of the same kind as Qt's (loading libraries
    // and reading files) and competes with it on a small machine; the preroll
    // that follows mostly waits for the sound server, and that is what runs
    // beside the window's making.
    ahead->WaitStarted();
    return OpenAheadTrack(std::move(ahead));
}

MCIERROR GstMci::Impl::Open(const std::string& path, const std::string& aliasText) {
    Q_ASSERT(QThread::currentThread() == relay.thread());
    if (!mci_gst::IsValidAlias(aliasText)) {
        return MCIERR_INVALID_DEVICE_NAME;
    }
    const std::string alias = mci_gst::FoldAlias(aliasText);
    if (tracks.count(alias) != 0 || (sequencerOpen && alias == kSequencer)) {
        return MCIERR_DUPLICATE_ALIAS;
    }
    if (!basis.gstReady) {
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    auto track = std::make_unique<Track>();
    mci_gst::FileIdentity identity;
    if (const MCIERROR error = OpenRegularFile(path, &track->file, &identity)) {
        return error;
    }
    MCIERROR result = 0;
    if (!AdoptAhead(identity, &track, &result)) {
        result = PrepareTrack(*track, nextDeviceId++, options, basis, teardowns);
    }
    if (result != 0) {
        // The failed track may have handed on a synth all the same.
        ReleaseSpentSynthsLater();
        return result;
    }
    track->path = path;
    tracks.emplace(alias, std::move(track));
    return 0;
}

// The track opened ahead is this open's when it is the same file, unchanged:
// its result, success or failure, is what this open would have found.
bool GstMci::Impl::AdoptAhead(const mci_gst::FileIdentity& identity, std::unique_ptr<Track>* track,
                              MCIERROR* result) {
    if (!ahead) {
        return false;
    }
    if (ahead->WaitIdentity() != identity) {
        DropAhead();
        ReleaseSpentSynthsLater();
        return false;
    }
    const std::unique_ptr<mci_gst::Ahead> taken = std::move(ahead);
    taken->Finish();
    teardowns.TakeOver(taken->teardowns);
    *result = taken->result;
    if (taken->result == 0) {
        *track = std::move(taken->track);
        // A stream error after the preroll reached nobody yet.
        std::lock_guard<std::mutex> lock((*track)->shared->mutex);
        (*track)->failed = (*track)->shared->failure != 0;
    }
    return true;
}

// An open-ahead not taken stops where it is; its track closes here, a stalled
// one joins the layer's teardowns.
void GstMci::Impl::DropAhead() {
    if (!ahead) {
        return;
    }
    ahead->Cancel();
    ahead->Finish();
    teardowns.TakeOver(ahead->teardowns);
    ahead.reset();
}

MCIERROR GstMci::Impl::Command(const std::string& text, HWND callback) {
    Q_ASSERT(QThread::currentThread() == relay.thread());
    mci_gst::Command command;
    if (const MCIERROR error = mci_gst::ParseCommand(text, &command)) {
        return error;
    }
    const auto found = tracks.find(command.alias);
    if (found == tracks.end()) {
        if (command.alias == kSequencer && sequencerOpen) {
            if (command.verb == mci_gst::Command::Verb::Close) {
                sequencerOpen = false;
                return 0;
            }
            // The probe's device has no element to play.
            return MCIERR_DEVICE_NOT_READY;
        }
        return MCIERR_INVALID_DEVICE_NAME;
    }
    Track& track = *found->second;
    switch (command.verb) {
        case mci_gst::Command::Verb::Play:
            return Play(track, command.notify ? FromHwnd(callback) : nullptr);
        case mci_gst::Command::Verb::Stop:
            Stop(track);
            return 0;
        case mci_gst::Command::Verb::Close:
            Abort(track);
            tracks.erase(found);
            ReleaseSpentSynthsLater();
            return 0;
    }
    return MCIERR_UNRECOGNIZED_COMMAND;
}

bool GstMci::Impl::TrackInfo(const std::string& aliasText, MciTrackInfo* info) {
    Q_ASSERT(QThread::currentThread() == relay.thread());
    const auto found = tracks.find(mci_gst::FoldAlias(aliasText));
    if (found == tracks.end()) {
        return false;
    }
    const Track& track = *found->second;
    *info = MciTrackInfo();
    info->path = track.path;
    {
        std::lock_guard<std::mutex> lock(track.shared->mutex);
        info->title = track.shared->tagTitle;
        info->artist = track.shared->tagArtist;
        info->album = track.shared->tagAlbum;
    }
    if (!track.pipeline) {
        return true;
    }
    gint64 length = 0;
    if (gst_element_query_duration(track.pipeline.get(), GST_FORMAT_TIME, &length) && length >= 0) {
        info->lengthUs = length / 1000;
    }
    gint64 position = 0;
    if (track.atStart) {
        info->positionUs = 0;
    } else if (gst_element_query_position(track.pipeline.get(), GST_FORMAT_TIME, &position) &&
               position >= 0) {
        info->positionUs = position / 1000;
    }
    return true;
}

MCIERROR GstMci::Impl::Play(Track& track, QObject* target) {
    Abort(track);
    if (!track.failed) {
        track.failed =
            track.atStart ? OutputWentStale(track) && !RenewOutput(track) : !Rewind(track);
    }
    // Once a real output was had, a track that got only the silent stand-in
    // has lost it (the sound server went away before the track was opened),
    // and fails as if its output had failed under it. Without a sound server
    // from the start, tracks play into the stand-in.
    if (!track.failed) {
        if (!mci_gst::HoldsStandIn(track.shared->sink)) {
            hadOutput = true;
        } else if (hadOutput) {
            track.shared->outputFailed = true;
            track.failed = true;
        }
    }
    const std::uint64_t generation = ++track.shared->generation;
    if (target != nullptr) {
        track.notifyPending = true;
        track.notifyGeneration = generation;
        track.notifyTarget = target;
    }
    if (track.failed) {
        // A broken stream will not end by itself: its one notification is a
        // failure, delivered later like any other.
        const std::uint32_t deviceId = track.deviceId;
        QMetaObject::invokeMethod(
            &relay,
            [this, deviceId, generation] {
                OnStreamEvent(deviceId, StreamEvent::Failure, generation);
            },
            Qt::QueuedConnection);
        return 0;
    }
    track.atStart = false;
    if (gst_element_set_state(track.pipeline.get(), GST_STATE_PLAYING) ==
        GST_STATE_CHANGE_FAILURE) {
        track.notifyPending = false;
        track.notifyTarget = nullptr;
        return MCIERR_DEVICE_NOT_READY;
    }
    return 0;
}

// An output that keeps time of its own (a sound server's stream) counts it
// from when it was made, paused or not, and places a track's first sample by
// that count: a track played after waiting prerolled began as long after
// "play" as it had waited, behind that much silence. The first track of a run
// waits so for the window to be made.
bool GstMci::Impl::OutputWentStale(Track& track) {
    // Longer than a new output takes to make: a millisecond or two.
    constexpr std::chrono::milliseconds kStaleAfter(5);
    {
        std::lock_guard<std::mutex> lock(track.shared->mutex);
        if (!track.shared->prerolled ||
            std::chrono::steady_clock::now() - track.shared->prerolledAt < kStaleAfter) {
            return false;
        }
    }
    GstClock* const ownClock = gst_element_provide_clock(track.shared->sink);
    if (ownClock == nullptr) {
        return false;
    }
    gst_object_unref(ownClock);
    return true;
}

// A new output, and the track prerolled into it from its start.
bool GstMci::Impl::RenewOutput(Track& track) {
    GstElement* sink = track.shared->sink;
    return gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE &&
           gst_element_set_state(sink, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
           Rewind(track);
}

// Back to the start, paused. Pausing first matters: a stream that reaches its
// end at once (a sink that does not wait for the clock) must not post that end
// before the next play has taken its number.
bool GstMci::Impl::Rewind(Track& track) {
    GstElement* pipeline = track.pipeline.get();
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    if (gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0)) {
        return true;
    }
    // A stream that cannot seek starts over from a reset pipeline.
    return gst_element_set_state(pipeline, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE &&
           gst_element_set_state(pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

void GstMci::Impl::Stop(Track& track) {
    Abort(track);
    if (!track.atStart) {
        gst_element_set_state(track.pipeline.get(), GST_STATE_PAUSED);
    }
}

// A play that is stopped, closed or replaced ends with ABORTED. It is posted,
// not sent: the caller is in the middle of a command.
void GstMci::Impl::Abort(Track& track) {
    if (!track.notifyPending) {
        return;
    }
    track.notifyPending = false;
    if (QObject* target = track.notifyTarget.data()) {
        QCoreApplication::postEvent(target, new MciNotifyEvent(MCI_NOTIFY_ABORTED, track.deviceId));
    }
    track.notifyTarget = nullptr;
}

// A closed track hands its MIDI synth on to the next one. One set aside is let
// go of once the command is over, when the next track already plays: freeing
// a soundfont's megabytes of tables and samples takes a while.
void GstMci::Impl::ReleaseSpentSynthsLater() {
    QMetaObject::invokeMethod(
        &relay, [this] { ReleaseSpentSynths(); }, Qt::QueuedConnection);
}

// Also counts the synth's wait from the last close: a synth that waits, if
// any, is let go of once no track has closed for options.keepSynthMs.
void GstMci::Impl::ReleaseSpentSynths() {
    basis.synths->FreeSpent();
    synthWait.start(options.keepSynthMs);
}

Track* GstMci::Impl::FindDevice(std::uint32_t deviceId) {
    for (auto& entry : tracks) {
        if (entry.second->deviceId == deviceId) {
            return entry.second.get();
        }
    }
    return nullptr;
}

// Runs from the GUI thread's event loop, never inside a command. The
// notification is sent rather than posted: once the window has it, a later
// stop cannot turn a finished track's SUCCESSFUL into a stale one that would
// start the next track after the user stopped.
void GstMci::Impl::OnStreamEvent(std::uint32_t deviceId, StreamEvent event,
                                 std::uint64_t generation) {
    Track* track = FindDevice(deviceId);
    if (track == nullptr) {
        return;
    }
    if (event == StreamEvent::Failure) {
        track->failed = true;
    } else if (track->notifyGeneration != generation) {
        return;
    }
    if (!track->notifyPending) {
        return;
    }
    const QPointer<QObject> target = track->notifyTarget;
    track->notifyPending = false;
    track->notifyTarget = nullptr;
    if (target) {
        if (event == StreamEvent::Failure && track->shared->outputFailed) {
            WatchOutput(target.data());
        }
        MciNotifyEvent notify(
            event == StreamEvent::End ? MCI_NOTIFY_SUCCESSFUL : MCI_NOTIFY_FAILURE, deviceId);
        QCoreApplication::sendEvent(target.data(), &notify);
    }
}

// One watch serves whichever window's play failed last.
void GstMci::Impl::WatchOutput(QObject* waiter) {
    outputWaiter = waiter;
    if (!outputWatch) {
        outputWatch = std::make_unique<mci_gst::OutputWatch>(
            options.sinkDescription, options.outputRetryMs, [bridge = basis.link] {
                CallLayer(*bridge, [](Impl& owner) { owner.OnOutputBack(); });
            });
    }
}

void GstMci::Impl::OnOutputBack() {
    outputWatch.reset();
    const QPointer<QObject> waiter = std::exchange(outputWaiter, nullptr);
    if (waiter) {
        QCoreApplication::postEvent(waiter.data(), new MciOutputEvent());
    }
}

GstMci::GstMci(GstMciOptions options, OpenAheadTrack ahead)
    : m_impl(std::make_unique<Impl>(std::move(options), std::move(ahead.m_ahead))) {
}

GstMci::~GstMci() = default;

MCIERROR GstMci::OpenType(std::uint32_t deviceType) {
    return m_impl->OpenType(deviceType);
}

MCIERROR GstMci::OpenElement(const std::string& path, const std::string& alias) {
    return m_impl->Open(path, alias);
}

MCIERROR GstMci::SendString(const std::string& command, HWND callback) {
    return m_impl->Command(command, callback);
}

bool GstMci::GetTrackInfo(const std::string& alias, MciTrackInfo* info) {
    return m_impl->TrackInfo(alias, info);
}

const std::string& GstMci::Soundfont() const {
    return m_impl->basis.soundfont;
}

}  // namespace platform
