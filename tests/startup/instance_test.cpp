#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/instance.h"
#include "support/private_mounts.h"

namespace {

using Files = std::vector<std::string>;
using Outcome = platform::InstanceClaim::Outcome;

constexpr int kWaitMs = 60000;

// True while some process waits for a lock on the file with inode `inode`
// (the kernel lists waiters with "->" in /proc/locks).
bool SomeoneWaitsOnLock(ino_t inode) {
    std::ifstream locks("/proc/locks");
    const std::string tail = ":" + std::to_string(inode) + " ";
    for (std::string line; std::getline(locks, line);) {
        if (line.find("->") != std::string::npos && line.find(tail) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A socket bound at `path`, and listening if `listen`, as a first start
// leaves it; -1 if it could not be made.
int SocketAt(const std::string& path, bool listen = true) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        (listen && ::listen(fd, 4) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Ready(const std::future<platform::InstanceClaim>& claim) {
    return claim.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// A first player's server on `fd`, keeping the files of every request.
std::unique_ptr<platform::InstanceServer> Serve(int fd, std::vector<Files>& requests) {
    auto server = std::make_unique<platform::InstanceServer>(fd);
    QObject::connect(server.get(), &platform::InstanceServer::OpenRequested,
                     [&requests](const Files& files) { requests.push_back(files); });
    return server;
}

// A private runtime folder, as the session gives one.
class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_EQ(::chmod(m_folder.c_str(), 0700), 0);
    }
    std::string SocketPath() const { return m_folder + "/melvane.socket"; }

    // Claims from another thread, as another start would.
    std::future<platform::InstanceClaim> ClaimAsync(const Files& files) {
        return std::async(std::launch::async,
                          [this, files] { return platform::ClaimInstance(m_folder, files); });
    }
    // The same, while this thread runs the first player's event loop.
    platform::InstanceClaim ClaimBeside(const Files& files) {
        auto claim = ClaimAsync(files);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Ready(claim); }, kWaitMs));
        return claim.get();
    }

    QTemporaryDir m_dir;
    const std::string m_folder = m_dir.path().toStdString();
};

TEST_F(InstanceTest, APrivateRuntimeFolderIsUsedAndAnOpenOneIsNot) {
    std::string error;
    EXPECT_EQ(platform::InstanceFolder(m_folder.c_str(), &error), m_folder);
    // The fallback is made under /tmp: a fresh /tmp of a child's own.
    const PrivateMountsOutcome outcome = RunWithPrivateMounts([]() -> std::string {
        if (::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0 ||
            ::mkdir("/tmp/open", 0755) != 0 || ::chmod("/tmp/open", 0755) != 0) {
            return "could not make a private /tmp";
        }
        const std::string fallback = "/tmp/melvane-" + std::to_string(::geteuid());
        for (const char* runtime : {"/tmp/open", static_cast<const char*>(nullptr), "relative"}) {
            std::string why;
            const std::string folder = platform::InstanceFolder(runtime, &why);
            if (folder != fallback) {
                return std::string(runtime != nullptr ? runtime : "no runtime folder") + " gave '" +
                       folder + "': " + why;
            }
        }
        struct stat st {};
        if (::lstat(fallback.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            (st.st_mode & 0777) != 0700 || st.st_uid != ::geteuid()) {
            return fallback + " is not a folder of this user's with mode 700";
        }
        return std::string();
    });
    if (!outcome.ran) {
        GTEST_SKIP() << "no private mount namespace: needs root or user namespaces";
    }
    EXPECT_EQ(outcome.failure, "");
}

TEST_F(InstanceTest, RequestsCarryAnyBytesAndAreReadWhole) {
    const Files files{"/m/\xff\xfe.mid", "/m/line\nbreak.wav", std::string("/m/\0nul", 7)};
    const std::string bytes = platform::EncodeOpenRequest(files);
    Files read;
    EXPECT_EQ(platform::DecodeOpenRequest(bytes, &read), platform::RequestState::kComplete);
    EXPECT_EQ(read, files);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        EXPECT_EQ(platform::DecodeOpenRequest(bytes.substr(0, n), &read),
                  platform::RequestState::kIncomplete)
            << n;
    }
    EXPECT_EQ(platform::DecodeOpenRequest(platform::EncodeOpenRequest({}), &read),
              platform::RequestState::kComplete);
    EXPECT_TRUE(read.empty());
}

TEST_F(InstanceTest, BrokenRequestsAreRefused) {
    Files read;
    const std::string good = platform::EncodeOpenRequest({"/m/a.mid"});
    EXPECT_EQ(platform::DecodeOpenRequest("GET / HTTP/1.0\r\n", &read),
              platform::RequestState::kMalformed);
    EXPECT_EQ(platform::DecodeOpenRequest(good + "x", &read), platform::RequestState::kMalformed);
    EXPECT_EQ(platform::DecodeOpenRequest(platform::EncodeOpenRequest({""}), &read),
              platform::RequestState::kMalformed);
    EXPECT_EQ(platform::DecodeOpenRequest(platform::EncodeOpenRequest(Files(1001, "/a")), &read),
              platform::RequestState::kMalformed);
    EXPECT_EQ(platform::DecodeOpenRequest(
                  platform::EncodeOpenRequest({"/" + std::string(20000, 'a')}), &read),
              platform::RequestState::kMalformed);
}

TEST_F(InstanceTest, TheFirstStartListensAndALaterOneHandsItsFilesOver) {
    const platform::InstanceClaim first = platform::ClaimInstance(m_folder, {});
    ASSERT_EQ(first.outcome, Outcome::kFirst) << first.error;
    std::vector<Files> requests;
    const auto server = Serve(first.listeningFd, requests);
    ASSERT_TRUE(server->IsListening());

    const Files files{"/m/b.mid", "/m/\xff a.wav"};
    const platform::InstanceClaim second = ClaimBeside(files);
    EXPECT_EQ(second.outcome, Outcome::kHandedOver) << second.error;
    EXPECT_EQ(second.listeningFd, -1);
    const platform::InstanceClaim third = ClaimBeside({});
    EXPECT_EQ(third.outcome, Outcome::kHandedOver) << third.error;
    EXPECT_EQ(requests, (std::vector<Files>{files, Files{}}));
}

TEST_F(InstanceTest, ASocketLeftByAPlayerThatEndedIsTakenOver) {
    // Bound once and closed: the file stays, nobody listens on it.
    const int fd = SocketAt(SocketPath(), false);
    ASSERT_GE(fd, 0);
    ::close(fd);

    const platform::InstanceClaim claim = platform::ClaimInstance(m_folder, {"/m/a.mid"});
    ASSERT_EQ(claim.outcome, Outcome::kFirst) << claim.error;
    platform::InstanceServer server(claim.listeningFd);
    int requests = 0;
    QObject::connect(&server, &platform::InstanceServer::OpenRequested, [&] { ++requests; });
    EXPECT_EQ(ClaimBeside({}).outcome, Outcome::kHandedOver);
    EXPECT_EQ(requests, 1);
}

TEST_F(InstanceTest, SomethingThatTakesTheRequestWithoutAnsweringIsNotObeyed) {
    const int fd = SocketAt(SocketPath());
    ASSERT_GE(fd, 0);
    std::atomic<bool> stop{false};
    std::thread mute([&] {
        while (!stop) {
            const int peer = ::accept(fd, nullptr, nullptr);
            if (peer >= 0) {
                ::close(peer);
            }
        }
    });
    const platform::InstanceClaim claim = platform::ClaimInstance(m_folder, {"/m/a.mid"});
    EXPECT_EQ(claim.outcome, Outcome::kNoAnswer);
    EXPECT_EQ(claim.listeningFd, -1);
    EXPECT_NE(claim.error.find(SocketPath()), std::string::npos) << claim.error;
    stop = true;
    ::shutdown(fd, SHUT_RDWR);
    mute.join();
    ::close(fd);
}

// A start that finds the lock taken waits until the start holding it listens,
// then hands its files over instead of listening beside it.
TEST_F(InstanceTest, AStartWaitsForTheOneBeforeItToListen) {
    const int lock = ::open((m_folder + "/melvane.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    struct stat st {};
    ASSERT_EQ(::fstat(lock, &st), 0);
    auto claim = ClaimAsync({"/m/b.mid"});
    const bool waited = QTest::qWaitFor([&] { return SomeoneWaitsOnLock(st.st_ino); }, kWaitMs);
    EXPECT_TRUE(waited) << "the start did not wait for the lock";
    const int listening = waited ? SocketAt(SocketPath()) : -1;
    std::unique_ptr<platform::InstanceServer> server;
    std::vector<Files> requests;
    if (listening >= 0) {
        server = Serve(listening, requests);
    }
    ::close(lock);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ready(claim); }, kWaitMs));
    const platform::InstanceClaim result = claim.get();
    EXPECT_EQ(result.outcome, Outcome::kHandedOver) << result.error;
    EXPECT_EQ(requests, (std::vector<Files>{{"/m/b.mid"}}));
    if (result.listeningFd >= 0) {
        ::close(result.listeningFd);
    }
}

TEST_F(InstanceTest, TwoStartsAtOnceMakeOnePlayer) {
    auto claimA = ClaimAsync({"/m/a.mid"});
    auto claimB = ClaimAsync({"/m/b.mid"});
    std::unique_ptr<platform::InstanceServer> server;
    std::vector<Files> requests;
    std::vector<platform::InstanceClaim> claims;
    auto take = [&](std::future<platform::InstanceClaim>& claim) {
        if (claim.valid() && Ready(claim)) {
            claims.push_back(claim.get());
            if (claims.back().outcome == Outcome::kFirst) {
                server = Serve(claims.back().listeningFd, requests);
            }
        }
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            take(claimA);
            take(claimB);
            return claims.size() == 2;
        },
        kWaitMs));
    ASSERT_EQ(claims.size(), 2u);
    const int firsts =
        (claims[0].outcome == Outcome::kFirst) + (claims[1].outcome == Outcome::kFirst);
    const int handed =
        (claims[0].outcome == Outcome::kHandedOver) + (claims[1].outcome == Outcome::kHandedOver);
    EXPECT_EQ(firsts, 1);
    EXPECT_EQ(handed, 1);
    EXPECT_EQ(requests.size(), 1u);
}

}  // namespace
