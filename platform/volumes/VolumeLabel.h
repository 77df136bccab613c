// The label of a mounted file system, the name a user gave the drive: its device's udev by-label
// link, else the label the kernel reports for the mounted file system (FS_IOC_GETFSLABEL). Only
// file systems on a block device are asked; virtual and network ones have no label here.
//
// The kernel is asked by opening the mount point: callers never ask about network mounts, which
// could block the open.
#pragma once

#include "platform/volumes/DiskLinks.h"
#include "platform/volumes/MountInfo.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quorvanta::platform {

// The label of `mount`; none for a mount that is not on a block device, or that has no label.
std::optional<std::string> mountLabel(const MountEntry& mount,
                                      const std::filesystem::path& byLabelFolder = kDiskByLabel);

// The label the kernel reports for the file system mounted at `mountPoint`; none when the folder
// cannot be opened, the file system keeps no label or cannot report it, or the label is empty.
std::optional<std::string> fsLabelFromKernel(const std::filesystem::path& mountPoint);

}  // namespace quorvanta::platform
