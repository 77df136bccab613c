// An elastic concurrent queue for long jobs (the application's scan queue): each job gets a thread
// of its own, up to `maxThreads` at once; further jobs wait in the order they came. So a scan that
// runs for minutes never holds up a save or a sort build queued after it. A thread that finds no
// job for `idleLinger` ends, so an idle queue holds no threads.
//
// Threads are named after the label (cut to 15 bytes) and run at the nice value of the queue's
// quality-of-service class; a thread takes the class when it starts, so one started from a nicer
// thread stays at that thread's value (Linux lets no unprivileged thread lower it).
//
// Threads: every member is safe from any thread. A job must not let an exception escape (it ends
// the process). Destroying the queue waits for every queued job to run and every thread to end; it
// must not be done from a job of the queue. Delayed jobs not yet due at that point are dropped.
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/dispatch/Qos.h"
#include "platform/time/Clock.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quorvanta::platform {

class ConcurrentQueue final : public Executor {
public:
    static constexpr std::size_t kDefaultMaxThreads = 16;
    static constexpr std::chrono::milliseconds kDefaultIdleLinger{2000};

    explicit ConcurrentQueue(std::string label, Qos qos = Qos::standard, std::size_t maxThreads = kDefaultMaxThreads,
                             std::chrono::milliseconds idleLinger = kDefaultIdleLinger, Clock& clock = realClock());
    ~ConcurrentQueue() override;
    ConcurrentQueue(const ConcurrentQueue&) = delete;
    ConcurrentQueue& operator=(const ConcurrentQueue&) = delete;

    const std::string& label() const { return label_; }

    void async(Task job);
    // Queues `job` once `delay` has passed on the queue's clock.
    void asyncAfter(Clock::Duration delay, Task job);
    void post(Task job) override { async(std::move(job)); }

    // Threads alive now (running a job or lingering idle).
    std::size_t threadCount() const;
    // How many jobs were handed to the queue so far (async and asyncAfter each count one, when
    // called), for callers that check what a step started.
    std::uint64_t submitted() const { return submitted_.load(std::memory_order_relaxed); }

    struct State;

private:
    const std::string label_;
    Clock& clock_;
    const std::shared_ptr<State> state_;
    std::atomic<std::uint64_t> submitted_{0};
};

}  // namespace quorvanta::platform
