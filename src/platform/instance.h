// One player per user: the first start listens on a local socket in a folder
// only its user may enter; later starts hand their files to it and end. The
// socket needs no session bus, and a start can ask it before any toolkit or
// media framework is loaded.
#pragma once

#include <QObject>

#include <string>
#include <vector>

class QLocalServer;

namespace platform {

// The folder for the player's socket and lock: `xdgRuntimeDir` when it is a
// folder of this user's that nobody else may enter, otherwise
// /tmp/melvane-UID, made (mode 0700) when missing. Empty, with `error` set,
// when no such folder can be had.
std::string InstanceFolder(const char* xdgRuntimeDir, std::string* error);

// What a start hands over: the files it was given, byte for byte; none asks
// the running player to show its window.
std::string EncodeOpenRequest(const std::vector<std::string>& files);
enum class RequestState { kIncomplete, kComplete, kMalformed };
// Reads one request from the start of `bytes`; `files` is set when complete.
RequestState DecodeOpenRequest(const std::string& bytes, std::vector<std::string>* files);

struct InstanceClaim {
    enum class Outcome {
        kFirst,       // no player answered: this process listens on `listeningFd`
        kHandedOver,  // the running player has taken the request
        kNoAnswer,    // a player is there but did not take the request
        kFailed,      // no socket could be used; `error` says why
    };
    Outcome outcome = Outcome::kFailed;
    int listeningFd = -1;
    std::string error;
};

// Under the folder's lock, so that two starts at once agree on one player:
// hands `files` to the player listening in `folder` and waits (bounded) for
// its answer; when nobody listens there, or only a socket left by a player
// that ended is found, takes the socket over and listens on it instead.
InstanceClaim ClaimInstance(const std::string& folder, const std::vector<std::string>& files);

// The first player's side: takes the listening socket from ClaimInstance
// (after the application object exists) and reports each complete request,
// on the GUI thread, after answering it.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(int listeningFd, QObject* parent = nullptr);
    ~InstanceServer() override;

    bool IsListening() const;

signals:
    void OpenRequested(const std::vector<std::string>& files);

private:
    void OnNewConnection();

    QLocalServer* m_server;
};

}  // namespace platform
