// Whether a folder is the root of a mounted file system, asked of the kernel about the folder
// itself rather than by looking its path up in the mount table.
#pragma once

#include <string>

namespace quorvanta::platform {

// True when `path` (links in it followed, nothing automounted) is the root of a mount: statx's
// mount-root attribute where the kernel reports it, else a mount id or device that differs from
// the parent folder's. "/" (any path naming the top folder) always counts as one. A device
// number alone never decides: btrfs subvolumes have their own without being mounts. False when
// the path cannot be examined.
bool isMountPoint(const std::string& path);

}  // namespace quorvanta::platform
