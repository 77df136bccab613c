#include "platform/time/Clock.h"

#include "platform/thread/ThreadName.h"

#include <time.h>

namespace quorvanta::platform {

void TimerHeap::push(Clock::TimePoint deadline, std::function<void()> fire) {
    heap_.push(Timer{deadline, nextSequence_++, std::move(fire)});
}

std::function<void()> TimerHeap::pop() {
    // top() is const; the callback is moved out before the element is dropped.
    auto fire = std::move(const_cast<Timer&>(heap_.top()).fire);
    heap_.pop();
    return fire;
}

RealClock::~RealClock() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

Clock::TimePoint RealClock::now() const {
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

double RealClock::wallSeconds() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void RealClock::schedule(TimePoint deadline, std::function<void()> fire) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        timers_.push(deadline, std::move(fire));
        if (!thread_.joinable()) thread_ = std::thread([this] { runTimers(); });
    }
    wake_.notify_all();
}

void RealClock::runTimers() {
    setCurrentThreadName("quorvanta.timer");
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (timers_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const auto deadline = timers_.nextDeadline();
        if (now() < deadline) {
            wake_.wait_until(lock, deadline);
            continue;
        }
        auto fire = timers_.pop();
        lock.unlock();
        fire();
        lock.lock();
    }
}

Clock& realClock() {
    // Never destroyed: queues and timers may still use it while static objects are torn down.
    static RealClock* const clock = new RealClock;
    return *clock;
}

FakeClock::FakeClock(double wallStart)
    : start_(TimePoint{} + std::chrono::hours(1)), wallStart_(wallStart), now_(start_) {}

Clock::TimePoint FakeClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

double FakeClock::wallSeconds() const {
    std::lock_guard lock(mutex_);
    return wallStart_ + std::chrono::duration<double>(now_ - start_).count();
}

void FakeClock::schedule(TimePoint deadline, std::function<void()> fire) {
    std::lock_guard lock(mutex_);
    timers_.push(deadline, std::move(fire));
}

void FakeClock::advance(Duration by) { advanceTo(now() + by); }

void FakeClock::advanceTo(TimePoint target) {
    std::unique_lock lock(mutex_);
    while (!timers_.empty() && timers_.nextDeadline() <= target) {
        now_ = std::max(now_, timers_.nextDeadline());
        auto fire = timers_.pop();
        lock.unlock();
        fire();
        lock.lock();
    }
    now_ = std::max(now_, target);
}

std::optional<Clock::TimePoint> FakeClock::nextDeadline() const {
    std::lock_guard lock(mutex_);
    if (timers_.empty()) return std::nullopt;
    return timers_.nextDeadline();
}

std::size_t FakeClock::pendingTimers() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

}  // namespace quorvanta::platform
