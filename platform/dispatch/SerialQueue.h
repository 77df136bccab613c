// A serial queue: one thread of its own runs the queue's tasks one at a time, in the order they
// were queued. The thread is named after the label (cut to 15 bytes) and runs at the nice value of
// the queue's quality-of-service class.
//
// Threads: every member is safe from any thread. A task must not let an exception escape (it ends
// the process), except through sync, which hands it to the caller. Destroying the queue runs the
// tasks already queued, drops delayed tasks that are not yet due and joins the thread; it must not
// be done from a task of the queue itself.
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/dispatch/Outcome.h"
#include "platform/dispatch/Qos.h"
#include "platform/dispatch/TaskInbox.h"
#include "platform/time/Clock.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>

namespace quorvanta::platform {

class SerialQueue final : public Executor {
public:
    explicit SerialQueue(std::string label, Qos qos = Qos::standard, Clock& clock = realClock());
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return label_; }

    void async(Task task);
    // Queues `task` once `delay` has passed on the queue's clock.
    void asyncAfter(Clock::Duration delay, Task task);
    void post(Task task) override { async(std::move(task)); }

    // Runs `fn` on the queue after the tasks queued before it and returns its result (or throws
    // what it threw). Called from a task of this queue, it runs `fn` at once instead of waiting for
    // itself.
    template <class F>
    std::invoke_result_t<F&> sync(F&& fn);

    // True on the queue's own thread.
    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

    // How many tasks were handed to the queue so far (async, asyncAfter and sync each count one,
    // when called), for callers that check what a step started.
    std::uint64_t submitted() const { return submitted_.load(std::memory_order_relaxed); }

private:
    // Queues `body` and waits until it has run.
    void runAndWait(const Task& body);

    const std::string label_;
    Clock& clock_;
    const std::shared_ptr<TaskInbox> inbox_;
    std::atomic<std::uint64_t> submitted_{0};
    std::thread thread_;
};

template <class F>
std::invoke_result_t<F&> SerialQueue::sync(F&& fn) {
    if (isCurrent()) return fn();
    Outcome<std::invoke_result_t<F&>> outcome;
    runAndWait([&] { outcome.capture(fn); });
    return outcome.take();
}

}  // namespace quorvanta::platform
