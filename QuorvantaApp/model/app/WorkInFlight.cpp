#include "QuorvantaApp/model/app/WorkInFlight.h"

#include "QuorvantaCore/index/VolumeIndex.h"

#include <algorithm>

namespace quorvanta::app {

void WorkInFlight::scanQueued(const std::shared_ptr<core::VolumeIndex>& index) {
    bool cancel = false;
    {
        std::lock_guard lock(mutex_);
        scans_.push_back(index);
        cancel = closed_;
    }
    if (cancel) index->cancelScan();
}

void WorkInFlight::scanEnded(const core::VolumeIndex& index) {
    {
        std::lock_guard lock(mutex_);
        // One entry per queued scan: a rescan's index may be listed once for each of its scans.
        const auto it = std::find_if(scans_.begin(), scans_.end(), [&](const auto& s) { return s.get() == &index; });
        if (it != scans_.end()) scans_.erase(it);
    }
    idle_.notify_all();
}

bool WorkInFlight::beginWrite() {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    ++writes_;
    return true;
}

void WorkInFlight::endWrite() {
    {
        std::lock_guard lock(mutex_);
        --writes_;
    }
    idle_.notify_all();
}

bool WorkInFlight::close(std::chrono::milliseconds bound) {
    std::vector<std::shared_ptr<core::VolumeIndex>> scans;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        scans = scans_;
    }
    for (const auto& index : scans) index->cancelScan();
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, bound, [this] { return scans_.empty() && writes_ == 0; });
}

std::size_t WorkInFlight::scansForTesting() const {
    std::lock_guard lock(mutex_);
    return scans_.size();
}

}  // namespace quorvanta::app
