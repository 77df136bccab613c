#include "platform/volumes/VolumeUUID.h"

#include "platform/volumes/FsTypeSets.h"
#include "platform/volumes/FsUUIDIoctl.h"
#include "platform/volumes/MountOfPath.h"

#include <sys/stat.h>

namespace quorvanta::platform {

bool isBlockDeviceMount(const MountEntry& mount) {
    if (isNetworkFsType(mount.fsType)) return false;
    if (mount.devMajor != 0) return true;
    struct stat source {};
    return !mount.source.empty() && mount.source.front() == '/' && stat(mount.source.c_str(), &source) == 0 &&
           S_ISBLK(source.st_mode);
}

std::optional<std::string> mountUUID(const MountEntry& mount, const std::filesystem::path& byUUIDFolder) {
    if (!isBlockDeviceMount(mount)) return std::nullopt;
    if (auto uuid = uuidFromByUUIDFolder(mount, byUUIDFolder)) return uuid;
    return fsUUIDFromKernel(mount.mountPoint);
}

std::optional<std::string> volumeUUID(const std::filesystem::path& path, const std::vector<MountEntry>& mounts,
                                      const std::filesystem::path& byUUIDFolder) {
    const auto mount = mountOfPath(path, mounts);
    if (!mount) return std::nullopt;
    return mountUUID(*mount, byUUIDFolder);
}

}  // namespace quorvanta::platform
