#include "QuorvantaApp/model/volume/VolumeContext.h"

#include "QuorvantaCore/content/ContentIndex.h"
#include "platform/volumes/VolumeUUID.h"

#include <sys/stat.h>

namespace quorvanta::app {
namespace {

std::chrono::system_clock::time_point wallDate(const platform::Clock& clock) {
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(clock.wallSeconds())));
}

}  // namespace

std::chrono::system_clock::time_point VolumeContext::now() const { return wallDate(*clock); }

VolumeContext VolumeContext::live(std::shared_ptr<platform::EventSource> events, platform::Clock& clock) {
    VolumeContext context;
    context.dataDirectory = core::VolumeID::directory();
    context.content = core::ContentIndex::shared();
    context.mounts = [] { return platform::readMountInfo(); };
    context.volumeUUID = [](const platform::MountEntry& mount) { return platform::mountUUID(mount); };
    context.resume = defaultResumeRule(std::move(events), clock);
    context.clock = &clock;
    return context;
}

VolumeContext::ResumeRule defaultResumeRule(std::shared_ptr<platform::EventSource> events, platform::Clock& clock) {
    return [events = std::move(events), &clock](const core::SnapshotInfo& snapshot, const std::string& root,
                                                const platform::MountEntry* mount) {
        core::VolumeID::ResumeProbe probe{mount ? mount->fsType : "", "", wallDate(clock)};
        struct stat info {};
        if (!core::VolumeID::isNetwork(probe.fsType) && stat(root.c_str(), &info) == 0)
            probe.fseUUID = events->eventLogIdentity(info.st_dev).value_or("");
        return core::VolumeID::resume(snapshot, probe);
    };
}

}  // namespace quorvanta::app
