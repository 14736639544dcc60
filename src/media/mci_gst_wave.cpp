#include "media/mci_gst_wave.h"

#include <dlfcn.h>
#include <gst/audio/audio-format.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>

namespace platform::mci_gst {
namespace {

// As much of libsndfile as deciding takes: its element does the decoding.
struct SndfileLibrary {
    SNDFILE* (*open)(const char* path, int mode, SF_INFO* info);
    int (*close)(SNDFILE* file);
};

const SndfileLibrary* LoadSndfile() {
    void* library = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return nullptr;
    }
    static SndfileLibrary api;
    api.open = reinterpret_cast<decltype(api.open)>(dlsym(library, "sf_open"));
    api.close = reinterpret_cast<decltype(api.close)>(dlsym(library, "sf_close"));
    if (api.open == nullptr || api.close == nullptr) {
        dlclose(library);
        return nullptr;
    }
    return &api;
}

// libsndfile, if it and its element are both installed.
const SndfileLibrary* Sndfile() {
    static const SndfileLibrary* api = nullptr;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        GstElementFactory* element = gst_element_factory_find(kSndfileDecoder);
        if (element != nullptr) {
            gst_object_unref(element);
            api = LoadSndfile();
        }
    });
    return api;
}

// What the start of a file tells: whether it is a WAV file, and the frame
// count a compressed one's "fact" chunk states (0 if none). libsndfile counts
// whole blocks, and a last block that is only a byte of padding, as some
// writers leave, as one more.
struct WaveHeader {
    bool wave = false;
    std::int64_t statedFrames = 0;
};

// Read through the descriptor the track already holds, at offsets of its own:
// the file is not opened again for a look at its first bytes.
WaveHeader ReadWaveHeader(int fd) {
    off_t at = 0;
    const auto read = [fd, &at](unsigned char* to, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::pread(fd, to + done, size - done, at + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        at += static_cast<off_t>(size);
        return true;
    };
    const auto is = [](const unsigned char* bytes, const char* id) {
        return std::equal(bytes, bytes + 4, id);
    };
    const auto number = [](const unsigned char* bytes) {
        return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
               static_cast<std::uint32_t>(bytes[2]) << 16 |
               static_cast<std::uint32_t>(bytes[3]) << 24;
    };
    WaveHeader header;
    std::array<unsigned char, 12> riff{};
    if (!read(riff.data(), riff.size()) || !is(riff.data(), "RIFF") ||
        !is(riff.data() + 8, "WAVE")) {
        return header;
    }
    header.wave = true;
    // The chunks before the sound, one by one; a few dozen at most.
    for (int chunk = 0; chunk < 64; ++chunk) {
        std::array<unsigned char, 8> head{};
        if (!read(head.data(), head.size()) || is(head.data(), "data")) {
            break;
        }
        const std::uint32_t size = number(head.data() + 4);
        if (is(head.data(), "fact") && size >= 4) {
            std::array<unsigned char, 4> frames{};
            if (read(frames.data(), frames.size())) {
                header.statedFrames = number(frames.data());
            }
            break;
        }
        at += static_cast<off_t>(size) + (size & 1);
    }
    return header;
}

bool IsUncompressed(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
            return true;
        default:
            return false;
    }
}

// Cuts the element's blocks to the frames of the sound. Its blocks are 1024
// frames, each with its first frame's number as its offset; the last is sent
// whole, with the frames past the end of the sound unwritten. Its samples are
// floats: it is linked so.
GstPadProbeReturn CutToTheSound(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    const std::uint64_t end = *static_cast<std::int64_t*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr) {
        return GST_PAD_PROBE_OK;
    }
    const GstStructure* format = gst_caps_get_structure(caps, 0);
    gint rate = 0;
    gint channels = 0;
    const bool known = gst_structure_get_int(format, "rate", &rate) &&
                       gst_structure_get_int(format, "channels", &channels) && rate > 0 &&
                       channels > 0;
    const gsize frameBytes = static_cast<gsize>(channels) * sizeof(float);
    gst_caps_unref(caps);
    if (!known || !GST_BUFFER_OFFSET_IS_VALID(buffer)) {
        return GST_PAD_PROBE_OK;
    }
    const std::uint64_t first = GST_BUFFER_OFFSET(buffer);
    if (first >= end) {
        return GST_PAD_PROBE_DROP;
    }
    const std::uint64_t frames =
        std::min<std::uint64_t>(gst_buffer_get_size(buffer) / frameBytes, end - first);
    if (frames * frameBytes < gst_buffer_get_size(buffer)) {
        buffer = gst_buffer_make_writable(buffer);
        gst_buffer_resize(buffer, 0, static_cast<gssize>(frames * frameBytes));
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale_int(frames, GST_SECOND, rate);
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    }
    return GST_PAD_PROBE_OK;
}

void DeleteFrameCount(gpointer data) {
    delete static_cast<std::int64_t*>(data);
}

}  // namespace

std::int64_t FramesThroughSndfile(int fd, const std::string& location) {
    // libsndfile is not asked about other files: it reads MP3 files too, the
    // whole file to count its frames.
    const WaveHeader header = ReadWaveHeader(fd);
    const SndfileLibrary* sndfile = header.wave ? Sndfile() : nullptr;
    if (sndfile == nullptr) {
        return 0;
    }
    SF_INFO info{};
    SNDFILE* file = sndfile->open(location.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return 0;
    }
    sndfile->close(file);
    const int type = info.format & SF_FORMAT_TYPEMASK;
    // The element tells no speaker positions, without which more than two
    // channels cannot be converted for the output: GStreamer's own parser
    // reads them from the file.
    if ((type != SF_FORMAT_WAV && type != SF_FORMAT_WAVEX) || info.frames <= 0 ||
        info.channels <= 0 || info.channels > 2 || info.samplerate <= 0) {
        return 0;
    }
    if (!IsUncompressed(info.format) && header.statedFrames > 0 &&
        header.statedFrames < info.frames) {
        return header.statedFrames;
    }
    return info.frames;
}

bool LinkSndfileDecoder(GstElement* decoder, GstElement* next, std::int64_t frames) {
    // Decoded as floats: a 24-bit or floating-point file keeps its precision.
    GstCaps* floats =
        gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, GST_AUDIO_NE(F32), nullptr);
    const bool linked = gst_element_link_filtered(decoder, next, floats);
    gst_caps_unref(floats);
    if (!linked) {
        return false;
    }
    GstPad* output = gst_element_get_static_pad(decoder, "src");
    if (output == nullptr) {
        return false;
    }
    gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_BUFFER, CutToTheSound, new std::int64_t(frames),
                      DeleteFrameCount);
    gst_object_unref(output);
    return true;
}

}  // namespace platform::mci_gst
