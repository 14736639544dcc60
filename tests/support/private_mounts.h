// Runs a check in a child process with a mount table of its own, so that a
// test may put a folder of its own where the system has one (/tmp, the root
// directory) and the machine sees nothing of it. Root may do this; another
// user only where the kernel lets it make a user namespace. Plain POSIX, so
// the engine's tests may use it too.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

struct PrivateMountsOutcome {
    // False when no namespace could be had: the check did not run.
    bool ran = false;
    // What the check found wrong; empty when it held.
    std::string failure;
};

namespace private_mounts_detail {

inline bool WriteProcFile(const char* path, const std::string& text) {
    FILE* file = std::fopen(path, "w");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fputs(text.c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}

// Gives the calling (single-threaded) process a mount namespace whose changes
// stay in it; as another user than root, inside a user namespace where the
// user keeps its own ids.
inline bool EnterPrivateMounts() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0) {
        if (::unshare(CLONE_NEWNS) != 0) {
            return false;
        }
    } else if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
               !WriteProcFile("/proc/self/setgroups", "deny") ||
               !WriteProcFile("/proc/self/uid_map",
                              std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
               !WriteProcFile("/proc/self/gid_map",
                              std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
        return false;
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

}  // namespace private_mounts_detail

// Runs `check` in a child process inside a private mount namespace and tells
// what it returned: empty when it held, otherwise what went wrong.
inline PrivateMountsOutcome RunWithPrivateMounts(const std::function<std::string()>& check) {
    constexpr int kNoNamespace = 77;
    PrivateMountsOutcome outcome;
    int pipe[2];
    if (::pipe(pipe) != 0) {
        outcome.ran = true;
        outcome.failure = "no pipe to the child";
        return outcome;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        if (!private_mounts_detail::EnterPrivateMounts()) {
            ::_exit(kNoNamespace);
        }
        const std::string failure = check();
        const bool written =
            failure.empty() || ::write(pipe[1], failure.data(), failure.size()) >= 0;
        ::_exit(failure.empty() ? 0 : (written ? 1 : 2));
    }
    ::close(pipe[1]);
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) {
            outcome.failure.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(pipe[0]);
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (child < 0 || !WIFEXITED(status)) {
        outcome.ran = true;
        outcome.failure = child < 0 ? "could not fork" : "the child ended by a signal";
    } else if (WEXITSTATUS(status) != kNoNamespace) {
        outcome.ran = true;
        if (WEXITSTATUS(status) != 0 && outcome.failure.empty()) {
            outcome.failure = "the check failed and could not say why";
        }
    }
    return outcome;
}
