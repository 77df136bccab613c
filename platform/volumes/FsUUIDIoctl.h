// The file-system UUID that the kernel itself reports for the file system holding a path
// (FS_IOC_GETFSUUID). Older kernels, such as 6.1, answer ENOTTY.
// Note that virtual file systems answer too (tmpfs invents a UUID per mount), so callers decide
// which file systems may be named by it.
//
// A path on a hung network mount can block the open indefinitely: callers ask about network
// roots off the main thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quorvanta::platform {

// The UUID in lower-case hyphenated form; none when the kernel or the file system gives none,
// the path cannot be opened, or the answer is all zeros.
std::optional<std::string> fsUUIDFromKernel(const std::filesystem::path& path);

}  // namespace quorvanta::platform
