// Time for the rest of the system: monotonic time for delays and timers, wall time (Unix seconds)
// for dates. Every delayed task of the queues takes its deadline from a Clock, so the timing rules
// are tested with FakeClock, whose advance() fires what became due without sleeping.
//
// Threads: every member is safe to call from any thread. A timer's callback runs on the clock's
// timer thread (RealClock) or on the thread that calls advance (FakeClock); it must be short and
// must not block: it hands the real work on to a queue.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <queue>
#include <thread>
#include <vector>

namespace quorvanta::platform {

class Clock {
public:
    using Duration = std::chrono::nanoseconds;
    using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

    virtual ~Clock() = default;

    // Monotonic time; only differences between two readings mean anything.
    virtual TimePoint now() const = 0;
    // Wall-clock time in seconds since the Unix epoch.
    virtual double wallSeconds() const = 0;
    // Calls `fire` once, as soon as now() has reached `deadline`. Timers with equal deadlines fire
    // in the order they were scheduled. Timers still pending when the clock is destroyed never fire.
    virtual void schedule(TimePoint deadline, std::function<void()> fire) = 0;

    void scheduleAfter(Duration delay, std::function<void()> fire) { schedule(now() + delay, std::move(fire)); }
};

// Pending timers ordered by deadline, then by the order they were scheduled. Not locked: the
// owning clock guards it.
class TimerHeap {
public:
    void push(Clock::TimePoint deadline, std::function<void()> fire);
    bool empty() const { return heap_.empty(); }
    std::size_t size() const { return heap_.size(); }
    Clock::TimePoint nextDeadline() const { return heap_.top().deadline; }
    std::function<void()> pop();

private:
    struct Timer {
        Clock::TimePoint deadline;
        std::uint64_t sequence;
        std::function<void()> fire;
        // priority_queue keeps the greatest on top; the earliest deadline must come first.
        bool operator<(const Timer& other) const {
            return deadline != other.deadline ? deadline > other.deadline : sequence > other.sequence;
        }
    };
    std::priority_queue<Timer> heap_;
    std::uint64_t nextSequence_ = 0;
};

// CLOCK_MONOTONIC and CLOCK_REALTIME. Timers fire on one thread of the clock's own, started on the
// first schedule() and ended by the destructor.
class RealClock final : public Clock {
public:
    RealClock() = default;
    ~RealClock() override;
    RealClock(const RealClock&) = delete;
    RealClock& operator=(const RealClock&) = delete;

    TimePoint now() const override;
    double wallSeconds() const override;
    void schedule(TimePoint deadline, std::function<void()> fire) override;

private:
    void runTimers();

    std::mutex mutex_;  // guards timers_, stopping_ and the start of thread_
    std::condition_variable wake_;
    TimerHeap timers_;
    bool stopping_ = false;
    std::thread thread_;
};

// The process-wide real clock; it lives until the process ends.
Clock& realClock();

// Time that moves only when a test says so. Wall time moves with monotonic time from `wallStart`.
class FakeClock final : public Clock {
public:
    explicit FakeClock(double wallStart = 1'700'000'000.0);

    TimePoint now() const override;
    double wallSeconds() const override;
    void schedule(TimePoint deadline, std::function<void()> fire) override;

    // Moves time forward, firing every timer whose deadline is reached, in deadline order, on the
    // calling thread. While a timer fires, now() reads its deadline; timers that a firing timer
    // schedules fire in the same call when they fall due before the target.
    void advance(Duration by);
    void advanceTo(TimePoint target);

    std::optional<TimePoint> nextDeadline() const;
    std::size_t pendingTimers() const;

private:
    const TimePoint start_;
    const double wallStart_;
    mutable std::mutex mutex_;  // guards now_ and timers_
    TimePoint now_;
    TimerHeap timers_;
};

}  // namespace quorvanta::platform
