// VolumeWatcher: keeps one volume index current from a file-event stream. Each event becomes a
// folder to list again (the item's folder) or a subtree to list again (events that must be
// rescanned or were dropped); they gather in two sets and are applied through the index's
// refresh after a debounce. The watcher keeps the id of the last applied event, which its owner
// saves with the snapshot.
//
// Threads: events, timers, applies and every callback run on the watcher's own serial queue
// "quorvanta.watch"; `stop`, `flush` and `isCaughtUp` do their work synchronously on it. A
// callback must not call `stop`, `flush` or `isCaughtUp` (they would wait for the queue that
// runs the callback), nor destroy the watcher. `lastEventID` may be read from any thread. The
// callbacks are set before `start` and not changed while started.
#pragma once

#include "QuorvantaCore/index/RefreshStats.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/events/EventSource.h"
#include "platform/time/Clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvanta::core {

class VolumeIndex;

class VolumeWatcher {
public:
    // The longest a pending change waits while batches keep coming: a steadily written file
    // gives batches faster than the debounce, which alone would never fire.
    static constexpr std::chrono::seconds kMaxApplyDelay{5};
    // The latency asked of the event stream.
    static constexpr std::chrono::milliseconds kStreamLatency{300};

    // `scopes` empty: the root. `since` given: the history after it is replayed first and
    // applied in one refresh when it ends; none: the watcher starts at the source's current id
    // and is live at once. `source` null: the process's source.
    VolumeWatcher(std::shared_ptr<VolumeIndex> index, std::string root, std::vector<std::string> scopes,
                  std::optional<std::uint64_t> since, std::chrono::milliseconds debounce,
                  std::shared_ptr<platform::EventSource> source = nullptr,
                  platform::Clock& clock = platform::realClock());
    ~VolumeWatcher();
    VolumeWatcher(const VolumeWatcher&) = delete;
    VolumeWatcher& operator=(const VolumeWatcher&) = delete;

    std::function<void(const RefreshStats&)> onApplied;   // after each applied batch
    std::function<void()> onCaughtUp;                     // once, at the first apply after the replay
    std::function<void(bool rootMissing)> onNeedsRescan;  // a batch only a rescan can apply
    std::function<void()> onStartFailed;                  // the stream could not be opened (once per start)

    // Opens the stream on the queue unless one is open; returns at once.
    void start();
    // Closes the stream and cancels a pending apply; pending folders stay pending.
    void stop();
    // Applies what is pending now, whatever the timer and the replay state.
    void flush();

    std::uint64_t lastEventID() const;
    bool isCaughtUp();

    const std::string& root() const { return root_; }
    const std::vector<std::string>& scopes() const { return scopes_; }

private:
    void handle(const std::vector<platform::FileEvent>& events);
    void scheduleApply(platform::Clock::Duration delay);
    void apply();

    const std::shared_ptr<VolumeIndex> index_;
    const std::string root_;
    const std::vector<std::string> scopes_;
    const std::shared_ptr<platform::EventSource> source_;
    platform::Clock& clock_;
    const platform::Clock::Duration debounce_;

    // The queue's own state.
    std::unique_ptr<platform::EventStream> stream_;
    std::set<std::string> dirs_;
    std::set<std::string> rec_;
    std::uint64_t maxID_ = 0;
    bool historyDone_ = false;
    bool caughtUp_ = false;
    std::uint64_t timerGen_ = 0;
    std::optional<platform::Clock::TimePoint> burstStart_;     // the first batch waiting for an apply
    bool applyCapped_ = false;                                 // the pending apply is the bound's
    std::optional<platform::Clock::TimePoint> cappedApplyAt_;  // the last apply, when the bound forced it

    mutable std::mutex idLock_;
    std::uint64_t applied_ = 0;  // idLock_

    // Last member: destroyed first, so tasks it still runs find every other member alive.
    platform::SerialQueue q_;
};

}  // namespace quorvanta::core
