// The type name of the file system holding a path, as mountinfo names it ("ext4", "btrfs",
// "fuse.sshfs"). statfs decides whether the path can be examined at all; the name comes from the
// path's mount, and from statfs's magic number only when the mount table cannot tell.
//
// statfs on a hung network mount can block indefinitely: callers ask about network roots off the
// main thread.
#pragma once

#include "platform/volumes/MountInfo.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::platform {

// "" when statfs fails. `mounts` is the mount table (normally readMountInfo()), none when it
// could not be read.
std::string fsTypeOfPath(const std::filesystem::path& path, const std::optional<std::vector<MountEntry>>& mounts);

// The type name for a statfs f_type magic number; "" for one this table does not know. The ext
// family shares one number and is named "ext4"; FUSE mounts are "fuse", without their subtype.
std::string fsTypeFromMagic(std::uint32_t magic);

}  // namespace quorvanta::platform
