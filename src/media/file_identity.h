// Whether an open file is still the one it was: the same file (device and
// inode) with the same contents, as far as its size and last change tell.
// The open-ahead asks it of the first track, the MIDI synth of its soundfont.
#pragma once

#include <sys/stat.h>

#include <optional>

#include "platform/unique_fd.h"

namespace platform::mci_gst {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    // What `file` is now; nothing when it cannot be asked or is not a
    // regular file.
    static std::optional<FileIdentity> OfRegularFile(const UniqueFd& file) {
        struct stat info {};
        if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return std::nullopt;
        }
        return Of(info);
    }
    // What a file was when `info` was asked of it.
    static FileIdentity Of(const struct stat& info) {
        return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    }

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

}  // namespace platform::mci_gst
