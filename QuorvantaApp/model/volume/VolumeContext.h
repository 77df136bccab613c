// What a VolumeState asks of the world when it is built: where the data directory is, the
// content index that persisting volumes answer content terms from, the mount table, the volume
// key of a mount, the resume rule and the clock. The application model makes one for all its
// volumes (`live`); tests make their own from fixtures, with their own answers.
//
// Nothing here may touch a network root: the online constructor runs on the main thread, and a
// hung share can block any call on its path for minutes. The constructor asks `volumeUUID` only
// for mounts that are not network file systems, and the resume rule decides "network" from the
// mount entry before anything else.
//
// Every function must be set, except that `resume` is asked only when a snapshot is read.
//
// Threads: the functions are called on the thread that builds the volume state (the main thread).
#pragma once

#include "QuorvantaCore/index/SnapshotInfo.h"
#include "QuorvantaCore/index/VolumeID.h"
#include "platform/events/EventSource.h"
#include "platform/time/Clock.h"
#include "platform/volumes/MountInfo.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::core {
class ContentIndex;
}

namespace quorvanta::app {

struct VolumeContext {
    using MountTable = std::optional<std::vector<platform::MountEntry>>;
    // How an accepted snapshot of `root` catches up; `mount` is the root's mount entry, null when
    // the mount table does not name one.
    using ResumeRule = std::function<std::optional<core::VolumeID::Resume>(
        const core::SnapshotInfo& snapshot, const std::string& root, const platform::MountEntry* mount)>;

    std::filesystem::path dataDirectory;          // snapshots, audio tables, "scan-times.json"
    std::shared_ptr<core::ContentIndex> content;  // set on the indexes of persisting volumes; may be null
    std::function<MountTable()> mounts;           // the mount table; none when it cannot be read
    // The volume UUID of a mount (platform::mountUUID); never asked about a network mount.
    std::function<std::optional<std::string>(const platform::MountEntry&)> volumeUUID;
    ResumeRule resume;
    platform::Clock* clock = nullptr;  // dates of construction

    // The running system: the data directory, the shared content index, /proc/self/mountinfo,
    // platform::mountUUID, the default resume rule over `events`, and `clock`.
    static VolumeContext live(std::shared_ptr<platform::EventSource> events, platform::Clock& clock);

    // The clock's wall time as a date.
    std::chrono::system_clock::time_point now() const;
};

// VolumeID::resume with the probe's file-system type from the mount entry ("" without one) and,
// for a root that is not on a network file system, its event-log identity from `events` for the
// root's device. A network root is never examined.
VolumeContext::ResumeRule defaultResumeRule(std::shared_ptr<platform::EventSource> events, platform::Clock& clock);

}  // namespace quorvanta::app
