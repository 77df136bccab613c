#include "QuorvantaCore/api/LocalAPIServer.h"

#include "QuorvantaCore/api/SocketAddress.h"
#include "platform/thread/ThreadName.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace quorvanta::core {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBacklog = 16;
constexpr std::size_t kChunk = 1024;
constexpr std::size_t kMaxDrainBytes = 1 << 20;

// Milliseconds left until the deadline, rounded up, or 0 when it has passed.
int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Waits until the descriptor is ready for `events` or the deadline passes.
bool waitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const int left = millisecondsLeft(deadline);
        if (left == 0) return false;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, left);
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// Reads into `out` in chunks until `enough` holds, end of stream, an error or the deadline.
// Returns the bytes read.
template <typename Enough>
std::size_t readUntil(int fd, Clock::time_point deadline, std::string* out, Enough enough) {
    char buffer[kChunk];
    std::size_t total = 0;
    while (!enough(total)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            if (out) out->append(buffer, static_cast<std::size_t>(n));
            total += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) break;
        if (errno == EINTR) continue;
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !waitReady(fd, POLLIN, deadline)) break;
    }
    return total;
}

void sendAll(int fd, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || !waitReady(fd, POLLOUT, deadline)) {
            return;
        }
    }
}

}  // namespace

// What the connection threads share with the server object, kept alive by each of them.
struct LocalAPIServer::Shared {
    LocalAPI::Backend backend;
    Options options;
    mutable std::mutex lock;  // guards `active`
    std::int64_t active = 0;

    bool admit() {
        std::lock_guard guard(lock);
        if (active >= LocalAPI::maxConnections) return false;
        ++active;
        return true;
    }
    void finish() {
        std::lock_guard guard(lock);
        --active;
    }

    // One admitted connection: read one line, answer it, shut the sending side, drain.
    void serve(int fd) const {
        std::string request;
        readUntil(fd, Clock::now() + options.readDeadline, &request, [&](std::size_t) {
            return request.find('\n') != std::string::npos || request.size() > LocalAPI::maxRequestBytes;
        });
        const std::size_t lineEnd = request.find('\n');
        if (lineEnd != std::string::npos) request.resize(lineEnd);

        std::string reply = LocalAPI::handle(request, backend);
        reply += '\n';
        sendAll(fd, reply, Clock::now() + options.sendDeadline);
        ::shutdown(fd, SHUT_WR);
        readUntil(fd, Clock::now() + options.drainDeadline, nullptr,
                  [](std::size_t discarded) { return discarded >= kMaxDrainBytes; });
    }
};

LocalAPIServer::StartError::StartError(Case kind, int errnoValue) : kind_(kind), errno_(errnoValue) {
    switch (kind) {
        case Case::socket:
            text_ = "socket(" + std::to_string(errnoValue) + ")";
            break;
        case Case::pathTooLong:
            text_ = "pathTooLong";
            break;
        case Case::notOurs:
            text_ = "notOurs";
            break;
    }
}

LocalAPIServer::LocalAPIServer(std::string path, LocalAPI::Backend backend)
    : LocalAPIServer(std::move(path), std::move(backend), Options{}) {}

LocalAPIServer::LocalAPIServer(std::string path, LocalAPI::Backend backend, Options options)
    : path_(std::move(path)), shared_(std::make_shared<Shared>()) {
    shared_->backend = std::move(backend);
    shared_->options = options;
}

LocalAPIServer::~LocalAPIServer() { stop(); }

bool LocalAPIServer::isRunning() const {
    std::lock_guard guard(lock_);
    return running_;
}

std::int64_t LocalAPIServer::active() const {
    std::lock_guard guard(shared_->lock);
    return shared_->active;
}

void LocalAPIServer::start() {
    std::lock_guard guard(lock_);
    if (running_) return;
    const std::optional<sockaddr_un> address = unixSocketAddress(path_);
    if (!address) throw StartError::pathTooLong();

    struct stat existing {};
    if (::lstat(path_.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode) || existing.st_uid != ::geteuid()) throw StartError::notOurs();
        ::unlink(path_.c_str());  // a leftover of an earlier run of ours
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) throw StartError::socket(errno);

    const mode_t oldMask = ::umask(0177);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    const int bindErrno = errno;
    ::umask(oldMask);
    if (bound != 0) {
        // Nothing of ours is at the path: whatever is there now is someone else's.
        ::close(fd);
        throw StartError::socket(bindErrno);
    }
    struct stat made {};
    int failure = 0;
    if (::lstat(path_.c_str(), &made) != 0 || ::chmod(path_.c_str(), 0600) != 0 || ::listen(fd, kBacklog) != 0) {
        failure = errno;
    } else {
        boundDevice_ = made.st_dev;
        boundInode_ = made.st_ino;
        try {
            acceptThread_ = std::thread([this, fd] { acceptLoop(fd); });
        } catch (const std::system_error& error) {
            failure = error.code().value();
        }
    }
    if (failure != 0) {
        struct stat now {};
        if (::lstat(path_.c_str(), &now) == 0 && now.st_dev == made.st_dev && now.st_ino == made.st_ino) {
            ::unlink(path_.c_str());
        }
        ::close(fd);
        throw StartError::socket(failure);
    }
    fd_ = fd;
    running_ = true;
}

void LocalAPIServer::stop() {
    std::thread acceptThread;
    int fd = -1;
    {
        std::lock_guard guard(lock_);
        if (!running_) return;
        running_ = false;
        // Only our own socket goes: another process may have put its own there since.
        struct stat now {};
        if (::lstat(path_.c_str(), &now) == 0 && S_ISSOCK(now.st_mode) && now.st_dev == boundDevice_ &&
            now.st_ino == boundInode_) {
            ::unlink(path_.c_str());
        }
        ::shutdown(fd_, SHUT_RDWR);
        fd = std::exchange(fd_, -1);
        acceptThread = std::move(acceptThread_);
    }
    stopped_.notify_all();
    // The listener is closed only once the accept thread has ended, so its number cannot be
    // reused by another file while that thread still polls it.
    acceptThread.join();
    ::close(fd);
}

void LocalAPIServer::acceptLoop(int listener) {
    platform::setCurrentThreadName("quorvanta.api");
    const std::chrono::milliseconds interval = shared_->options.pollInterval;
    const uid_t self = ::geteuid();
    for (;;) {
        {
            std::lock_guard guard(lock_);
            if (!running_) return;
        }
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(interval.count())) <= 0) continue;
        {
            std::lock_guard guard(lock_);
            if (!running_) return;
        }
        const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) continue;
            // Out of descriptors or memory: the listener stays readable, so wait out the
            // interval (or a stop) rather than spin.
            std::unique_lock guard(lock_);
            stopped_.wait_for(guard, interval, [this] { return !running_; });
            continue;
        }
        if (!shared_->admit()) {
            ::close(connection);
            continue;
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || length != sizeof peer ||
            peer.uid != self) {
            ::close(connection);
            shared_->finish();
            continue;
        }
        try {
            std::thread([shared = shared_, connection] {
                platform::setCurrentThreadName("quorvanta.apiconn");
                shared->serve(connection);
                ::close(connection);
                shared->finish();
            }).detach();
        } catch (const std::system_error&) {
            ::close(connection);
            shared_->finish();
        }
    }
}

}  // namespace quorvanta::core
