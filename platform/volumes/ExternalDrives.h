// The folders under which removable and external drives are mounted on Linux. Every rule about
// external drives (no cache files written onto them, exports checked, drives offered as sources)
// uses this one list.
#pragma once

#include <array>
#include <filesystem>
#include <string_view>

namespace quorvanta::platform {

inline constexpr std::array<std::string_view, 3> kExternalDriveFolders{"/media", "/run/media", "/mnt"};

// True when the path, with the links of its existing part resolved, is one of the folders or
// lies inside one. A path that does not exist yet (a file about to be written) is judged by its
// existing parent folders.
bool isUnderExternalDriveFolder(const std::filesystem::path& path);

}  // namespace quorvanta::platform
