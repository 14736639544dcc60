#include "platform/instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/unique_fd.h"

namespace platform {

namespace {

const char kMagic[] = "melvane-open 1\n";
const char kAnswer[] = "ok\n";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;
constexpr std::size_t kAnswerSize = sizeof kAnswer - 1;
// A request is the magic, a count, then each file as its length and bytes.
// The limits keep a broken or hostile peer from making the player hoard memory.
constexpr std::uint32_t kMaxFiles = 1000;
constexpr std::uint32_t kMaxPathBytes = 16384;
// The running player answers from its event loop; under load, while it is
// still starting, that may take a while.
constexpr int kAnswerTimeoutMs = 30000;

const char kSocketName[] = "melvane.socket";
const char kLockName[] = "melvane.lock";

void PutUint32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

bool GetUint32(const std::string& bytes, std::size_t& at, std::uint32_t& value) {
    if (bytes.size() - at < 4) {
        return false;
    }
    value = 0;
    for (int i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    at += 4;
    return true;
}

// A folder of this user's that nobody else may enter.
bool IsPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

bool FitsSocketPath(const std::string& folder) {
    return folder.size() + 1 + sizeof kSocketName <= sizeof(sockaddr_un{}.sun_path);
}

sockaddr_un SocketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

bool SendAll(int fd, const std::string& bytes) {
    return WriteFully(bytes.data(), bytes.size(), [fd](const char* data, std::size_t size) {
        return ::send(fd, data, size, MSG_NOSIGNAL);
    });
}

// Reads the player's answer; false when it closed or fell silent without one.
bool AwaitAnswer(int fd) {
    std::string answer;
    while (answer.size() < kAnswerSize) {
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, kAnswerTimeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        char buffer[16];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer.compare(0, kAnswerSize, kAnswer) == 0;
}

enum class Handover { kTaken, kNobody, kNoAnswer, kError };

Handover HandOver(const std::string& socketPath, const std::string& request, std::string* error) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        *error = std::string("cannot make a socket: ") + std::strerror(errno);
        return Handover::kError;
    }
    const sockaddr_un address = SocketAddress(socketPath);
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // No socket, or one that nobody listens on any more.
        if (errno == ENOENT || errno == ECONNREFUSED) {
            return Handover::kNobody;
        }
        *error = "cannot reach the running player at " + socketPath + ": " + std::strerror(errno);
        return Handover::kError;
    }
    if (!SendAll(fd.Get(), request) || !AwaitAnswer(fd.Get())) {
        return Handover::kNoAnswer;
    }
    return Handover::kTaken;
}

int Listen(const std::string& socketPath, std::string* error) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        *error = std::string("cannot make a socket: ") + std::strerror(errno);
        return -1;
    }
    // Whatever is left at the path belongs to a player that has ended: under
    // the lock, nobody answered on it.
    ::unlink(socketPath.c_str());
    const sockaddr_un address = SocketAddress(socketPath);
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.Get(), 16) != 0) {
        *error = "cannot listen at " + socketPath + ": " + std::strerror(errno);
        return -1;
    }
    return fd.Release();
}

}  // namespace

std::string InstanceFolder(const char* xdgRuntimeDir, std::string* error) {
    struct stat st {};
    if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] == '/' && ::stat(xdgRuntimeDir, &st) == 0 &&
        IsPrivateFolder(st) && FitsSocketPath(xdgRuntimeDir)) {
        return xdgRuntimeDir;
    }
    const std::string folder = "/tmp/melvane-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = "cannot make " + folder + ": " + std::strerror(errno);
        return std::string();
    }
    // Not followed if it is a link: someone else may have put it there.
    if (::lstat(folder.c_str(), &st) != 0 || !IsPrivateFolder(st)) {
        *error = folder + " is not a private folder of this user's";
        return std::string();
    }
    return folder;
}

std::string EncodeOpenRequest(const std::vector<std::string>& files) {
    std::string bytes(kMagic, kMagicSize);
    PutUint32(bytes, static_cast<std::uint32_t>(files.size()));
    for (const std::string& file : files) {
        PutUint32(bytes, static_cast<std::uint32_t>(file.size()));
        bytes += file;
    }
    return bytes;
}

RequestState DecodeOpenRequest(const std::string& bytes, std::vector<std::string>* files) {
    const std::size_t known = std::min(bytes.size(), kMagicSize);
    if (bytes.compare(0, known, kMagic, known) != 0) {
        return RequestState::kMalformed;
    }
    std::size_t at = kMagicSize;
    std::uint32_t count = 0;
    if (known < kMagicSize || !GetUint32(bytes, at, count)) {
        return RequestState::kIncomplete;
    }
    if (count > kMaxFiles) {
        return RequestState::kMalformed;
    }
    std::vector<std::string> read;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        if (!GetUint32(bytes, at, length)) {
            return RequestState::kIncomplete;
        }
        if (length == 0 || length > kMaxPathBytes) {
            return RequestState::kMalformed;
        }
        if (bytes.size() - at < length) {
            return RequestState::kIncomplete;
        }
        read.push_back(bytes.substr(at, length));
        at += length;
    }
    if (at != bytes.size()) {
        return RequestState::kMalformed;
    }
    *files = std::move(read);
    return RequestState::kComplete;
}

InstanceClaim ClaimInstance(const std::string& folder, const std::vector<std::string>& files) {
    InstanceClaim claim;
    if (!FitsSocketPath(folder)) {
        claim.error = "the folder name " + folder + " is too long for a socket";
        return claim;
    }
    const std::string socketPath = folder + "/" + kSocketName;
    const std::string lockPath = folder + "/" + kLockName;
    UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.Get() < 0) {
        claim.error = "cannot open " + lockPath + ": " + std::strerror(errno);
        return claim;
    }
    while (::flock(lock.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            claim.error = "cannot lock " + lockPath + ": " + std::strerror(errno);
            return claim;
        }
    }
    const std::string request = EncodeOpenRequest(files);
    // A player that was ending as we asked closes without an answer and takes
    // its socket with it; ask again, or listen when it is gone.
    for (int attempt = 0; attempt < 3; ++attempt) {
        switch (HandOver(socketPath, request, &claim.error)) {
            case Handover::kTaken:
                claim.outcome = InstanceClaim::Outcome::kHandedOver;
                return claim;
            case Handover::kError:
                return claim;
            case Handover::kNoAnswer:
                continue;
            case Handover::kNobody:
                claim.listeningFd = Listen(socketPath, &claim.error);
                if (claim.listeningFd >= 0) {
                    claim.outcome = InstanceClaim::Outcome::kFirst;
                    claim.error.clear();
                }
                return claim;
        }
    }
    claim.outcome = InstanceClaim::Outcome::kNoAnswer;
    claim.error = "the running player did not answer at " + socketPath;
    return claim;
}

InstanceServer::InstanceServer(int listeningFd, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    m_server->setMaxPendingConnections(16);
    if (m_server->listen(static_cast<qintptr>(listeningFd))) {
        connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::OnNewConnection);
        // Starts that came while this one was starting wait in the backlog.
        OnNewConnection();
    } else {
        ::close(listeningFd);
    }
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::IsListening() const {
    return m_server->isListening();
}

void InstanceServer::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<std::string>();
        auto answered = std::make_shared<bool>(false);
        auto take = [this, socket, received, answered] {
            const QByteArray chunk = socket->readAll();
            if (*answered) {
                return;
            }
            received->append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
            std::vector<std::string> files;
            switch (DecodeOpenRequest(*received, &files)) {
                case RequestState::kIncomplete:
                    return;
                case RequestState::kMalformed:
                    *answered = true;
                    socket->abort();
                    return;
                case RequestState::kComplete:
                    *answered = true;
                    socket->write(kAnswer, static_cast<qint64>(kAnswerSize));
                    socket->disconnectFromServer();
                    emit OpenRequested(files);
                    return;
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, take);
        // What came before the connection was taken is read at once.
        take();
    }
}

}  // namespace platform
