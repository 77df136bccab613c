// The UUID of a block device as udev publishes it: a link in /dev/disk/by-uuid named after the
// UUID and pointing at the device node (DiskLinks.h).
#pragma once

#include "platform/volumes/DiskLinks.h"
#include "platform/volumes/MountInfo.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::platform {

inline constexpr const char* kDiskByUUID = "/dev/disk/by-uuid";

// The UUID whose link points at the device of `mount`, matched as linkNameForMount does. Only
// names made of ASCII letters, digits and "-" are answered. None when no link matches or the
// folder cannot be read.
std::optional<std::string> uuidFromByUUIDFolder(const MountEntry& mount,
                                                const std::filesystem::path& folder = kDiskByUUID);

// True for a non-empty text made only of ASCII letters, digits and "-": the only volume
// identifiers this system accepts, since they go into file names.
bool isSafeVolumeIdentifier(std::string_view identifier);

}  // namespace quorvanta::platform
