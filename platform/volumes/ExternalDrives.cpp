#include "platform/volumes/ExternalDrives.h"

#include "platform/fs/PathText.h"

#include <algorithm>
#include <system_error>

namespace quorvanta::platform {

bool isUnderExternalDriveFolder(const std::filesystem::path& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    auto resolved = std::filesystem::weakly_canonical(absolute, ec);
    // When links cannot be resolved (a folder without search permission), the plain text still
    // catches paths written below the folders.
    if (ec) resolved = normalisedPath(absolute.native());
    return std::any_of(kExternalDriveFolders.begin(), kExternalDriveFolders.end(),
                       [&](std::string_view folder) { return isSameOrUnder(resolved.native(), folder); });
}

}  // namespace quorvanta::platform
