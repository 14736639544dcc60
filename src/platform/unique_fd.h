// A file descriptor that closes with its owner, and a write that does not
// stop short. Plain POSIX, so the playlist engine may use them too.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    // Closes the descriptor held, if any, and holds `fd` instead.
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }
    // Gives the descriptor up without closing it.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd = -1;
};

// Hands all `size` bytes to `writeSome(data, size)` (write, send, ...),
// however few each call takes; false when a call fails other than by a
// signal.
template <typename WriteSome>
bool WriteFully(const char* data, std::size_t size, WriteSome writeSome) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = writeSome(data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace platform
