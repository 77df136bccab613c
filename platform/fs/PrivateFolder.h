// Creates a folder of the user's own (the settings and data folders): every missing folder on the
// way is made with mode 0700, as the XDG base-directory rules ask. Existing folders keep their mode.
#pragma once

#include <filesystem>
#include <system_error>

namespace quorvanta::platform {

std::error_code makePrivateFolders(const std::filesystem::path& folder);

}  // namespace quorvanta::platform
