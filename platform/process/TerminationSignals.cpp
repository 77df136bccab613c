#include "platform/process/TerminationSignals.h"

#include "platform/thread/ThreadName.h"

#include <pthread.h>

#include <utility>

namespace quorvanta::platform {

TerminationSignals::TerminationSignals() {
    sigemptyset(&set_);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaddset(&set_, signal);
        empty_ = false;
    }
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (!waiter_.joinable()) return;
    // The waiter takes a signal sent to it alone and sees that it is to stop.
    stopping_ = true;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        if (takes(signal)) {
            pthread_kill(waiter_.native_handle(), signal);
            break;
        }
    waiter_.join();
}

void TerminationSignals::start(MainQueue& main, Task quit) {
    if (empty_ || waiter_.joinable()) return;
    waiter_ = std::thread([this, &main, quit = std::move(quit)]() mutable { wait(main, std::move(quit)); });
}

void TerminationSignals::wait(MainQueue& main, Task quit) {
    setCurrentThreadName(kThreadName);
    bool posted = false;
    while (true) {
        int signal = 0;
        if (sigwait(&set_, &signal) != 0) continue;
        if (stopping_) return;
        if (!posted) {
            posted = true;
            main.post(std::move(quit));
        }
        ++taken_;
    }
}

}  // namespace quorvanta::platform
