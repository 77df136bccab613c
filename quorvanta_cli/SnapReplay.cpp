#include "quorvanta_cli/SnapReplay.h"

#include "QuorvantaCore/index/RefreshStats.h"
#include "QuorvantaCore/index/SnapshotInfo.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index/VolumeWatcher.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <optional>

namespace quorvanta::cli {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kListedKeys = 10;

// The event-log identity of the device holding path, or of its nearest existing folder above
// when the path itself is gone (a removed root still lies on its volume).
std::string logIdentity(platform::EventSource& source, const std::string& path) {
    for (std::filesystem::path p = path;; p = p.parent_path()) {
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0) return source.eventLogIdentity(st.st_dev).value_or("");
        if (!p.has_relative_path() || p.parent_path() == p || p.parent_path().empty()) return "";
    }
}

std::string countsLine(const core::RefreshStats& s) {
    return "listed=" + std::to_string(s.listed) + " added=" + std::to_string(s.added) +
           " removed=" + std::to_string(s.removed) + " updated=" + std::to_string(s.updated);
}

// What the watcher's callbacks report to the waiting thread; they run on the watcher's queue.
struct ReplayOutcome {
    std::mutex lock;
    std::condition_variable changed;
    core::RefreshStats lastApplied;
    bool caughtUp = false;
    std::optional<bool> rescan;  // rootMissing of the first batch that needs a rescan
};

int replay(Cli& cli, const ReplayRequest& request) {
    double t = now();
    auto loaded = core::VolumeIndex::load(request.snapshot, {});
    const double loadSeconds = now() - t;
    if (!loaded) {
        cli.out << "cannot load " << request.snapshot << '\n';
        return kFailed;
    }
    const auto& index = loaded->index;
    const std::string current = logIdentity(*request.source, request.root);
    if (current.empty() || current != loaded->info.fseUUID) {
        cli.out << "FSEvents log changed (" << loaded->info.fseUUID << " -> " << current << "): a rescan is needed\n";
        return kNotOk;
    }

    ReplayOutcome outcome;  // outlives the watcher, whose callbacks use it
    core::VolumeWatcher watcher(index, request.root, {}, loaded->info.eventID, 500ms, request.source);
    watcher.onApplied = [&](const core::RefreshStats& stats) {
        const std::lock_guard hold(outcome.lock);
        outcome.lastApplied = stats;
    };
    watcher.onCaughtUp = [&] {
        const std::lock_guard hold(outcome.lock);
        outcome.caughtUp = true;
        outcome.changed.notify_all();
    };
    // Only recorded here: the watcher cannot be stopped from its own callback, and the outcome
    // is printed by this thread.
    watcher.onNeedsRescan = [&](bool rootMissing) {
        const std::lock_guard hold(outcome.lock);
        if (!outcome.rescan) outcome.rescan = rootMissing;
        outcome.changed.notify_all();
    };

    t = now();
    watcher.start();
    core::RefreshStats applied;
    std::optional<bool> rescan;
    bool caughtUp = false;
    {
        std::unique_lock hold(outcome.lock);
        outcome.changed.wait_for(hold, request.timeLimit, [&] { return outcome.caughtUp || outcome.rescan; });
        applied = outcome.lastApplied;
        rescan = outcome.rescan;
        caughtUp = outcome.caughtUp;
    }
    const double replaySeconds = now() - t;
    if (rescan || !caughtUp) {
        watcher.stop();
        if (rescan) {
            cli.out << (*rescan ? "volume missing" : "events dropped for a whole root: the volume needs a rescan")
                    << '\n';
            return kWatchLost;
        }
        cli.out << "history replay timed out\n";
        return kNotDelivered;
    }
    cli.out << "load=" << fmt(loadSeconds * 1000) << " ms, replay since " << loaded->info.eventID << ": "
            << fmt(replaySeconds) << " s -> " << countsLine(applied) << "; now " << index->count() << " entries ("
            << index->deletedCount() << " tombstones)\n";
    watcher.stop();

    const int status = compareWithFreshScan(cli, *index, request.root, true);
    if (request.save) {
        core::SnapshotInfo info;
        info.uuid = loaded->info.uuid;
        info.fseUUID = current;
        info.root = request.root;
        info.eventID = watcher.lastEventID();
        info.savedAt = std::chrono::system_clock::now();
        info.storeID = index->storeID();
        cli.out << "saved: " << (index->save(request.snapshot, info) ? "true" : "false") << '\n';
    }
    return status;
}

}  // namespace

int snapReplay(Cli& cli, const ReplayRequest& request) {
    try {
        return replay(cli, request);
    } catch (const RunEnd& end) {  // the fresh scan could not run
        return end.status;
    }
}

int compareWithFreshScan(Cli& cli, const core::VolumeIndex& caughtUp, const std::string& root, bool replayLabels) {
    const std::set<std::string> a = dump(caughtUp);
    const std::set<std::string> b = dump(*build(cli, {root}));
    std::vector<std::string> difference;
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(difference));
    cli.out << "DIFF vs fresh scan: " << difference.size();
    if (replayLabels) cli.out << " (replayed " << a.size() << ", fresh " << b.size() << ")";
    cli.out << '\n';
    for (std::size_t i = 0; i < difference.size() && i < kListedKeys; ++i) {
        cli.out << "  ";
        if (replayLabels) cli.out << (a.contains(difference[i]) ? "only replayed: " : "only fresh: ");
        cli.out << difference[i] << '\n';
    }
    return difference.empty() ? kSuccess : kDifferent;
}

}  // namespace quorvanta::cli
