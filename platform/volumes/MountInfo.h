// The mount table as the kernel lists it in /proc/self/mountinfo, one `MountEntry` per line.
// Text fields come back with the kernel's octal escapes (\040 space, \011 tab, \012 line feed,
// \134 backslash) decoded. A line that does not have the documented shape is skipped, so a
// truncated or odd table still yields every line that can be read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::platform {

struct MountEntry {
    std::uint64_t mountID = 0;  // what statx reports as stx_mnt_id for paths on this mount
    std::uint64_t parentID = 0;
    unsigned devMajor = 0;  // st_dev of files on the mount; major 0 is an anonymous device
    unsigned devMinor = 0;
    std::string root;  // the folder of the file system that is mounted ("/" unless a
                       // bind mount or a btrfs subvolume)
    std::string mountPoint;
    std::string fsType;  // FUSE mounts keep their subtype: "fuse.sshfs"
    std::string source;  // "/dev/sda1", "tmpfs", "host:/export", ...
};

inline constexpr const char* kProcMountInfo = "/proc/self/mountinfo";

// Parses the text of a mountinfo file.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// Reads and parses a mountinfo file; none when it cannot be read.
std::optional<std::vector<MountEntry>> readMountInfo(const std::filesystem::path& file = kProcMountInfo);

}  // namespace quorvanta::platform
