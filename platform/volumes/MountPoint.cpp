#include "platform/volumes/MountPoint.h"

#include "platform/fs/PathText.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace quorvanta::platform {
namespace {

constexpr unsigned kMask = STATX_TYPE | STATX_INO | STATX_MNT_ID;

bool statFolder(const std::string& path, struct statx& sx) {
    return statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, kMask, &sx) == 0;
}

bool sameObject(const struct statx& a, const struct statx& b) {
    return a.stx_ino == b.stx_ino && a.stx_dev_major == b.stx_dev_major && a.stx_dev_minor == b.stx_dev_minor;
}

}  // namespace

bool isMountPoint(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    struct statx self;
    if (!statFolder(path, self)) return false;
    if (path.find_first_not_of('/') == std::string::npos) return true;
    if (self.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) return (self.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;

    // Older kernels: compare with the folder above. "/.." is "/" itself.
    struct statx up;
    if (!statFolder(joinPath(path, ".."), up)) return false;
    if (sameObject(self, up)) return true;
    const bool bothMountIds = (self.stx_mask & STATX_MNT_ID) && (up.stx_mask & STATX_MNT_ID);
    if (bothMountIds) return self.stx_mnt_id != up.stx_mnt_id;
    // Without mount ids the device is all there is; a btrfs subvolume may be taken for a mount.
    return self.stx_dev_major != up.stx_dev_major || self.stx_dev_minor != up.stx_dev_minor;
}

}  // namespace quorvanta::platform
