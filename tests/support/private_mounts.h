// Runs a check in a child process with a mount table of its own, so that a
// test may put a folder of its own where the system has one (/tmp, the root
// directory) and the machine sees nothing of it. Root may do this; another
// user only where the kernel lets it make a user namespace. Plain POSIX, so
// the engine's tests may use it too.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <string>

struct PrivateMountsOutcome {
    // False when no namespace could be had: the check did not run.
    bool ran = false;
    // What the check found wrong; empty when it held.
    std::string failure;
};

// Gives the calling (single-threaded) process a mount namespace whose changes
// stay in it; as another user than root, inside a user namespace where the
// user keeps its own ids.
inline bool EnterPrivateMounts() {
    const std::string uid = std::to_string(::geteuid());
    const std::string gid = std::to_string(::getegid());
    const auto write = [](const char* path, const std::string& text) {
        std::ofstream file(path);
        return static_cast<bool>(file << text << std::flush);
    };
    const bool entered = uid == "0" ? ::unshare(CLONE_NEWNS) == 0
                                    : ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
                                          write("/proc/self/setgroups", "deny") &&
                                          write("/proc/self/uid_map", uid + " " + uid + " 1") &&
                                          write("/proc/self/gid_map", gid + " " + gid + " 1");
    return entered && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs `check` in a child process inside a private mount namespace and tells
// what it returned: empty when it held, otherwise what went wrong.
inline PrivateMountsOutcome RunWithPrivateMounts(const std::function<std::string()>& check) {
    constexpr int kNoNamespace = 77;
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return {true, "no pipe to the child"};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        if (!EnterPrivateMounts()) {
            ::_exit(kNoNamespace);
        }
        const std::string failure = check();
        // The status tells the outcome; the text, when it gets through, why.
        const ssize_t told = ::write(pipe[1], failure.data(), failure.size());
        static_cast<void>(told);
        ::_exit(failure.empty() ? 0 : 1);
    }
    ::close(pipe[1]);
    PrivateMountsOutcome outcome{true, std::string()};
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
        outcome.failure = child < 0 ? "could not fork" : "the child ended by a signal";
    } else if (WEXITSTATUS(status) == kNoNamespace) {
        outcome.ran = false;
    } else if (WEXITSTATUS(status) != 0 && outcome.failure.empty()) {
        outcome.failure = "the check failed";
    }
    return outcome;
}
