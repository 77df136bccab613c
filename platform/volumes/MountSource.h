// Where the application learns that file systems were mounted and unmounted: the running
// system's mount table (MountMonitor.h), or a test's script. Each report names the mount point
// as raw bytes, as the mount table gives it.
//
// Linux tells only after the fact: "gone" comes once the file system is already unmounted, and
// nothing can be read from it any more.
//
// Threads: observe may be called from any thread; the reports run on the executor it was given.
// Once the observation is dropped, no report runs any more, also not one already queued on the
// executor; the executor must outlive the observation.
#pragma once

#include "platform/dispatch/Executor.h"

#include <functional>
#include <memory>
#include <string>

namespace quorvanta::platform {

struct MountEvents {
    std::function<void(const std::string& mountPoint)> appeared;
    std::function<void(const std::string& mountPoint)> gone;
};

// Keeps a source's reports coming; dropping it ends them.
class MountObservation {
public:
    virtual ~MountObservation() = default;
};

class MountSource {
public:
    virtual ~MountSource() = default;
    // Reports the mounts and unmounts from now on to `events`, each on `target`, until the
    // returned observation is dropped. Null when the source cannot report anything.
    virtual std::unique_ptr<MountObservation> observe(Executor& target, MountEvents events) = 0;
};

// The running system's mounts: one MountMonitor on /proc/self/mountinfo per observation.
std::shared_ptr<MountSource> systemMountSource();

}  // namespace quorvanta::platform
