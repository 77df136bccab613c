// Which mount holds a path. The path's mount id (statx) names the mount exactly, even where
// mounts are stacked or bind-mounted; when statx cannot give it, the mount whose mount point is
// the longest prefix of the path with its links resolved stands in.
//
// A path on a hung network mount can block statx and realpath indefinitely: callers ask about
// network roots off the main thread.
#pragma once

#include "platform/volumes/MountInfo.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace quorvanta::platform {

// The mount of `path` within `mounts` (normally readMountInfo()); none when the path cannot be
// examined or no mount matches.
std::optional<MountEntry> mountOfPath(const std::filesystem::path& path, const std::vector<MountEntry>& mounts);

// The mount id statx reports for the path; none when it cannot be examined or the kernel is too
// old to say.
std::optional<std::uint64_t> mountIDOfPath(const std::filesystem::path& path);

// The entry with the given mount id; the last one when the table repeats it.
std::optional<MountEntry> mountWithID(std::uint64_t mountID, const std::vector<MountEntry>& mounts);

// The mount whose mount point is "X" for the path "X" or "X/...", the longest such; of equal
// ones the last listed, which is the one on top. `resolvedPath` is absolute, links resolved.
std::optional<MountEntry> mountByPrefix(const std::string& resolvedPath, const std::vector<MountEntry>& mounts);

}  // namespace quorvanta::platform
