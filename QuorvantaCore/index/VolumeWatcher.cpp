#include "QuorvantaCore/index/VolumeWatcher.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/diagnostics/Verbose.h"
#include "platform/dispatch/QueueLabels.h"
#include "platform/fs/PathText.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <utility>

namespace quorvanta::core {

using platform::FileEvent;

namespace {

constexpr int kRefreshThreads = 4;

std::vector<std::string> scopesOrRoot(std::vector<std::string> scopes, const std::string& root) {
    if (scopes.empty()) scopes.push_back(root);
    return scopes;
}

}  // namespace

VolumeWatcher::VolumeWatcher(std::shared_ptr<VolumeIndex> index, std::string root, std::vector<std::string> scopes,
                             std::optional<std::uint64_t> since, std::chrono::milliseconds debounce,
                             std::shared_ptr<platform::EventSource> source, platform::Clock& clock)
    : index_(std::move(index)),
      root_(std::move(root)),
      scopes_(scopesOrRoot(std::move(scopes), root_)),
      source_(source ? std::move(source) : platform::processEventSource()),
      clock_(clock),
      debounce_(debounce),
      q_(std::string(platform::queue_labels::kWatch), platform::Qos::utility, clock) {
    maxID_ = applied_ = since ? *since : source_->currentId();
    historyDone_ = !since;
}

VolumeWatcher::~VolumeWatcher() {
    q_.sync([&] {
        stream_.reset();
        ++timerGen_;
    });
}

void VolumeWatcher::start() {
    q_.async([this] {
        if (stream_) return;
        stream_ = source_->open(scopes_, lastEventID(), kStreamLatency, q_,
                                [this](const std::vector<FileEvent>& events) { handle(events); });
        if (!stream_) {
            if (onStartFailed) onStartFailed();
            return;
        }
        if (historyDone_) scheduleApply(platform::Clock::Duration::zero());
    });
}

void VolumeWatcher::stop() {
    q_.sync([&] {
        if (!stream_) return;
        stream_.reset();
        ++timerGen_;
        burstStart_.reset();
        applyCapped_ = false;
    });
}

void VolumeWatcher::flush() {
    q_.sync([&] { apply(); });
}

std::uint64_t VolumeWatcher::lastEventID() const {
    std::lock_guard guard(idLock_);
    return applied_;
}

bool VolumeWatcher::isCaughtUp() {
    return q_.sync([&] { return caughtUp_; });
}

void VolumeWatcher::handle(const std::vector<FileEvent>& events) {
    if (!stream_) return;  // a batch queued before stop()
    bool endedReplay = false;
    for (const FileEvent& e : events) {
        if (e.flags & platform::kHistoryDone) {
            if (!historyDone_) endedReplay = true;
            historyDone_ = true;
            continue;
        }
        maxID_ = std::max(maxID_, e.id);
        if (e.flags & (platform::kMustScanSubDirs | platform::kUserDropped | platform::kKernelDropped)) {
            rec_.insert(e.path);
            if (platform::verbose())
                std::fprintf(stderr, "fsevents: rescan subtree %s flags=0x%" PRIx32 " id=%" PRIu64 "\n", e.path.c_str(),
                             e.flags, e.id);
        } else if (!(e.flags & (platform::kRootChanged | platform::kMount | platform::kUnmount))) {
            dirs_.insert(platform::parentPath(e.path));
        }
    }
    if (!historyDone_) return;
    scheduleApply(endedReplay ? platform::Clock::Duration::zero() : platform::Clock::Duration(debounce_));
}

void VolumeWatcher::scheduleApply(platform::Clock::Duration delay) {
    const auto now = clock_.now();
    if (!burstStart_) {
        // A batch within the debounce of an apply that the bound forced belongs to the same
        // burst, so a steady writer gets an apply every kMaxApplyDelay, not a little later.
        const bool burstGoesOn = cappedApplyAt_ && now - *cappedApplyAt_ < debounce_;
        burstStart_ = burstGoesOn ? *cappedApplyAt_ : now;
    }
    const auto cap = *burstStart_ + platform::Clock::Duration(kMaxApplyDelay);
    applyCapped_ = cap < now + delay;
    const auto deadline = applyCapped_ ? cap : now + delay;
    const std::uint64_t gen = ++timerGen_;
    q_.asyncAfter(std::max(deadline - now, platform::Clock::Duration::zero()), [this, gen] {
        if (gen == timerGen_) apply();
    });
}

void VolumeWatcher::apply() {
    cappedApplyAt_ = applyCapped_ ? std::optional(clock_.now()) : std::nullopt;
    applyCapped_ = false;
    burstStart_.reset();
    ++timerGen_;  // an apply pending from before is covered by this one
    std::set<std::string> dirs = std::exchange(dirs_, {});
    std::set<std::string> rec = std::exchange(rec_, {});
    const std::uint64_t maxID = maxID_;
    if (!dirs.empty() || !rec.empty()) {
        const RefreshStats stats = index_->refresh(dirs, rec, kRefreshThreads);
        if (stats.fullRescan || stats.rootMissing) {
            if (onNeedsRescan) onNeedsRescan(stats.rootMissing);
            return;
        }
        {
            std::lock_guard guard(idLock_);
            applied_ = maxID;
        }
        if (onApplied) onApplied(stats);
    } else {
        std::lock_guard guard(idLock_);
        applied_ = maxID;
    }
    if (!caughtUp_) {
        caughtUp_ = true;
        if (onCaughtUp) onCaughtUp();
    }
}

}  // namespace quorvanta::core
