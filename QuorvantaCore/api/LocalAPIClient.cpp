#include "QuorvantaCore/api/LocalAPIClient.h"

#include "QuorvantaCore/api/SocketAddress.h"
#include "QuorvantaCore/util/AppInfo.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quorvanta::core::LocalAPIClient {
namespace {

constexpr std::size_t kChunk = 65536;
constexpr std::size_t kMaxGathered = 3'999'999;  // no further read once more than this came
constexpr time_t kReceiveTimeoutSeconds = 30;

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { ::close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

ClientError::ClientError(Case kind, std::string path, std::string text)
    : kind_(kind), path_(std::move(path)), text_(std::move(text)) {}

ClientError ClientError::notRunning(std::string path) {
    std::string text = "cannot reach " + AppInfo::name() + " at " + path +
                       "; is the app running with \u201CLocal API\u201D switched on (Settings)?";
    return ClientError(Case::notRunning, std::move(path), std::move(text));
}

ClientError ClientError::io() { return ClientError(Case::io, {}, "connection to " + AppInfo::name() + " failed"); }

std::string send(std::string_view request, const std::string& path) {
    const std::optional<sockaddr_un> address = unixSocketAddress(path);
    if (!address) throw ClientError::notRunning(path);

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw ClientError::io();
    const Socket socket(fd);

    const timeval timeout{kReceiveTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    int connected;
    do {
        connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0) throw ClientError::notRunning(path);

    std::string line(request);
    line += '\n';
    for (std::string_view rest = line; !rest.empty();) {
        const ssize_t n = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw ClientError::io();
        rest.remove_prefix(static_cast<std::size_t>(n));
    }

    std::string reply;
    std::size_t lineEnd = std::string::npos;
    while (lineEnd == std::string::npos && reply.size() <= kMaxGathered) {
        const std::size_t before = reply.size();
        reply.resize(before + kChunk);
        const ssize_t n = ::recv(fd, reply.data() + before, kChunk, 0);
        reply.resize(before + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        lineEnd = reply.find('\n', before);
    }
    if (reply.empty()) throw ClientError::io();
    if (lineEnd != std::string::npos) reply.resize(lineEnd);
    return reply;
}

}  // namespace quorvanta::core::LocalAPIClient
