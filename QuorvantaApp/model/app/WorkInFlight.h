// WorkInFlight: the model's work that must end before the process may — full scans (queued or
// running) and writes of snapshots, audio tables and the global order — so that the end of the process can
// wait for it. A write that has begun is let finish; once closed, no new write begins and every
// scan known to it is cancelled.
//
// Threads: every member is safe from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvanta::core {
class VolumeIndex;
}

namespace quorvanta::app {

class WorkInFlight {
public:
    // A full scan of `index` was queued; it counts until `scanEnded`. After `close` the scan is
    // cancelled at once (it then ends as cancelled as soon as it runs).
    void scanQueued(const std::shared_ptr<core::VolumeIndex>& index);
    void scanEnded(const core::VolumeIndex& index);
    // False once closed: the caller writes nothing. Otherwise the write counts until `endWrite`.
    bool beginWrite();
    void endWrite();

    // No write begins any more and the scans are cancelled; then waits until the writes that had
    // begun and the scans have ended, at most `bound`. True when they all ended in time.
    bool close(std::chrono::milliseconds bound);

    std::size_t scansForTesting() const;

private:
    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable idle_;
    std::vector<std::shared_ptr<core::VolumeIndex>> scans_;
    std::size_t writes_ = 0;
    bool closed_ = false;
};

}  // namespace quorvanta::app
