// A file replaced all at once: the new contents go into a new file beside it,
// which is flushed to disk and then renamed over the old one, so a crash or a
// full disk at any moment leaves either the old file or the new one, whole.
// Plain POSIX, so the playlist engine may use it too.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <utility>

#include "platform/unique_fd.h"

namespace platform {

class AtomicFile {
public:
    // Creates the new file beside `target`, as "<target>.tmp" and random hex
    // digits, exclusively (an existing file or a link at that name is never
    // opened), with `mode` under the umask, and locks it while it is written.
    // Files of that pattern left by a writer that was killed are removed
    // first, never one another writer still holds locked.
    explicit AtomicFile(std::string target, mode_t mode = 0666);
    // Removes the new file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends all `size` bytes, however few each write takes.
    bool Write(const char* data, std::size_t size);
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }

    // Gives the new file `mode` (unless it is -1) and flushes it to disk.
    bool Flush(mode_t mode = static_cast<mode_t>(-1));
    // Flushes the new file unless that was done, and renames it over the
    // target. False on any failure; the target is then as it was, and the new
    // file is removed when this object goes.
    bool Commit();

    // After a Commit, the descriptor of the file that is now the target.
    UniqueFd TakeFd() { return std::move(m_file); }

private:
    std::string m_target;
    std::string m_temp;
    UniqueFd m_file;
    bool m_flushed = false;
    bool m_committed = false;
};

// Makes the folders above `path` (up to its last slash) that are missing,
// private to the user as data and configuration folders are meant to be.
void MakeFoldersFor(const std::string& path);

// Replaces `target` with `bytes` through an AtomicFile; a new file gets `mode`
// (masked by the umask).
bool ReplaceFileWith(const std::string& target, const std::string& bytes, mode_t mode = 0644);

}  // namespace platform
