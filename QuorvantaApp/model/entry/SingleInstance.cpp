#include "QuorvantaApp/model/entry/SingleInstance.h"

#include "QuorvantaCore/api/SocketAddress.h"
#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/diagnostics/Verbose.h"
#include "platform/fs/PrivateFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace quorvanta::app {

namespace {

using Clock = std::chrono::steady_clock;

long long wholeSeconds(std::chrono::milliseconds span) { return std::chrono::ceil<std::chrono::seconds>(span).count(); }

// Whether a termination signal waits, blocked, for this process: the launch was asked to end
// while it waited (the signals are blocked in `main` so that the quit path takes them, and that
// path does not run yet).
bool terminationPending() {
    sigset_t pending;
    if (::sigpending(&pending) != 0) return false;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        if (::sigismember(&pending, signal) == 1) return true;
    return false;
}

SingleInstance::Claim ends(int status, std::string message) { return {nullptr, status, std::move(message)}; }

SingleInstance::Claim cannotLock(const std::filesystem::path& folder, int error) {
    return ends(1, core::tr("%@ cannot lock its data folder %@: %@", core::AppInfo::name(), folder.string(),
                            std::string(std::strerror(error))));
}

}  // namespace

SingleInstance::SingleInstance(std::filesystem::path folder, int lockFd, std::unique_ptr<ActivationListener> listener)
    : folder_(std::move(folder)), lockFd_(lockFd), listener_(std::move(listener)) {}

SingleInstance::~SingleInstance() {
    // The socket goes while the lock is still held, so it can never remove a successor's.
    listener_.reset();
    ::close(lockFd_);
}

SingleInstance::Claim SingleInstance::claim(const Options& options) {
    std::filesystem::path folder = options.folder;
    if (folder.empty())
        folder = core::VolumeID::directory();
    else
        platform::makePrivateFolders(folder);
    const std::string socketPath = (folder / kSocketName).string();

    const int fd = ::open((folder / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return cannotLock(folder, errno);

    const Clock::time_point deadline = Clock::now() + options.lockWait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EWOULDBLOCK) {
            ::close(fd);
            return cannotLock(folder, error);
        }
        const ActivationAnswer answer = askToReopen(socketPath, options.answerWait);
        switch (answer) {
            case ActivationAnswer::reopening:
                ::close(fd);
                return ends(0, "");
            case ActivationAnswer::silent:
                ::close(fd);
                return ends(1, core::tr("%@ is already running but did not answer within %lld seconds.",
                                        core::AppInfo::name(), wholeSeconds(options.answerWait)));
            case ActivationAnswer::notOurs:
                ::close(fd);
                return ends(1, core::tr("%@ is already running, but its activation socket %@ belongs to another user.",
                                        core::AppInfo::name(), socketPath));
            case ActivationAnswer::pathTooLong:
                ::close(fd);
                return ends(
                    1, core::tr("%@ is already running but cannot be reached: the path of its activation "
                                "socket is longer than %lld bytes: %@",
                                core::AppInfo::name(), static_cast<long long>(core::kMaxSocketPathBytes), socketPath));
            case ActivationAnswer::quitting:
            case ActivationAnswer::nobodyListening:
                break;
        }
        if (terminationPending()) {
            ::close(fd);
            return ends(0, "");
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            ::close(fd);
            return ends(1, core::tr("%@ is already running but cannot be reached, and it did not quit within %lld "
                                    "seconds.",
                                    core::AppInfo::name(), wholeSeconds(options.lockWait)));
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(options.retryInterval, deadline - now));
    }

    ActivationListener::Failure failure{};
    std::unique_ptr<ActivationListener> listener = ActivationListener::bind(socketPath, failure);
    if (!listener && platform::verbose())
        std::fprintf(stderr, "single instance: no activation socket at %s: %s\n", socketPath.c_str(),
                     failure.description().c_str());
    return {std::unique_ptr<SingleInstance>(new SingleInstance(folder, fd, std::move(listener))), 0, ""};
}

void SingleInstance::listen(platform::MainQueue& main, std::function<void()> reopen) {
    if (listener_) listener_->serve(main, std::move(reopen));
}

void SingleInstance::stopListening() { listener_.reset(); }

}  // namespace quorvanta::app
