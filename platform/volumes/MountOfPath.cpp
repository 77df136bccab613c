#include "platform/volumes/MountOfPath.h"

#include "platform/fs/PathText.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace quorvanta::platform {

std::optional<std::uint64_t> mountIDOfPath(const std::filesystem::path& path) {
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_MNT_ID, &info) != 0 || !(info.stx_mask & STATX_MNT_ID))
        return std::nullopt;
    return info.stx_mnt_id;
}

std::optional<MountEntry> mountWithID(std::uint64_t mountID, const std::vector<MountEntry>& mounts) {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
        if (it->mountID == mountID) return *it;
    return std::nullopt;
}

std::optional<MountEntry> mountByPrefix(const std::string& resolvedPath, const std::vector<MountEntry>& mounts) {
    const MountEntry* best = nullptr;
    for (const auto& mount : mounts)
        if (isSameOrUnder(resolvedPath, mount.mountPoint) &&
            (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = &mount;
    if (!best) return std::nullopt;
    return *best;
}

std::optional<MountEntry> mountOfPath(const std::filesystem::path& path, const std::vector<MountEntry>& mounts) {
    if (const auto id = mountIDOfPath(path))
        if (auto mount = mountWithID(*id, mounts)) return mount;
    std::error_code ec;
    const auto resolved = std::filesystem::canonical(path, ec);
    if (ec) return std::nullopt;
    return mountByPrefix(resolved.native(), mounts);
}

}  // namespace quorvanta::platform
