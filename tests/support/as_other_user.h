// Runs a check as an ordinary user. Root may write anywhere, so a test of
// what a read-only folder does runs, when the tests run as root, in a child
// process that has become "nobody" (65534) and kept no capability.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

constexpr uid_t kNobody = 65534;

// True when the tests run as root and checks must go through AsOrdinaryUser.
inline bool RunningAsRoot() {
    return ::geteuid() == 0;
}

// Runs `check` as an ordinary user and returns what it returned: in a child
// that became nobody when running as root, else right here. Files the check
// must own are to be given to OrdinaryUserId() first.
inline bool AsOrdinaryUser(const std::function<bool()>& check) {
    if (!RunningAsRoot()) {
        return check();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 &&
                             ::setresgid(kNobody, kNobody, kNobody) == 0 &&
                             ::setresuid(kNobody, kNobody, kNobody) == 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

inline uid_t OrdinaryUserId() {
    return RunningAsRoot() ? kNobody : ::geteuid();
}
