// WAV files through libsndfile. GStreamer's own WAV parser refuses 8-bit
// files with an odd number of data bytes and ends ADPCM files early, where it
// trusts the header's byte rate; libsndfile reads those, and the other codecs
// of WAV files, exactly. GStreamer reaches it through its "sfdec" element.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

namespace platform::mci_gst {

// The element that decodes through libsndfile.
inline constexpr const char* kSndfileDecoder = "sfdec";

// How many frames the WAV file open as `fd`, and reached by the name
// `location`, holds, if libsndfile reads it and its element is installed; 0
// otherwise. Everything else, a WAV file libsndfile cannot read included,
// goes GStreamer's own way. libsndfile is loaded by the first WAV file, not
// at start-up.
std::int64_t FramesThroughSndfile(int fd, const std::string& location);

// Links `decoder`, a kSndfileDecoder, to `next`, and has it hand on no more
// than the `frames` FramesThroughSndfile found, and only the frames it
// decoded: it sends its last block whole, past the end of the sound.
bool LinkSndfileDecoder(GstElement* decoder, GstElement* next, std::int64_t frames);

}  // namespace platform::mci_gst
