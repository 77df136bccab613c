// The UUID of the volume holding a path, for file systems on a block device only: the udev
// by-uuid link of the mount's device, else the UUID the kernel reports for the file system.
// Virtual and network file systems have none, even where the kernel invents one (tmpfs), so that
// callers fall back to an identifier of their own. Only identifiers made of ASCII letters, digits
// and "-" are answered: they go into file names.
//
// A path on a hung network mount can block indefinitely: callers ask about network roots off the
// main thread.
#pragma once

#include "platform/volumes/ByUUID.h"
#include "platform/volumes/MountInfo.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::platform {

// The volume UUID of the file system of `mount`: for a block-device mount, the by-uuid link of
// its device, else the UUID the kernel reports for the file system at its mount point. None for
// any other mount, without touching it. This is the one volume key of a mount: the drive list and
// the volumes built from it both take it from here.
std::optional<std::string> mountUUID(const MountEntry& mount, const std::filesystem::path& byUUIDFolder = kDiskByUUID);

// mountUUID of the mount that holds `path`. `mounts` is the mount table (normally
// readMountInfo()); `byUUIDFolder` normally kDiskByUUID.
std::optional<std::string> volumeUUID(const std::filesystem::path& path, const std::vector<MountEntry>& mounts,
                                      const std::filesystem::path& byUUIDFolder = kDiskByUUID);

// True when the mount's file system lives on a block device: a real device number, or (btrfs,
// whose mounts carry an anonymous one) a source that is a block device node.
bool isBlockDeviceMount(const MountEntry& mount);

}  // namespace quorvanta::platform
