#include "platform/dispatch/ParallelFor.h"

#include "platform/dispatch/Qos.h"
#include "platform/thread/ThreadName.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace quorvanta::platform {
namespace {

// One call of parallelFor. Iterations are handed out one at a time through `next`.
struct Loop {
    Loop(std::size_t n, const std::function<void(std::size_t)>& fn) : n(n), fn(fn) {}

    // Runs iterations until none is left to take.
    void work() {
        for (std::size_t i; (i = next.fetch_add(1)) < n;) {
            if (!failed.load(std::memory_order_acquire)) {
                try {
                    fn(i);
                } catch (...) {
                    std::lock_guard lock(mutex);
                    if (!error) error = std::current_exception();
                    failed.store(true, std::memory_order_release);
                }
            }
            if (ended.fetch_add(1) + 1 == n) {
                std::lock_guard lock(mutex);
                allEnded.notify_all();
            }
        }
    }
    bool exhausted() const { return next.load() >= n; }

    // Waits for every iteration to end and takes the first exception out of the shared state, so
    // that only the caller holds it (a pool thread may drop the last reference to the loop).
    std::exception_ptr waitForAll() {
        std::unique_lock lock(mutex);
        allEnded.wait(lock, [&] { return ended.load() == n; });
        return std::exchange(error, nullptr);
    }

    const std::size_t n;
    const std::function<void(std::size_t)>& fn;  // lives on the caller's stack until waitForAll
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> ended{0};
    std::atomic<bool> failed{false};
    std::mutex mutex;  // guards error; pairs with allEnded
    std::condition_variable allEnded;
    std::exception_ptr error;
};

class Pool {
public:
    explicit Pool(std::size_t helpers) {
        for (std::size_t i = 0; i < helpers; ++i) std::thread([this] { helper(); }).detach();
        helpers_ = helpers;
    }

    std::size_t helpers() const { return helpers_; }

    void offer(const std::shared_ptr<Loop>& loop) {
        {
            std::lock_guard lock(mutex_);
            loops_.push_back(loop);
        }
        available_.notify_all();
    }

    void withdraw(const std::shared_ptr<Loop>& loop) {
        std::lock_guard lock(mutex_);
        std::erase(loops_, loop);
    }

private:
    void helper() {
        setCurrentThreadName("quorvanta.pool");
        applyQosToCurrentThread(Qos::standard);
        for (;;) {
            std::shared_ptr<Loop> loop;
            {
                std::unique_lock lock(mutex_);
                available_.wait(lock, [&] {
                    // Loops with nothing left to take are done with; their callers finish them.
                    while (!loops_.empty() && loops_.front()->exhausted()) loops_.pop_front();
                    return !loops_.empty();
                });
                loop = loops_.front();
            }
            loop->work();
        }
    }

    std::size_t helpers_ = 0;
    std::mutex mutex_;  // guards loops_
    std::condition_variable available_;
    std::deque<std::shared_ptr<Loop>> loops_;  // oldest first
};

Pool& pool() {
    // Never destroyed: its threads park on it until the process ends.
    static Pool* const shared = new Pool(std::max(1u, std::thread::hardware_concurrency()) - 1);
    return *shared;
}

}  // namespace

void parallelFor(std::size_t n, const std::function<void(std::size_t)>& fn) {
    if (n == 0) return;
    if (n == 1) {
        fn(0);
        return;
    }
    auto& helpers = pool();
    auto loop = std::make_shared<Loop>(n, fn);
    if (helpers.helpers() > 0) helpers.offer(loop);
    loop->work();
    helpers.withdraw(loop);
    if (auto error = loop->waitForAll()) std::rethrow_exception(error);
}

std::size_t parallelWidth() { return pool().helpers() + 1; }

}  // namespace quorvanta::platform
