// The volume lifecycle of the application model: how each online volume reaches a current index
// and stays current, and how it leaves service. The operations are AppModel members, one file per
// concern: Start.cpp (startScans, start, the full scan, the resume by reconcile), ScanFinished.cpp,
// Watcher.cpp (startWatcher and its callbacks, a missing root), Rescan.cpp (rescan,
// rescanNetwork), Reconcile.cpp, Snapshot.cpp (saveSnapshot), Removal.cpp (removeVolume,
// goOffline).
//
// Rules the operations share:
// - A rescan never changes a volume in place: a replacement state is scanned beside it
//   (`replacing` on the replacement, `pendingScan` on the old one) and takes the old one's place
//   only when its scan succeeds and the old one is still listed and online. Taking a volume out
//   of service (removal, going offline) cancels its replacement and unlinks the two.
// - Work done off the main thread posts its result back; a result acts only while its volume is
//   listed and online and, for a watcher's callback, while that watcher is still the volume's.
//   A first scan that ends after its volume left the list publishes, saves and watches nothing.
// - A chosen folder that is gone is not a drive that is gone. When a refresh finds a root
//   missing, the refreshing thread checks which roots are missing and whether the drive (the
//   volume's root) is still there by the presence rule of RootPresence.h: the drive gone removes
//   the volume; folders gone rescan it with the folders present; nothing missing any more acts
//   as if no root had been missing. Full scans and watchers take only the scopes present while
//   the drive is there, so a folder gone while the application was closed does not fail the
//   volume, and one that comes back is indexed by the next full scan.
// - Linux keeps no file-event history across runs. A local volume whose snapshot resumes by
//   reconcile gets its live watcher first (from now), its folders watched, then the folder-time
//   reconcile and a stat pass over the files of the folders it did not list (a file written in
//   place moves no folder's time); `updating` clears after both.
// - The index of a persisting local volume is joined to the event source before its scan lists
//   any folder; a volume leaving for good is disconnected from it.
// - The synchronous saves (going offline, removal) stop the watcher's stream, flush what it
//   gathered, save while the watcher still gives its last event id, then drop the watcher.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/time/Clock.h"

#include <chrono>
#include <string>
#include <vector>

namespace quorvanta::app {

namespace lifecycle {

inline constexpr int kLocalScanThreads = 8;
inline constexpr int kNetworkScanThreads = 2;
inline constexpr int kNetworkPauseMicros = 2000;
inline constexpr int kReconcileThreads = 8;
inline constexpr std::chrono::milliseconds kWatcherDebounce{500};
// No scheduled rescan for this long after a failed or cancelled one.
inline constexpr std::chrono::seconds kRetryDelay{600};

// The clock's wall time as a date.
VolumeState::Date dateNow(const platform::Clock& clock);

// The scopes a full scan or a watcher takes: while the drive at `root` is there (present by the
// rule, a mount point if it was one), those of `scopes` that exist as folders; otherwise all of
// them, so the scan names the root it cannot open.
std::vector<std::string> presentScopes(const std::string& root, const std::vector<std::string>& scopes,
                                       bool rootWasMountPoint);

}  // namespace lifecycle

// What the refreshing thread found when a refresh reported a root missing.
struct AppModel::RootCheck {
    std::vector<std::string> missing;  // the index's roots that fail the presence check
    bool driveThere = false;           // the volume's root is not among them and is present

    // Asks the index (its probe, test seam included) and the volume's root. Any thread.
    static RootCheck of(const core::VolumeIndex& index, const std::string& root, bool rootWasMountPoint);
};

}  // namespace quorvanta::app
