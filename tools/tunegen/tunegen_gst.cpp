// What needs a real encoder goes through GStreamer: MP3 (LAME) and a short
// video without sound (Theora in Ogg).
#include <gst/gst.h>

#include <cstdio>
#include <memory>

#include "tunegen/tunegen.h"

namespace tunegen {
namespace {

struct GstUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            gst_object_unref(object);
        }
    }
};
using ElementPtr = std::unique_ptr<GstElement, GstUnref>;
using BusPtr = std::unique_ptr<GstBus, GstUnref>;

struct MessageUnref {
    void operator()(GstMessage* message) const { gst_message_unref(message); }
};
using MessagePtr = std::unique_ptr<GstMessage, MessageUnref>;

struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

// Stops the pipeline before it is released, whichever way RunToEnd returns.
struct StopOnExit {
    GstElement* pipeline;
    ~StopOnExit() { gst_element_set_state(pipeline, GST_STATE_NULL); }
};

bool SetLocation(GstElement* pipeline, const char* name, const std::string& path) {
    ElementPtr element(gst_bin_get_by_name(GST_BIN(pipeline), name));
    if (!element) {
        return false;
    }
    // The location is a file name in the GLib filename encoding, which on
    // Linux is the path's bytes as they are.
    g_object_set(element.get(), "location", path.c_str(), nullptr);
    return true;
}

bool StartGst(std::string* error) {
    if (gst_is_initialized()) {
        return true;
    }
    GError* raw = nullptr;
    if (!gst_init_check(nullptr, nullptr, &raw)) {
        ErrorPtr failure(raw);
        *error = std::string("GStreamer did not start: ") +
                 (failure ? failure->message : "unknown reason");
        return false;
    }
    return true;
}

// Runs `description` to its end. Its elements named "in" and "out" get
// `inPath` and `outPath` as their locations (when given).
bool RunToEnd(const char* description, const std::string& inPath, const std::string& outPath,
              std::string* error) {
    if (!StartGst(error)) {
        return false;
    }
    GError* raw = nullptr;
    GstElement* parsed = gst_parse_launch(description, &raw);
    ErrorPtr parseError(raw);
    ElementPtr pipeline(parsed != nullptr ? GST_ELEMENT_CAST(gst_object_ref_sink(parsed))
                                          : nullptr);
    if (!pipeline || parseError) {
        *error = std::string("cannot build the encoder: ") +
                 (parseError ? parseError->message : "unknown reason");
        return false;
    }
    if ((!inPath.empty() && !SetLocation(pipeline.get(), "in", inPath)) ||
        !SetLocation(pipeline.get(), "out", outPath)) {
        *error = "the encoder has no file source or sink";
        return false;
    }
    StopOnExit stop{pipeline.get()};
    BusPtr bus(gst_element_get_bus(pipeline.get()));
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        *error = "the encoder did not start for " + outPath;
        return false;
    }
    MessagePtr message(gst_bus_timed_pop_filtered(
        bus.get(), 300 * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    if (!message) {
        *error = "the encoder took too long for " + outPath;
        return false;
    }
    if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
        GError* failure = nullptr;
        gst_message_parse_error(message.get(), &failure, nullptr);
        ErrorPtr owned(failure);
        *error = "encoding " + outPath + " failed: " + (owned ? owned->message : "unknown");
        return false;
    }
    return true;
}

}  // namespace

bool WriteMp3(const std::string& path, const Tune& tune, double seconds, std::string* error) {
    const std::string wavPath = path + ".part.wav";
    if (!WriteWav(wavPath, tune, seconds, error)) {
        return false;
    }
    const bool encoded = RunToEnd(
        "filesrc name=in ! wavparse ! audioconvert ! "
        "lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink name=out",
        wavPath, path, error);
    std::remove(wavPath.c_str());
    if (!encoded) {
        std::remove(path.c_str());
    }
    return encoded;
}

namespace {

bool WriteVideo(const char* description, const std::string& path, std::string* error) {
    const bool encoded = RunToEnd(description, std::string(), path, error);
    if (!encoded) {
        std::remove(path.c_str());
    }
    return encoded;
}

}  // namespace

bool WriteVideoWithoutSound(const std::string& path, std::string* error) {
    return WriteVideo(
        "videotestsrc num-buffers=15 ! video/x-raw,width=64,height=48,framerate=15/1 ! "
        "theoraenc ! oggmux ! filesink name=out",
        path, error);
}

bool WriteVideoWithSound(const std::string& path, std::string* error) {
    // One second each: 15 frames at 15 a second, and 45 buffers of 980 samples.
    return WriteVideo(
        "videotestsrc num-buffers=15 ! video/x-raw,width=64,height=48,framerate=15/1 ! "
        "theoraenc ! oggmux name=mux ! filesink name=out "
        "audiotestsrc num-buffers=45 samplesperbuffer=980 ! "
        "audio/x-raw,rate=44100,channels=2 ! audioconvert ! vorbisenc ! mux.",
        path, error);
}

}  // namespace tunegen
