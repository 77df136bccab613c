#include "QuorvantaApp/model/drives/Candidates.h"

#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/lang/Tr.h"
#include "platform/fs/PathText.h"
#include "platform/volumes/ByUUID.h"
#include "platform/volumes/ExternalDrives.h"
#include "platform/volumes/LoopDevice.h"
#include "platform/volumes/MountOfPath.h"
#include "platform/volumes/VolumeLabel.h"
#include "platform/volumes/VolumeUUID.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace quorvanta::app {
namespace {

using platform::MountEntry;

// Where the firmware and the kernel are mounted: block devices, but never a user's drive.
constexpr std::array<std::string_view, 2> kSystemOnlyFolders{"/boot", "/efi"};

template <class Folders>
bool isUnderAny(std::string_view path, const Folders& folders) {
    for (const auto& folder : folders)
        if (platform::isSameOrUnder(path, folder)) return true;
    return false;
}

std::filesystem::path byUUIDFolder(const DriveProbe& probe) { return probe.devFolder / "disk" / "by-uuid"; }
std::filesystem::path byLabelFolder(const DriveProbe& probe) { return probe.devFolder / "disk" / "by-label"; }

// A file system on a block device whose node lies in the probe's device folder. Only device
// nodes are examined, never a path that a network mount could hang.
bool isOnBlockDevice(const MountEntry& mount, const DriveProbe& probe) {
    return platform::isSameOrUnder(mount.source, probe.devFolder.native()) && platform::isBlockDeviceMount(mount);
}

bool isDiskImage(const MountEntry& mount, const DriveProbe& probe) {
    return platform::isLoopImage(mount.source, probe.devFolder, probe.sysBlockFolder);
}

bool indexesDiskImages(const DriveProbe& probe) {
    return probe.defaults && probe.defaults->boolean(kIndexDiskImagesKey).value_or(false);
}

// The drives of a mount table other than the boot volume; see the header for the rules.
std::vector<ExternalVolume> externalVolumesIn(const std::vector<MountEntry>& mounts, const DriveProbe& probe) {
    const auto top = platform::mountByPrefix("/", mounts);
    std::map<std::string_view, std::size_t> lastAt;  // mount point -> the entry on top there
    for (std::size_t i = 0; i < mounts.size(); ++i) lastAt[mounts[i].mountPoint] = i;

    std::set<std::pair<unsigned, unsigned>> listed;
    std::vector<ExternalVolume> volumes;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const MountEntry& mount = mounts[i];
        if (lastAt[mount.mountPoint] != i) continue;
        if (top &&
            (mount.mountID == top->mountID || (mount.devMajor == top->devMajor && mount.devMinor == top->devMinor)))
            continue;
        const bool network = core::VolumeID::isNetwork(mount.fsType);
        const bool inDriveFolder = isUnderAny(mount.mountPoint, probe.driveFolders);
        const bool drive = inDriveFolder ? network || isOnBlockDevice(mount, probe)
                                         : !network && !isUnderAny(mount.mountPoint, kSystemOnlyFolders) &&
                                               isOnBlockDevice(mount, probe);
        if (!drive) continue;
        if (mount.root != "/" && mount.fsType != "btrfs") continue;
        const std::pair device{mount.devMajor, mount.devMinor};
        if (listed.contains(device)) continue;
        if (!network && isDiskImage(mount, probe) && !(inDriveFolder && indexesDiskImages(probe))) continue;
        listed.insert(device);
        auto label = network ? std::nullopt : platform::mountLabel(mount, byLabelFolder(probe));
        volumes.push_back({label ? std::move(*label) : std::string(platform::lastComponent(mount.mountPoint)),
                           mount.mountPoint, mount});
    }
    return volumes;
}

}  // namespace

DriveProbe DriveProbe::system() {
    DriveProbe probe;
    probe.mountInfo = platform::kProcMountInfo;
    probe.devFolder = platform::kDevFolder;
    probe.sysBlockFolder = platform::kSysBlockFolder;
    probe.driveFolders.assign(platform::kExternalDriveFolders.begin(), platform::kExternalDriveFolders.end());
    probe.defaults = &platform::standardSettings();
    return probe;
}

std::vector<Candidate> candidates(const DriveProbe& probe) {
    Candidate boot{"/", core::tr("Computer"), "/", "", true, false};
    const auto mounts = platform::readMountInfo(probe.mountInfo);
    if (!mounts) return {boot};
    if (const auto top = platform::mountByPrefix("/", *mounts)) {
        if (auto key = platform::mountUUID(*top, byUUIDFolder(probe))) boot.key = std::move(*key);
        if (auto label = platform::mountLabel(*top, byLabelFolder(probe))) boot.name = std::move(*label);
    }
    std::vector<Candidate> list{boot};
    for (auto& volume : externalVolumesIn(*mounts, probe)) {
        const bool network = core::VolumeID::isNetwork(volume.mount.fsType);
        auto key = network ? std::nullopt : platform::mountUUID(volume.mount, byUUIDFolder(probe));
        list.push_back({key ? std::move(*key) : volume.root, std::move(volume.name), volume.root, "", false, network});
    }
    return list;
}

std::vector<ExternalVolume> externalVolumes(const DriveProbe& probe) {
    const auto mounts = platform::readMountInfo(probe.mountInfo);
    return mounts ? externalVolumesIn(*mounts, probe) : std::vector<ExternalVolume>{};
}

bool isDiskImage(const std::string& root, const DriveProbe& probe) {
    const auto mounts = platform::readMountInfo(probe.mountInfo);
    if (!mounts) return false;
    const auto mount = platform::mountByPrefix(root, *mounts);
    return mount && isDiskImage(*mount, probe);
}

}  // namespace quorvanta::app
