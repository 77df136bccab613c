#include "QuorvantaCore/dj/DriveRoots.h"

#include "platform/fs/PathText.h"
#include "platform/volumes/ExternalDrives.h"

#include <algorithm>

namespace quorvanta::core::dj {

std::vector<std::string> externalDriveRoots(const std::vector<platform::MountEntry>& mounts) {
    std::vector<std::string> roots;
    for (const auto& mount : mounts) {
        const bool inside =
            std::any_of(platform::kExternalDriveFolders.begin(), platform::kExternalDriveFolders.end(),
                        [&](std::string_view folder) {
                            return mount.mountPoint != folder && platform::isSameOrUnder(mount.mountPoint, folder);
                        });
        if (inside && std::find(roots.begin(), roots.end(), mount.mountPoint) == roots.end())
            roots.push_back(mount.mountPoint);
    }
    return roots;
}

std::vector<std::string> externalDriveRoots() {
    const auto mounts = platform::readMountInfo();
    return mounts ? externalDriveRoots(*mounts) : std::vector<std::string>{};
}

}  // namespace quorvanta::core::dj
