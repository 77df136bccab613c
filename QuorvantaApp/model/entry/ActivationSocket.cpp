#include "QuorvantaApp/model/entry/ActivationSocket.h"

#include "QuorvantaCore/api/SocketAddress.h"
#include "platform/thread/ThreadName.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>

namespace quorvanta::app {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBacklog = 8;
constexpr int kRetryAfterFailure = 100;  // milliseconds

// Closes a descriptor when it goes out of scope.
struct Fd {
    int value;
    explicit Fd(int fd) : value(fd) {}
    ~Fd() {
        if (value >= 0) ::close(value);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int release() { return std::exchange(value, -1); }
};

int millisUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

bool peerIsOurs(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && length == sizeof peer &&
           peer.uid == ::geteuid();
}

enum class Read { complete, closed, timedOut, stopped };

// Reads one message from `fd` (non-blocking) until `deadline`; `wake`, when not -1, stops the
// wait as soon as it is readable.
Read readMessage(int fd, int wake, Clock::time_point deadline, ActivationMessage& message) {
    auto* bytes = reinterpret_cast<char*>(&message);
    std::size_t have = 0;
    while (have < sizeof message) {
        pollfd ready[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
        const int n = ::poll(ready, wake >= 0 ? 2 : 1, millisUntil(deadline));
        if (n < 0 && errno != EINTR) return Read::closed;
        if (wake >= 0 && (ready[1].revents & POLLIN)) return Read::stopped;
        if (n <= 0) {
            if (Clock::now() >= deadline) return Read::timedOut;
            continue;
        }
        const ssize_t got = ::recv(fd, bytes + have, sizeof message - have, MSG_DONTWAIT);
        if (got == 0) return Read::closed;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return Read::closed;
        }
        have += static_cast<std::size_t>(got);
    }
    return Read::complete;
}

// Sends one message whole; 16 bytes always fit an empty socket buffer.
bool sendMessage(int fd, const ActivationMessage& message) {
    ssize_t sent;
    do {
        sent = ::send(fd, &message, sizeof message, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(sizeof message);
}

}  // namespace

ActivationMessage ActivationMessage::of(Kind kind) {
    ActivationMessage message{};
    std::memcpy(message.magic, kMagic, sizeof kMagic);
    message.version = kVersion;
    message.kind = static_cast<std::uint32_t>(kind);
    return message;
}

bool ActivationMessage::valid() const { return std::memcmp(magic, kMagic, sizeof kMagic) == 0 && version == kVersion; }

std::string ActivationListener::Failure::description() const {
    switch (kind) {
        case Case::pathTooLong:
            return "pathTooLong";
        case Case::notOurs:
            return "notOurs";
        case Case::socket:
            break;
    }
    return "socket(" + std::to_string(errnoValue) + ")";
}

std::unique_ptr<ActivationListener> ActivationListener::bind(const std::string& path, Failure& failure) {
    const std::optional<sockaddr_un> address = core::unixSocketAddress(path);
    if (!address) {
        failure = {Failure::Case::pathTooLong};
        return nullptr;
    }
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        // Whoever bound it has ended or let go of the lock, which the caller now holds.
        if (!S_ISSOCK(existing.st_mode) || existing.st_uid != ::geteuid()) {
            failure = {Failure::Case::notOurs};
            return nullptr;
        }
        ::unlink(path.c_str());
    }
    const auto socketFailure = [&failure](int error) {
        failure = {Failure::Case::socket, error};
        return nullptr;
    };
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.value < 0) return socketFailure(errno);
    const mode_t oldMask = ::umask(0177);
    const int bound = ::bind(fd.value, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    const int bindErrno = errno;
    ::umask(oldMask);
    if (bound != 0) return socketFailure(bindErrno);
    struct stat made {};
    Fd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (::lstat(path.c_str(), &made) != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd.value, kBacklog) != 0 ||
        wake.value < 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return socketFailure(error);
    }
    return std::unique_ptr<ActivationListener>(
        new ActivationListener(path, fd.release(), wake.release(), made.st_dev, made.st_ino));
}

ActivationListener::ActivationListener(std::string path, int fd, int wake, dev_t device, ino_t inode)
    : path_(std::move(path)), fd_(fd), wake_(wake), device_(device), inode_(inode) {}

ActivationListener::~ActivationListener() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        (void)!::write(wake_, &one, sizeof one);
        thread_.join();
    }
    reopen_.reset();
    // Only our own socket goes: after this process let go of the lock, another may have bound its
    // own there.
    struct stat now {};
    if (::lstat(path_.c_str(), &now) == 0 && S_ISSOCK(now.st_mode) && now.st_dev == device_ && now.st_ino == inode_)
        ::unlink(path_.c_str());
    ::close(fd_);
    ::close(wake_);
}

void ActivationListener::serve(platform::MainQueue& main, std::function<void()> reopen) {
    if (thread_.joinable()) return;
    reopen_ = std::make_shared<std::function<void()>>(std::move(reopen));
    try {
        thread_ = std::thread([this, &main, weak = std::weak_ptr(reopen_)] { run(main, weak); });
    } catch (const std::system_error&) {
        // No thread: connections stay in the backlog unanswered, and a second launch reports the
        // silence instead of starting a second instance.
    }
}

void ActivationListener::run(platform::MainQueue& main, std::weak_ptr<std::function<void()>> reopen) {
    platform::setCurrentThreadName("quorvanta.activate");
    for (;;) {
        pollfd ready[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(ready, 2, -1) < 0) continue;  // EINTR; poll fails otherwise only without memory
        if (ready[1].revents & POLLIN) return;
        if (!(ready[0].revents & POLLIN)) continue;
        const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0) {
            // Out of descriptors or memory: the listener stays readable, so wait a moment (or
            // for the stop) rather than spin.
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
                pollfd stop{wake_, POLLIN, 0};
                if (::poll(&stop, 1, kRetryAfterFailure) > 0) return;
            }
            continue;
        }
        if (peerIsOurs(connection)) answer(connection, main, reopen);
        ::close(connection);
    }
}

void ActivationListener::answer(int connection, platform::MainQueue& main,
                                const std::weak_ptr<std::function<void()>>& reopen) {
    ActivationMessage request{};
    if (readMessage(connection, wake_, Clock::now() + kRequestDeadline, request) != Read::complete) return;
    if (!request.valid() || request.kind != static_cast<std::uint32_t>(ActivationMessage::Kind::reopen)) return;
    if (main.isShuttingDown()) {
        sendMessage(connection, ActivationMessage::of(ActivationMessage::Kind::quitting));
        return;
    }
    main.post([reopen] {
        if (const auto held = reopen.lock())
            if (*held) (*held)();
    });
    sendMessage(connection, ActivationMessage::of(ActivationMessage::Kind::reopening));
}

ActivationAnswer askToReopen(const std::string& path, std::chrono::milliseconds answerWait) {
    const std::optional<sockaddr_un> address = core::unixSocketAddress(path);
    if (!address) return ActivationAnswer::pathTooLong;
    const Clock::time_point deadline = Clock::now() + answerWait;
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.value < 0) return ActivationAnswer::nobodyListening;
    // A full backlog makes connect wait; the send timeout bounds that wait.
    // (A zero timeout would mean none at all.)
    const auto wait =
        std::max(std::chrono::duration_cast<std::chrono::microseconds>(answerWait), std::chrono::microseconds(1000));
    const timeval bound{static_cast<time_t>(wait.count() / 1000000), static_cast<suseconds_t>(wait.count() % 1000000)};
    ::setsockopt(fd.value, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    int connected;
    do {
        connected = ::connect(fd.value, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0)
        return errno == EAGAIN || errno == EINPROGRESS ? ActivationAnswer::silent : ActivationAnswer::nobodyListening;
    if (!peerIsOurs(fd.value)) return ActivationAnswer::notOurs;
    if (!sendMessage(fd.value, ActivationMessage::of(ActivationMessage::Kind::reopen)))
        return ActivationAnswer::nobodyListening;

    ActivationMessage answer{};
    switch (readMessage(fd.value, -1, deadline, answer)) {
        case Read::complete:
            break;
        case Read::closed:
            return ActivationAnswer::nobodyListening;
        case Read::timedOut:
        case Read::stopped:
            return ActivationAnswer::silent;
    }
    if (!answer.valid()) return ActivationAnswer::silent;
    switch (static_cast<ActivationMessage::Kind>(answer.kind)) {
        case ActivationMessage::Kind::reopening:
            return ActivationAnswer::reopening;
        case ActivationMessage::Kind::quitting:
            return ActivationAnswer::quitting;
        case ActivationMessage::Kind::reopen:
            break;
    }
    return ActivationAnswer::silent;
}

}  // namespace quorvanta::app
