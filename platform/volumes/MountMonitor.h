// MountMonitor: a thread that follows the mount table of its mount namespace and reports the
// mounts that appeared and the ones that went, by mount point, on an executor (the main queue).
//
// The kernel marks /proc/self/mountinfo with POLLPRI whenever the namespace's mount table
// changes; at each wake-up the monitor reads the whole table again and compares it with the one
// it read before (diffMounts). A mount is known by its mount id and its mount point, so a remount
// with other options (a changed line of the same mount) is no event, and a mount stacked on
// another at the same place is one more mount. A mount that came and went between two readings is
// not seen.
//
// The monitor sees the namespace of the process's main thread (the one /proc/self names).
//
// Threads: construction and destruction on the owner's thread; the destructor wakes the monitor's
// thread, joins it, and from then on no report runs, also not one already queued on the target.
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/volumes/MountInfo.h"
#include "platform/volumes/MountSource.h"

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {

class Slot;

struct MountChange {
    enum class Kind { appeared, gone };
    Kind kind = Kind::appeared;
    std::string mountPoint;

    bool operator==(const MountChange&) const = default;
};

// What changed from `before` to `after`: first each mount of `before` missing from `after`
// ("gone", in the order of `before`), then each mount of `after` missing from `before`
// ("appeared", in the order of `after`). Mounts are matched by mount id and mount point.
std::vector<MountChange> diffMounts(const std::vector<MountEntry>& before, const std::vector<MountEntry>& after);

class MountMonitor final : public MountObservation {
public:
    // Reads the table at `file` and starts following it. When the file cannot be opened, or the
    // thread cannot be made, the monitor reports nothing (watching() is false).
    MountMonitor(Executor& target, MountEvents events, std::filesystem::path file = kProcMountInfo);
    ~MountMonitor() override;
    MountMonitor(const MountMonitor&) = delete;
    MountMonitor& operator=(const MountMonitor&) = delete;

    bool watching() const { return thread_.joinable(); }

private:
    void run(std::vector<MountEntry> table);
    void report(const std::vector<MountChange>& changes);

    Executor& target_;
    std::shared_ptr<const MountEvents> events_;
    std::shared_ptr<Slot> slot_;
    int tableFd_ = -1;
    int wakeFd_ = -1;
    std::thread thread_;
};

}  // namespace quorvanta::platform
