#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

namespace platform {
namespace {

const char kTempInfix[] = ".tmp";
// How many names are tried for a new file before giving up.
constexpr int kMaxNameTries = 1000;

std::string DirectoryPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// Whether `name` is one that AtomicFile gives a new file for `targetName`.
bool IsTempName(const std::string& name, const std::string& targetName) {
    // "<target>.tmp" and then only letters and digits (earlier versions used
    // the process id).
    const std::string prefix = targetName + kTempInfix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) {
            return false;
        }
    }
    return true;
}

void RemoveLeftoverTemps(const std::string& target) {
    DIR* dir = ::opendir(DirectoryPart(target).c_str());
    if (dir == nullptr) {
        return;
    }
    const int dirFd = ::dirfd(dir);
    const std::string targetName = NamePart(target);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsTempName(name, targetName)) {
            continue;
        }
        // Regular files only, never through a link, and only the file that
        // was locked is removed, not one that took its name meanwhile.
        const UniqueFd fd(
            ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd.Get() < 0) {
            continue;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd.Get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
            ::unlinkat(dirFd, name.c_str(), 0);
        }
    }
    ::closedir(dir);
}

}  // namespace

AtomicFile::AtomicFile(std::string target, mode_t mode) : m_target(std::move(target)) {
    RemoveLeftoverTemps(m_target);
    for (int tries = 0; tries < kMaxNameTries; ++tries) {
        unsigned char random[8] = {};
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
            return;
        }
        char suffix[2 * sizeof random + 1] = {};
        for (std::size_t i = 0; i < sizeof random; ++i) {
            std::snprintf(suffix + 2 * i, 3, "%02x", random[i]);
        }
        m_temp = m_target + kTempInfix + suffix;
        m_file.Reset(
            ::open(m_temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (m_file.Get() >= 0) {
            ::flock(m_file.Get(), LOCK_EX);
            return;
        }
        if (errno != EEXIST) {
            return;
        }
    }
}

AtomicFile::~AtomicFile() {
    if (m_file.Get() >= 0 && !m_committed) {
        ::unlink(m_temp.c_str());
    }
}

bool AtomicFile::Write(const char* data, std::size_t size) {
    const int fd = m_file.Get();
    return fd >= 0 && WriteFully(data, size, [fd](const char* part, std::size_t partSize) {
               return ::write(fd, part, partSize);
           });
}

bool AtomicFile::Flush(mode_t mode) {
    const int fd = m_file.Get();
    m_flushed =
        fd >= 0 && (mode == static_cast<mode_t>(-1) || ::fchmod(fd, mode) == 0) && ::fsync(fd) == 0;
    return m_flushed;
}

bool AtomicFile::Commit() {
    if (m_file.Get() < 0 || m_committed || (!m_flushed && !Flush())) {
        return false;
    }
    m_committed = ::rename(m_temp.c_str(), m_target.c_str()) == 0;
    return m_committed;
}

void MakeFoldersFor(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) {
            return;
        }
    }
}

bool ReplaceFileWith(const std::string& target, const std::string& bytes, mode_t mode) {
    AtomicFile file(target, mode);
    return file.Write(bytes) && file.Commit();
}

}  // namespace platform
