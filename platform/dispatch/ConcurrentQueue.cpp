#include "platform/dispatch/ConcurrentQueue.h"

#include "platform/thread/ThreadName.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quorvanta::platform {

// Shared by the queue, its threads (which are detached and may still be unwinding after the queue
// saw them end) and its pending timers.
struct ConcurrentQueue::State {
    State(std::string label, Qos qos, std::size_t maxThreads, std::chrono::milliseconds linger)
        : label(std::move(label)), qos(qos), maxThreads(maxThreads ? maxThreads : 1), linger(linger) {}

    void enqueue(Task job, const std::shared_ptr<State>& self);
    void work();

    const std::string label;
    const Qos qos;
    const std::size_t maxThreads;
    const std::chrono::milliseconds linger;

    mutable std::mutex mutex;  // guards jobs, threads, idle and stopping
    std::condition_variable jobReady;
    std::condition_variable threadEnded;
    std::deque<Task> jobs;
    std::size_t threads = 0;  // alive, busy or idle
    std::size_t idle = 0;     // waiting for a job
    bool stopping = false;
};

void ConcurrentQueue::State::enqueue(Task job, const std::shared_ptr<State>& self) {
    bool spawn = false;
    {
        std::lock_guard lock(mutex);
        if (stopping) return;
        jobs.push_back(std::move(job));
        // Every job beyond what the idle threads will take gets a thread, up to the bound.
        if (jobs.size() > idle && threads < maxThreads) {
            ++threads;
            spawn = true;
        }
    }
    if (!spawn) {
        jobReady.notify_one();
        return;
    }
    try {
        std::thread([self] { self->work(); }).detach();
    } catch (...) {
        // The job stays queued for the threads there are (or the next one started).
        std::lock_guard lock(mutex);
        --threads;
        throw;
    }
}

void ConcurrentQueue::State::work() {
    setCurrentThreadName(label);
    applyQosToCurrentThread(qos);
    std::unique_lock lock(mutex);
    for (;;) {
        if (jobs.empty() && !stopping) {
            ++idle;
            jobReady.wait_for(lock, linger, [&] { return !jobs.empty() || stopping; });
            --idle;
        }
        if (jobs.empty()) break;
        Task job = std::move(jobs.front());
        jobs.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // the job's captures end here, outside the lock
        lock.lock();
    }
    --threads;
    threadEnded.notify_all();
}

ConcurrentQueue::ConcurrentQueue(std::string label, Qos qos, std::size_t maxThreads,
                                 std::chrono::milliseconds idleLinger, Clock& clock)
    : label_(label), clock_(clock), state_(std::make_shared<State>(std::move(label), qos, maxThreads, idleLinger)) {}

ConcurrentQueue::~ConcurrentQueue() {
    std::unique_lock lock(state_->mutex);
    // Queued jobs still run: a thread only ends on an empty queue, and stopping wakes the idle ones.
    state_->stopping = true;
    state_->jobReady.notify_all();
    state_->threadEnded.wait(lock, [&] { return state_->threads == 0; });
}

void ConcurrentQueue::async(Task job) {
    submitted_.fetch_add(1, std::memory_order_relaxed);
    state_->enqueue(std::move(job), state_);
}

void ConcurrentQueue::asyncAfter(Clock::Duration delay, Task job) {
    submitted_.fetch_add(1, std::memory_order_relaxed);
    clock_.scheduleAfter(delay, [weak = std::weak_ptr<State>(state_), job = std::move(job)]() mutable {
        if (auto state = weak.lock()) state->enqueue(std::move(job), state);
    });
}

std::size_t ConcurrentQueue::threadCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->threads;
}

}  // namespace quorvanta::platform
