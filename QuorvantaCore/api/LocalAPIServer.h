// Serves the local API protocol (LocalAPI::handle) on a Unix-domain stream socket. Only the
// process's own user can reach it: the socket file has mode 0600 and every peer's uid is checked
// (SO_PEERCRED). Each connection carries one request line and gets one reply line.
//
// Threads: start() and stop() may be called from any thread (the application calls them on its
// main thread). One accept thread runs per start; each admitted connection (at most
// LocalAPI::maxConnections at once) runs on a thread of its own, which holds the back-end and
// the counters, so a connection still being answered outlives the server object safely. The
// back-end's closures run on those connection threads, several at once.
#pragma once

#include "QuorvantaCore/api/LocalAPI.h"

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quorvanta::core {

class LocalAPIServer {
public:
    // Why start() failed. It has no message of its own: it is shown in its printed form.
    class StartError : public std::exception {
    public:
        enum class Case { socket, pathTooLong, notOurs };

        static StartError socket(int errnoValue) { return StartError(Case::socket, errnoValue); }
        static StartError pathTooLong() { return StartError(Case::pathTooLong, 0); }
        static StartError notOurs() { return StartError(Case::notOurs, 0); }

        Case kind() const { return kind_; }
        int errnoValue() const { return errno_; }  // for `socket`, the failing call's errno
        // "socket(98)", "pathTooLong", "notOurs".
        const std::string& description() const { return text_; }
        const char* what() const noexcept override { return text_.c_str(); }

    private:
        StartError(Case kind, int errnoValue);
        Case kind_;
        int errno_;
        std::string text_;
    };

    // Per-connection deadlines, each over the whole phase (not per call), so a peer that trickles
    // bytes cannot hold a slot; and the accept loop's wake-up interval.
    struct Options {
        std::chrono::milliseconds readDeadline{5000};
        std::chrono::milliseconds sendDeadline{5000};
        std::chrono::milliseconds drainDeadline{5000};
        std::chrono::milliseconds pollInterval{200};
    };

    LocalAPIServer(std::string path, LocalAPI::Backend backend);
    LocalAPIServer(std::string path, LocalAPI::Backend backend, Options options);
    ~LocalAPIServer();  // stops the server
    LocalAPIServer(const LocalAPIServer&) = delete;
    LocalAPIServer& operator=(const LocalAPIServer&) = delete;

    // Creates the socket and starts the accept thread; does nothing while running. Throws
    // StartError; after a failure nothing stays open and a file this server made is removed.
    void start();
    // Stops accepting and removes the socket file if it is still the one this server bound.
    // Admitted connections finish their request. Does nothing when not running.
    void stop();

    const std::string& path() const { return path_; }
    bool isRunning() const;
    // Connections admitted and not yet finished.
    std::int64_t active() const;

private:
    struct Shared;

    void acceptLoop(int listener);

    const std::string path_;
    const std::shared_ptr<Shared> shared_;

    mutable std::mutex lock_;  // guards everything below
    std::condition_variable stopped_;
    bool running_ = false;
    int fd_ = -1;
    dev_t boundDevice_ = 0;
    ino_t boundInode_ = 0;
    std::thread acceptThread_;
};

}  // namespace quorvanta::core
