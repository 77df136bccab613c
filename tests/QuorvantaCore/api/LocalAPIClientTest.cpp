#include "QuorvantaCore/api/LocalAPIClient.h"
#include "QuorvantaCore/api/LocalAPIServer.h"
#include "QuorvantaCore/api/SocketAddress.h"
#include "tests/QuorvantaCore/api/SocketTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <functional>
#include <string>
#include <thread>

namespace quorvanta::core {
namespace {

using LocalAPIClient::ClientError;
using test::Fd;
using test::TempDir;

// A server thread that accepts one connection and runs a script on it.
class ScriptedServer {
public:
    ScriptedServer(const std::string& path, std::function<void(int fd)> script)
        : listener_(test::listenUnix(path)), thread_([this, script = std::move(script)] {
              Fd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
              if (connection.get() >= 0) script(connection.get());
          }) {}
    ~ScriptedServer() { thread_.join(); }

private:
    Fd listener_;
    std::thread thread_;
};

// Reads the request line, so the reply is not lost to a reset.
std::string readLine(int fd) {
    std::string line;
    char c = 0;
    while (::recv(fd, &c, 1, 0) == 1 && c != '\n') line += c;
    return line;
}

ClientError::Case failure(const std::string& path, std::string* text = nullptr) {
    try {
        LocalAPIClient::send("{\"op\":\"status\"}", path);
    } catch (const ClientError& error) {
        if (text) *text = error.description();
        return error.kind();
    }
    ADD_FAILURE() << "send succeeded";
    return ClientError::Case::io;
}

TEST(LocalAPIClient, ReturnsTheFirstReplyLine) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    std::string seen;
    {
        ScriptedServer server(path, [&](int fd) {
            seen = readLine(fd);
            test::writeAll(fd, "{\"ok\":true}\nsecond line\n");
        });
        EXPECT_EQ(LocalAPIClient::send("{\"op\":\"status\"}", path), "{\"ok\":true}");
    }
    EXPECT_EQ(seen, "{\"op\":\"status\"}");
}

TEST(LocalAPIClient, ReturnsAReplyCutShortAsFarAsItCame) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    ScriptedServer server(path, [](int fd) {
        readLine(fd);
        test::writeAll(fd, "{\"ok\":tr");
    });
    EXPECT_EQ(LocalAPIClient::send("{}", path), "{\"ok\":tr");
}

TEST(LocalAPIClient, AServerThatClosesWithoutAReplyIsAnIOError) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    ScriptedServer server(path, [](int fd) { readLine(fd); });
    std::string text;
    EXPECT_EQ(failure(path, &text), ClientError::Case::io);
    EXPECT_EQ(text, "connection to Quorvanta failed");
}

TEST(LocalAPIClient, NoServerMeansNotRunning) {
    TempDir dir;
    const std::string missing = dir / "api.sock";
    std::string text;
    EXPECT_EQ(failure(missing, &text), ClientError::Case::notRunning);
    EXPECT_EQ(text, "cannot reach Quorvanta at " + missing +
                        "; is the app running with \xE2\x80\x9CLocal API\xE2\x80\x9D switched on (Settings)?");

    const std::string tooLong = dir.path().string() + "/" + std::string(kMaxSocketPathBytes, 'x');
    EXPECT_EQ(failure(tooLong, &text), ClientError::Case::notRunning);
    EXPECT_NE(text.find(tooLong), std::string::npos);

    // A socket file nobody listens on.
    { test::listenUnix(missing); }
    EXPECT_EQ(failure(missing), ClientError::Case::notRunning);
}

TEST(LocalAPIClient, StopsReadingAfterTheChunkPassingFourMegabytes) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    const std::size_t sent = 6'000'000;
    ScriptedServer server(path, [&](int fd) {
        readLine(fd);
        test::writeAll(fd, std::string(sent, 'x'));  // ends when the client closes
    });
    const std::string reply = LocalAPIClient::send("{}", path);
    EXPECT_GT(reply.size(), 3'999'999u);
    EXPECT_LE(reply.size(), 3'999'999u + 65'536u);
    EXPECT_LT(reply.size(), sent);
    EXPECT_EQ(reply.find_first_not_of('x'), std::string::npos);
}

TEST(LocalAPIClient, RoundTripWithTheServer) {
    TempDir dir;
    const std::string path = dir / "api.sock";
    LocalAPI::Backend backend;
    backend.volumes = [] { return std::vector<LocalAPI::Volume>{}; };
    backend.search = [](const Query& query, std::int64_t limit) {
        const std::string groups = std::to_string(query.groups.size());
        return LocalAPI::SearchResult{limit, {{"/d/" + groups, groups, "file", 3, 4}}};
    };
    LocalAPIServer server(path, backend);
    server.start();
    EXPECT_EQ(LocalAPIClient::send(R"({"op":"search","query":"a | b","limit":9})", path),
              R"({"ok":true,"query":"a | b","results":[{"kind":"file","modified":4,"name":"2",)"
              R"("path":"/d/2","size":3}],"shown":1,"total":9})");
    EXPECT_EQ(LocalAPIClient::send(std::string(5000, ' '), path), R"({"error":"request too large","ok":false})");
}

}  // namespace
}  // namespace quorvanta::core
