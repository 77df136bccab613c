// The process's termination signals (SIGTERM, SIGINT, SIGHUP) taken by a thread of their own
// instead of their default action, so that the application ends through its quit path and saves
// what it must.
//
// Made in `main` before any other thread exists: a thread inherits its creator's signal
// mask, so every thread started afterwards has the signals blocked and none can take one with
// the default action. A signal already ignored when the process starts (SIGHUP under `nohup`,
// SIGINT for a job started in the background) stays ignored and is left out of the set.
//
// `start()` makes the waiting thread: it takes the signals with `sigwait` (no asynchronous
// handler, so the work it triggers may take locks and write files) and posts the quit task to the
// main queue on the first one; later signals are taken and ignored.
//
// Threads: construction and start on the main thread; the quit task runs on the main queue.
#pragma once

#include "platform/dispatch/MainQueue.h"

#include <signal.h>

#include <atomic>
#include <string_view>
#include <thread>

namespace quorvanta::platform {

class TerminationSignals {
public:
    // The waiting thread's name. While it waits in `sigwait` the kernel shows the signals it
    // waits for as unblocked in its status.
    static constexpr std::string_view kThreadName = "quorvanta.sig";

    // Blocks the termination signals not ignored at start in the calling thread. Make it before
    // any other thread starts.
    TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;
    // Stops the waiting thread, if any. The signals stay blocked.
    ~TerminationSignals();

    // Whether `signal` is one of the signals the source takes.
    bool takes(int signal) const { return sigismember(&set_, signal) == 1; }

    // Starts the waiting thread; on the first signal it posts `quit` to `main`. Once.
    void start(MainQueue& main, Task quit);
    // The signals the waiting thread has taken and dealt with so far.
    int taken() const { return taken_.load(); }

private:
    void wait(MainQueue& main, Task quit);

    sigset_t set_{};
    bool empty_ = true;
    std::atomic<bool> stopping_{false};
    std::atomic<int> taken_{0};
    std::thread waiter_;
};

}  // namespace quorvanta::platform
