// The UUID of a block device as udev publishes it: a link in /dev/disk/by-uuid named after the
// UUID and pointing at the device node. Link names carry udev's "\xNN" escapes, which are decoded.
#pragma once

#include "platform/volumes/MountInfo.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quorvanta::platform {

inline constexpr const char* kDiskByUUID = "/dev/disk/by-uuid";

// The UUID whose link points at the device of `mount`: a link target that is a block device
// with the mount's major:minor, or that resolves to the same path as the mount's source
// (mountinfo may name "/dev/root", and btrfs mounts carry an anonymous device number). When two
// links name the device, the smallest name wins, so the answer does not change between calls.
// Only names made of ASCII letters, digits and "-" are answered. None when no link matches or
// the folder cannot be read.
std::optional<std::string> uuidFromByUUIDFolder(const MountEntry& mount,
                                                const std::filesystem::path& folder = kDiskByUUID);

// Decodes udev's "\xNN" escapes in a link name.
std::string decodeUdevName(std::string_view name);

// True for a non-empty text made only of ASCII letters, digits and "-": the only volume
// identifiers this system accepts, since they go into file names.
bool isSafeVolumeIdentifier(std::string_view identifier);

}  // namespace quorvanta::platform
