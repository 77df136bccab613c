// udev's named links to block devices under /dev/disk: by-uuid and by-label hold one link per
// file system, named after its UUID or label and pointing at the device node. Link names carry
// udev's "\xNN" escapes ("My\x20Disk" for "My Disk"), which are decoded.
#pragma once

#include "platform/volumes/MountInfo.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::platform {

inline constexpr const char* kDiskFolder = "/dev/disk";
inline constexpr const char* kDiskByLabel = "/dev/disk/by-label";

// The decoded name of a link in `folder` whose target is the device of `mount`: a block device
// with the mount's major:minor, or a node that resolves to the same path as the mount's source
// (mountinfo may name "/dev/root", and btrfs mounts carry an anonymous device number). Only
// names that `accept` takes count; when two name the device, the smallest wins, so the answer
// does not change between calls. None when no link matches or the folder cannot be read.
std::optional<std::string> linkNameForMount(const MountEntry& mount, const std::filesystem::path& folder,
                                            const std::function<bool(std::string_view)>& accept);

// The label whose by-label link names the device of `mount`; none for no link.
std::optional<std::string> labelFromByLabelFolder(const MountEntry& mount,
                                                  const std::filesystem::path& folder = kDiskByLabel);

// Decodes udev's "\xNN" escapes in a link name.
std::string decodeUdevName(std::string_view name);

}  // namespace quorvanta::platform
