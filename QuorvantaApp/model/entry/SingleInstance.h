// One running instance per data folder. Two instances of one user would write the same snapshots
// and global order, and the second would take over the first one's local API socket; so the
// desktop application and the headless serving mode take an exclusive lock (flock) on "app.lock"
// in the data folder before they write anything, and hold it until the process ends. The kernel
// lets go of it when the process ends, however it ends; the file is opened close-on-exec, so no
// child keeps it. The benchmark and the self test take no lock.
//
// A launch that finds the lock held asks the holder, over its activation socket
// (ActivationSocket.h), to show itself again, and ends with status 0. When nobody answers there
// (the holder is quitting, as in a restart, or has not started listening yet) the launch waits
// for the lock, asking again now and then; after `lockWait` it gives up with status 1. A holder
// that accepts the request but stays silent for `answerWait`, an activation socket of another
// user, and a socket path too long for a socket address end the launch with status 1 too, each
// with its message: never a second running instance. A termination signal that arrives, blocked,
// while the launch waits ends it with status 0, as it would end a running instance. The lock also
// orders a restart: the new instance binds its sockets only after the old one has let go.
//
// Threads: claim() and the destructor on the main thread; claim() blocks it while it waits.
// Errors: a launch that does not run gets its status and message in the Claim.
#pragma once

#include "QuorvantaApp/model/entry/ActivationSocket.h"
#include "platform/dispatch/MainQueue.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quorvanta::app {

class SingleInstance {
public:
    static constexpr std::string_view kLockName = "app.lock";
    static constexpr std::string_view kSocketName = "app.activate";

    struct Options {
        // The data folder; empty: VolumeID::directory(). Made (0700) when missing.
        std::filesystem::path folder;
        // How long a launch waits for a holder that does not answer to let go of the lock.
        std::chrono::milliseconds lockWait{30000};
        // How long a launch waits for the holder's answer.
        std::chrono::milliseconds answerWait{5000};
        // How often a waiting launch tries the lock and the socket again.
        std::chrono::milliseconds retryInterval{100};
    };

    // What a launch found: this process is the instance, or it ends with `status`, printing
    // `message` (when not empty) on standard error first.
    struct Claim {
        std::unique_ptr<SingleInstance> instance;
        int status = 0;
        std::string message;
    };

    // Takes the lock, or asks its holder to reopen and waits as above. The instance's activation
    // socket is bound at once; requests wait in its backlog until listen().
    static Claim claim(const Options& options);

    // Removes the activation socket, then lets go of the lock.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Answers activations from now on: each posts `reopen` to `main` (see ActivationListener).
    // Without an activation socket (it could not be made) it does nothing.
    void listen(platform::MainQueue& main, std::function<void()> reopen);
    // Removes the activation socket and answers nothing any more, while the lock stays held: a
    // launch from now on waits for the lock (a restart's new instance).
    void stopListening();

    const std::filesystem::path& folder() const { return folder_; }
    // Whether the activation socket could be made.
    bool reachable() const { return listener_ != nullptr; }

private:
    SingleInstance(std::filesystem::path folder, int lockFd, std::unique_ptr<ActivationListener> listener);

    const std::filesystem::path folder_;
    const int lockFd_;
    std::unique_ptr<ActivationListener> listener_;
};

}  // namespace quorvanta::app
