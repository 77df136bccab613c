#include "platform/dispatch/MainQueue.h"

#include <algorithm>
#include <condition_variable>

namespace quorvanta::platform {

// One postSync from another thread. Whoever moves it out of `pending` first decides: the main
// thread (it runs the body, and the caller waits for the end however long it takes), or a timeout
// or shutdown (the body never runs, and the caller returns).
struct MainQueue::SyncCall {
    enum class Phase { pending, running, done, abandoned };

    bool abandon() {
        {
            std::lock_guard lock(mutex);
            if (phase != Phase::pending) return false;
            phase = Phase::abandoned;
        }
        changed.notify_all();
        return true;
    }

    std::mutex mutex;  // guards phase and body
    std::condition_variable changed;
    Phase phase = Phase::pending;
    std::function<void()> body;
};

bool MainQueue::runSync(std::function<void()> body, Clock::Duration bound) {
    if (isMainThread()) {
        body();
        return true;
    }
    auto call = std::make_shared<SyncCall>();
    call->body = std::move(body);
    {
        std::lock_guard lock(syncMutex_);
        if (shuttingDown_) return false;
        std::erase_if(waiting_, [](const auto& weak) { return weak.expired(); });
        waiting_.push_back(call);
    }
    post([call] {
        {
            std::lock_guard lock(call->mutex);
            if (call->phase != SyncCall::Phase::pending) return;
            call->phase = SyncCall::Phase::running;
        }
        call->body();
        {
            std::lock_guard lock(call->mutex);
            call->phase = SyncCall::Phase::done;
            call->body = nullptr;  // its captures refer to the caller's frame
        }
        call->changed.notify_all();
    });
    clock_.scheduleAfter(bound, [weak = std::weak_ptr<SyncCall>(call)] {
        if (auto pending = weak.lock()) pending->abandon();
    });
    std::unique_lock lock(call->mutex);
    call->changed.wait(
        lock, [&] { return call->phase == SyncCall::Phase::done || call->phase == SyncCall::Phase::abandoned; });
    const bool ran = call->phase == SyncCall::Phase::done;
    call->body = nullptr;
    return ran;
}

void MainQueue::beginShutdown() {
    std::vector<std::weak_ptr<SyncCall>> waiting;
    {
        std::lock_guard lock(syncMutex_);
        shuttingDown_ = true;
        waiting.swap(waiting_);
    }
    for (const auto& weak : waiting)
        if (auto call = weak.lock()) call->abandon();
}

bool MainQueue::isShuttingDown() const {
    std::lock_guard lock(syncMutex_);
    return shuttingDown_;
}

}  // namespace quorvanta::platform
