// Disk images on Linux: a file system mounted from a loop device (/dev/loopN, or a partition of
// one, /dev/loopNpM) whose loop is backed by a file. The kernel names the backing file in
// /sys/block/loopN/loop/backing_file while the loop is set up.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorvanta::platform {

inline constexpr const char* kDevFolder = "/dev";
inline constexpr const char* kSysBlockFolder = "/sys/block";

// True when `source` (a mount's source as mountinfo gives it) is a loop device in `devFolder`
// whose loop in `sysBlockFolder` has a backing file. Only the source text and sysfs are read.
bool isLoopImage(std::string_view source, const std::filesystem::path& devFolder = kDevFolder,
                 const std::filesystem::path& sysBlockFolder = kSysBlockFolder);

}  // namespace quorvanta::platform
