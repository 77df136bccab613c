// The maintenance of the application model: a 0.5 s timer on the main queue runs `tick`, which
// reads each online volume's counters, publishes what changed and starts the background work
// that is due; plus `clearContentIndex` (content search switched off) and `filesChanged` (file
// actions). The operations are AppModel members, one file per concern: Tick.cpp (the timer, the
// tick, the network schedule, sort orders, reconcile and saves), Audio.cpp, Content.cpp,
// FilesChanged.cpp. The rules below are pure functions, so tables test them without a clock.
//
// Rules the operations share:
// - Every time is read from the model's clock: the timer's period from its monotonic time, dates
//   (`lastScanned`, `lastSave`, `lastReconcile`, `contentLast`) from its wall time.
// - Offline catalogs take no part. A volume runs at most one job of each kind at a time, behind
//   its latch (`maintaining`, `audioRunning`, `contentRunning`), set on the main thread when the
//   job is queued and cleared there when it ends.
// - Jobs hold the index strongly and the volume state and the model weakly (the sort-order job
//   holds its state), and post their results to the main queue, where a result whose state or
//   model is gone changes nothing.
// - A tick in which nothing changed and nothing is due queues no job and runs no search; a tick
//   runs at most one search, however many volumes changed.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvanta::app::maintenance {

inline constexpr std::chrono::milliseconds kTickPeriod{500};
inline constexpr double kReconcileSpacing = 300;  // seconds after the last reconcile
inline constexpr double kContentSpacing = 60;     // seconds after the last content update
inline constexpr double kMinSaveInterval = 60;    // seconds
inline constexpr int kAudioThreads = 4;
inline constexpr int kRefreshThreads = 4;

// Whether more than `spacing` seconds lie between `then` and `now` (wall seconds). A `then` more
// than `spacing` after `now` counts too: the clock was set back, and waiting for it to catch up
// would hold the work back for as long.
bool spacedOut(double now, double then, double spacing);

// Seconds between periodic saves of an index with this many bytes of entry arrays:
// arrayBytes × 1.4 / 500000, at least 60.
double saveInterval(std::uint64_t arrayBytes);

struct SaveFacts {
    bool persist = false;  // the model writes snapshots
    bool scanning = false;
    bool watched = false;        // the volume has a watcher
    bool reconcileMode = false;  // its snapshot resumes by reconcile
    bool unsaved = false;        // the index has unsaved changes
    std::uint64_t arrayBytes = 0;
    double now = 0;       // wall seconds
    double lastSave = 0;  // wall seconds
};
// With persisting on, a periodic save is due for a volume that is not scanning, is watched or in reconcile mode, has
// unsaved changes, and was saved more than its interval ago.
bool saveDue(const SaveFacts& facts);

struct ReconcileFacts {
    bool persist = false;
    bool scanning = false;
    bool reconcileMode = false;
    bool watched = false;
    bool updating = false;
    double now = 0;            // wall seconds
    double lastReconcile = 0;  // wall seconds
};
// With persisting on, a periodic reconcile is due for a volume in reconcile mode without a watcher, neither scanning
// nor updating, more than 300 s after its last reconcile.
bool reconcileDue(const ReconcileFacts& facts);

// Whether a volume's content update is due: its folder key changed (at once), or only its
// signature changed and the last update ended more than 60 s ago.
bool contentUpdateDue(bool keyChanged, bool signatureChanged, double now, double contentLast);

// The content folders one volume indexes.
struct ContentScope {
    std::vector<std::string> folders;     // in the order of the preferences
    std::string key;                      // the folders sorted and joined with "\n"; "" for none
    std::vector<std::string> innerRoots;  // the other volumes' roots below this one
};
// The content folders (raw bytes, compared by whole components) that lie in or below `root` and
// in or below none of `otherRoots` that lie below `root` (other volumes nested in this one, which
// index their own folders); those nested roots are the result's `innerRoots`.
ContentScope contentScope(const std::string& root, const std::vector<std::string>& contentFolders,
                          const std::vector<std::string>& otherRoots);

// The content signature: the key, "|", the entry count, "|", the mutation counter.
std::string contentSignature(const std::string& key, std::uint32_t entries, std::int64_t mutations);

}  // namespace quorvanta::app::maintenance
