// The root-presence check shared by refresh and reconcile, and the per-root fact it needs:
// whether the root was a mount point when the index scanned it or adopted a loaded handle, and
// the list of the roots that fail it.
#include "QuorvantaCore/index/RootPresence.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include "platform/volumes/MountPoint.h"

#include <sys/stat.h>

#include <array>

namespace quorvanta::core {

RootState probeRoot(const std::string& path) {
    RootState state;
    struct stat st;
    if (path.find('\0') != std::string::npos || stat(path.c_str(), &st) != 0) return state;
    state.exists = true;
    state.isFolder = S_ISDIR(st.st_mode);
    state.isMountPoint = state.isFolder && platform::isMountPoint(path);
    return state;
}

std::vector<std::pair<std::uint32_t, std::string>> VolumeIndex::rootEntries() const {
    std::array<std::uint32_t, 64> ids{};
    const std::uint32_t n = fidx_roots(s_.get(), ids.data(), static_cast<std::uint32_t>(ids.size()));
    std::vector<std::pair<std::uint32_t, std::string>> roots;
    for (std::uint32_t k = 0; k < n; ++k) roots.emplace_back(ids[k], name(ids[k]));
    return roots;
}

void VolumeIndex::noteRootMountPoints(const std::vector<std::string>& roots) {
    for (const std::string& root : roots) {
        {
            std::lock_guard guard(lock_);
            if (rootMounts_.count(root)) continue;
        }
        const bool mounted = probeRoot(root).isMountPoint;
        std::lock_guard guard(lock_);
        rootMounts_.try_emplace(root, mounted);
    }
}

bool VolumeIndex::rootWasMountPoint(const std::string& root) const {
    std::lock_guard guard(lock_);
    const auto it = rootMounts_.find(root);
    return it != rootMounts_.end() && it->second;
}

void VolumeIndex::setRootProbeForTesting(RootProbe probe) {
    std::lock_guard guard(lock_);
    rootProbe_ = std::move(probe);
}

std::vector<std::string> VolumeIndex::missingRoots(
    const std::vector<std::pair<std::uint32_t, std::string>>& roots) const {
    RootProbe probe;
    {
        std::lock_guard guard(lock_);
        probe = rootProbe_;
    }
    std::vector<std::string> missing;
    for (const auto& [entry, path] : roots) {
        const RootState now = probe ? probe(path) : probeRoot(path);
        if (!rootPresent(now, rootWasMountPoint(path))) missing.push_back(path);
    }
    return missing;
}

std::vector<std::string> VolumeIndex::missingRoots() const { return missingRoots(rootEntries()); }

bool VolumeIndex::rootsPresent(const std::vector<std::pair<std::uint32_t, std::string>>& roots) const {
    return missingRoots(roots).empty();
}

}  // namespace quorvanta::core
