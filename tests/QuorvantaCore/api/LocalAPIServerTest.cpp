#include "QuorvantaCore/api/LocalAPIServer.h"
#include "QuorvantaCore/api/SocketAddress.h"
#include "tests/QuorvantaCore/api/SocketTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using test::connectUnix;
using test::eventually;
using test::Fd;
using test::readToEnd;
using test::TempDir;
using test::writeAll;

constexpr std::string_view kStatusReply =
    R"({"entries":7,"ok":true,"volumes":[{"entries":7,"name":"V","offline":false,"root":"/v","scanning":false}]})"
    "\n";
constexpr std::string_view kNotObjectReply = "{\"error\":\"expected a JSON object with \\\"op\\\"\",\"ok\":false}\n";

constexpr std::string_view kTooLargeReply = "{\"error\":\"request too large\",\"ok\":false}\n";

LocalAPI::Backend statusBackend() {
    LocalAPI::Backend backend;
    backend.volumes = [] { return std::vector<LocalAPI::Volume>{{"V", "/v", 7, false, false}}; };
    backend.search = [](const Query&, std::int64_t) { return LocalAPI::SearchResult{}; };
    return backend;
}

// A started server on a socket in a fresh folder.
struct Served {
    explicit Served(LocalAPI::Backend backend = statusBackend(), LocalAPIServer::Options options = {})
        : path(dir / "api.sock"), server(path, std::move(backend), options) {
        server.start();
    }
    TempDir dir;
    const std::string path;
    LocalAPIServer server;
};

// One request over a fresh connection, the client's sending side shut after it.
std::string ask(const std::string& path, std::string_view bytes) {
    Fd client = connectUnix(path);
    if (client.get() < 0) return "<connect failed>";
    writeAll(client.get(), bytes);
    ::shutdown(client.get(), SHUT_WR);
    return readToEnd(client.get());
}

int threadsNamed(std::string_view name) {
    int count = 0;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::ifstream(task.path() / "comm") >> comm;
        if (comm == name) ++count;
    }
    return count;
}

void expectStartError(LocalAPIServer& server, LocalAPIServer::StartError::Case expected, const char* what) {
    try {
        server.start();
        ADD_FAILURE() << what << ": start succeeded";
    } catch (const LocalAPIServer::StartError& error) {
        EXPECT_EQ(error.kind(), expected) << what << ": " << error.description();
    }
    EXPECT_FALSE(server.isRunning()) << what;
}

// A latch the back-end waits on, so a test can hold a connection inside the handler.
struct Latch {
    std::mutex lock;
    std::condition_variable changed;
    bool open = false;
    int waiting = 0;
    void wait() {
        std::unique_lock guard(lock);
        ++waiting;
        changed.notify_all();
        changed.wait(guard, [this] { return open; });
    }
    void release() {
        std::lock_guard guard(lock);
        open = true;
        changed.notify_all();
    }
    bool hasWaiter() {
        std::lock_guard guard(lock);
        return waiting > 0;
    }
};

// A back-end whose status waits on the latch, then reports the one volume V.
LocalAPI::Backend latchedStatus(Latch& latch) {
    LocalAPI::Backend backend = statusBackend();
    backend.volumes = [&latch] {
        latch.wait();
        return std::vector<LocalAPI::Volume>{{"V", "/v", 7, false, false}};
    };
    return backend;
}

TEST(LocalAPIServer, StartErrorsPrintAsTheirCase) {
    EXPECT_EQ(LocalAPIServer::StartError::socket(98).description(), "socket(98)");
    EXPECT_EQ(LocalAPIServer::StartError::pathTooLong().description(), "pathTooLong");
    EXPECT_EQ(LocalAPIServer::StartError::notOurs().description(), "notOurs");
}

TEST(LocalAPIServer, ServesAndStartsOnceAndAgainAfterStop) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    const int before = threadsNamed("quorvanta.api");
    {
        LocalAPIServer server(path, statusBackend());
        server.start();
        server.start();
        EXPECT_TRUE(server.isRunning());
        EXPECT_TRUE(eventually([&] { return threadsNamed("quorvanta.api") == before + 1; }));
        EXPECT_EQ(ask(path, "{\"op\":\"status\"}\n"), kStatusReply);
        EXPECT_EQ(threadsNamed("quorvanta.api"), before + 1);

        server.stop();
        server.stop();
        EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
        EXPECT_EQ(threadsNamed("quorvanta.api"), before);

        server.start();
        EXPECT_EQ(ask(path, "{\"op\":\"status\"}\n"), kStatusReply);
    }
    // Destroying the server stops it.
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
    EXPECT_EQ(threadsNamed("quorvanta.api"), before);
    EXPECT_LT(connectUnix(path).get(), 0);
}

TEST(LocalAPIServer, WhatIsAlreadyAtThePathDecides) {
    TempDir dir;
    const std::string path = dir / "api.sock";

    {  // A leftover socket of ours is replaced.
        test::listenUnix(path);
        ASSERT_TRUE(fs::is_socket(path));
        LocalAPIServer server(path, statusBackend());
        server.start();
        EXPECT_EQ(ask(path, "{\"op\":\"status\"}\n"), kStatusReply);
    }

    const std::string target = dir / "target.sock";
    const Fd ours = test::listenUnix(target);
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const std::vector<Case> cases = {
        {"regular file", [&] { dir.write("api.sock", "keep me"); }},
        {"folder", [&] { fs::create_directory(path); }},
        {"link to our own socket", [&] { fs::create_symlink(target, path); }},
        {"dangling link", [&] { fs::create_symlink(dir / "nothing", path); }},
    };
    for (const Case& c : cases) {
        c.make();
        struct stat before {};
        ASSERT_EQ(::lstat(path.c_str(), &before), 0) << c.what;
        LocalAPIServer server(path, statusBackend());
        expectStartError(server, LocalAPIServer::StartError::Case::notOurs, c.what);
        struct stat after {};
        ASSERT_EQ(::lstat(path.c_str(), &after), 0) << c.what << " was removed";
        EXPECT_EQ(after.st_ino, before.st_ino) << c.what;
        EXPECT_EQ(after.st_mode, before.st_mode) << c.what;
        fs::remove(path);
    }
    EXPECT_TRUE(fs::is_socket(target));
}

TEST(LocalAPIServer, AnotherUsersSocketIsNotOurs) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a socket to another uid";
    TempDir dir;
    const std::string path = dir / "api.sock";
    test::listenUnix(path);
    ASSERT_EQ(::lchown(path.c_str(), 65534, 65534), 0);
    LocalAPIServer server(path, statusBackend());
    expectStartError(server, LocalAPIServer::StartError::Case::notOurs, "socket of uid 65534");
    EXPECT_TRUE(fs::is_socket(path));
}

TEST(LocalAPIServer, PathLengthIsTheSocketAddressLimit) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    ASSERT_LT(folder.size() + 10, kMaxSocketPathBytes);
    const std::string longest = folder + std::string(kMaxSocketPathBytes - folder.size(), 's');
    ASSERT_EQ(longest.size(), sizeof(sockaddr_un::sun_path) - 1);
    {
        LocalAPIServer server(longest, statusBackend());
        server.start();
        EXPECT_EQ(ask(longest, "{\"op\":\"status\"}"), kStatusReply);
    }
    for (const std::string& bad : {longest + "s", std::string(), folder + std::string("a\0b", 3)}) {
        LocalAPIServer server(bad, statusBackend());
        expectStartError(server, LocalAPIServer::StartError::Case::pathTooLong, "bad path");
    }
    LocalAPIServer missingFolder((dir / "no/such/api.sock").string(), statusBackend());
    try {
        missingFolder.start();
        ADD_FAILURE() << "start in a missing folder succeeded";
    } catch (const LocalAPIServer::StartError& error) {
        EXPECT_EQ(error.description(), "socket(" + std::to_string(ENOENT) + ")");
    }
}

TEST(LocalAPIServer, SocketIsPrivateWhateverTheUmask) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    const mode_t previous = ::umask(0);
    LocalAPIServer server(path, statusBackend());
    server.start();
    const mode_t during = ::umask(0);
    ::umask(previous);
    EXPECT_EQ(during, 0u) << "the umask was not restored";
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(LocalAPIServer, AdmitsEightConnectionsAtOnce) {
    LocalAPIServer::Options options;
    options.readDeadline = std::chrono::seconds(60);
    Served served(statusBackend(), options);
    LocalAPIServer& server = served.server;
    const std::string& path = served.path;

    std::vector<Fd> idle;
    for (int i = 0; i < LocalAPI::maxConnections; ++i) {
        idle.push_back(connectUnix(path));
        ASSERT_GE(idle.back().get(), 0);
    }
    ASSERT_TRUE(eventually([&] { return server.active() == LocalAPI::maxConnections; }));

    Fd ninth = connectUnix(path);
    ASSERT_GE(ninth.get(), 0);
    writeAll(ninth.get(), "{\"op\":\"status\"}\n");
    EXPECT_EQ(readToEnd(ninth.get()), "") << "the ninth connection got bytes";
    EXPECT_EQ(server.active(), LocalAPI::maxConnections);

    // One idle client finishes its request; then a new connection is served again.
    writeAll(idle[0].get(), "{\"op\":\"status\"}\n");
    EXPECT_EQ(readToEnd(idle[0].get()), kStatusReply);
    idle[0].reset();
    ASSERT_TRUE(eventually([&] { return server.active() == LocalAPI::maxConnections - 1; }));
    EXPECT_EQ(ask(path, "{\"op\":\"status\"}\n"), kStatusReply);

    idle.clear();
    EXPECT_TRUE(eventually([&] { return server.active() == 0; }));
}

TEST(LocalAPIServer, ReadsOneLineOrWhatCameBeforeTheEnd) {
    Served served;
    LocalAPIServer& server = served.server;
    const std::string& path = served.path;
    struct Case {
        const char* what;
        std::string request;
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"bytes after the line feed", "{\"op\":\"status\"}\n{\"op\":\"nope\"}\n garbage", std::string(kStatusReply)},
        {"no line feed, sending side shut", "{\"op\":\"status\"}", std::string(kStatusReply)},
        {"nothing at all", "", std::string(kNotObjectReply)},
        {"6 KB", std::string(6 * 1024, ' '), std::string(kTooLargeReply)},
        {"6 KB with a late line feed", std::string(6 * 1024, ' ') + "\n", std::string(kTooLargeReply)},
    };
    for (const Case& c : cases) EXPECT_EQ(ask(path, c.request), c.reply) << c.what;
    EXPECT_TRUE(eventually([&] { return server.active() == 0; }));
}

TEST(LocalAPIServer, AnOversizedRequestIsAnsweredThenDrained) {
    Served served;
    LocalAPIServer& server = served.server;
    const std::string& path = served.path;
    Fd client = connectUnix(path);
    ASSERT_GE(client.get(), 0);
    ASSERT_TRUE(writeAll(client.get(), std::string(6 * 1024, 'x')));
    // The reply comes while the client is still sending; what follows it is read and dropped.
    std::string reply;
    char c = 0;
    while (reply.find('\n') == std::string::npos && ::recv(client.get(), &c, 1, 0) == 1) reply += c;
    EXPECT_EQ(reply, std::string(kTooLargeReply));
    EXPECT_TRUE(writeAll(client.get(), std::string(100 * 1024, 'y')));
    ::shutdown(client.get(), SHUT_WR);
    EXPECT_EQ(readToEnd(client.get()), "");
    EXPECT_TRUE(eventually([&] { return server.active() == 0; }));
}

TEST(LocalAPIServer, ATricklingSenderIsCutOffAndStillAnswered) {
    LocalAPIServer::Options options;
    options.readDeadline = std::chrono::milliseconds(300);
    options.drainDeadline = std::chrono::milliseconds(300);
    Served served(statusBackend(), options);
    LocalAPIServer& server = served.server;
    const std::string& path = served.path;

    Fd client = connectUnix(path);
    ASSERT_GE(client.get(), 0);
    // One byte every 50 ms for up to 30 s: far longer than the read deadline.
    const std::string request = "{\"op\":\"status\"" + std::string(600, ' ');
    std::string reply;
    for (std::size_t i = 0; i < request.size() && reply.empty(); ++i) {
        if (!writeAll(client.get(), request.substr(i, 1))) break;
        pollfd p{client.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) reply = readToEnd(client.get(), std::chrono::seconds(5));
    }
    EXPECT_EQ(reply, kNotObjectReply);
    EXPECT_TRUE(eventually([&] { return server.active() == 0; }));
}

TEST(LocalAPIServer, StopLetsAnAdmittedReplyFinish) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    Latch latch;
    auto server = std::make_unique<LocalAPIServer>(path, latchedStatus(latch));
    server->start();

    auto reply = std::async(std::launch::async, [&] { return ask(path, "{\"op\":\"status\"}\n"); });
    ASSERT_TRUE(eventually([&] { return latch.hasWaiter(); }));
    server.reset();  // stops
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
    EXPECT_LT(connectUnix(path).get(), 0);
    latch.release();
    EXPECT_EQ(reply.get(), kStatusReply);
}

TEST(LocalAPIServer, StopLeavesASocketThatReplacedOurs) {
    Served served;
    LocalAPIServer& server = served.server;
    const std::string& path = served.path;
    ASSERT_TRUE(fs::remove(path));
    const Fd other = test::listenUnix(path);
    server.stop();
    EXPECT_TRUE(fs::is_socket(path));
}

TEST(LocalAPIServer, EverySocketIsCloseOnExec) {
    Latch latch;
    Served served(latchedStatus(latch));
    const std::string& path = served.path;
    auto reply = std::async(std::launch::async, [&] { return ask(path, "{\"op\":\"status\"}\n"); });
    ASSERT_TRUE(eventually([&] { return latch.hasWaiter(); }));

    // The listener, the accepted connection and the client's socket are all open now.
    int sockets = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string target = fs::read_symlink(entry.path(), ec).string();
        if (ec || !target.starts_with("socket:")) continue;
        const int fd = std::stoi(entry.path().filename().string());
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags < 0) continue;
        ++sockets;
        EXPECT_TRUE(flags & FD_CLOEXEC) << "descriptor " << fd << " (" << target << ")";
    }
    EXPECT_GE(sockets, 3);
    latch.release();
    EXPECT_EQ(reply.get(), kStatusReply);
}

// A peer of another user gets no byte, even when the socket file lets it connect.
TEST(LocalAPIServer, APeerOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a child as another uid";
    char pattern[] = "/tmp/quorvanta-peer-XXXXXX";  // traversable by the child, unlike $TMPDIR
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string path = folder + "/api.sock";
    int backendCalls = 0;
    std::mutex callsLock;
    LocalAPI::Backend backend = statusBackend();
    backend.volumes = [&] {
        std::lock_guard guard(callsLock);
        ++backendCalls;
        return std::vector<LocalAPI::Volume>{};
    };
    {
        LocalAPIServer server(path, backend);
        server.start();
        ASSERT_EQ(::chmod(folder.c_str(), 0711), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0666), 0);

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Exit 0: connected, then closed (end of stream or reset) without a byte.
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
            Fd fd = connectUnix(path);
            if (fd.get() < 0) ::_exit(11);
            const char request[] = "{\"op\":\"status\"}\n";
            // The send fails when the server has already closed the connection: that is fine.
            (void)!::send(fd.get(), request, sizeof request - 1, MSG_NOSIGNAL);
            char c;
            const ssize_t n = ::recv(fd.get(), &c, 1, 0);
            ::_exit(n <= 0 ? 0 : 13);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        EXPECT_TRUE(eventually([&] { return server.active() == 0; }));
        EXPECT_EQ(ask(path, "{\"op\":\"status\"}\n"), "{\"entries\":0,\"ok\":true,\"volumes\":[]}\n");
    }
    std::lock_guard guard(callsLock);
    EXPECT_EQ(backendCalls, 1);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace quorvanta::core
