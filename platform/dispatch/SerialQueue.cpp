#include "platform/dispatch/SerialQueue.h"

#include "platform/thread/ThreadName.h"

#include <condition_variable>
#include <mutex>

namespace quorvanta::platform {

SerialQueue::SerialQueue(std::string label, Qos qos, Clock& clock)
    : label_(std::move(label)), clock_(clock), inbox_(std::make_shared<TaskInbox>()) {
    thread_ = std::thread([inbox = inbox_, name = label_, qos] {
        setCurrentThreadName(name);
        applyQosToCurrentThread(qos);
        while (auto task = inbox->popWait()) (*task)();
    });
}

SerialQueue::~SerialQueue() {
    inbox_->close();
    thread_.join();
}

void SerialQueue::async(Task task) {
    submitted_.fetch_add(1, std::memory_order_relaxed);
    inbox_->push(std::move(task));
}

void SerialQueue::asyncAfter(Clock::Duration delay, Task task) {
    submitted_.fetch_add(1, std::memory_order_relaxed);
    pushAfter(clock_, delay, inbox_, std::move(task));
}

void SerialQueue::runAndWait(const Task& body) {
    std::mutex mutex;  // guards done
    std::condition_variable doneChanged;
    bool done = false;
    async([&] {
        body();
        // Notify under the lock: the waiter may return, and end these locals, as soon as it sees done.
        std::lock_guard lock(mutex);
        done = true;
        doneChanged.notify_one();
    });
    std::unique_lock lock(mutex);
    doneChanged.wait(lock, [&] { return done; });
}

}  // namespace quorvanta::platform
