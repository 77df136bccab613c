#include "platform/volumes/ByUUID.h"

#include <algorithm>

namespace quorvanta::platform {

bool isSafeVolumeIdentifier(std::string_view identifier) {
    return !identifier.empty() && std::all_of(identifier.begin(), identifier.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
    });
}

std::optional<std::string> uuidFromByUUIDFolder(const MountEntry& mount, const std::filesystem::path& folder) {
    return linkNameForMount(mount, folder, isSafeVolumeIdentifier);
}

}  // namespace quorvanta::platform
