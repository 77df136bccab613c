#include "QuorvantaCore/index/FolderPaths.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/fs/PathText.h"

namespace quorvanta::core {

std::vector<FolderPath> liveFolderPaths(const VolumeIndex& index, bool withRoots) {
    const fidx* h = index.s();
    const std::uint32_t n = index.count();
    std::vector<FolderPath> out;
    // Slot in `out` of each folder entry seen, so a child's path starts from its parent's.
    std::vector<std::uint32_t> slotOf(n, 0xFFFFFFFFu);
    std::vector<std::string> rootPaths;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t f = index.flags(i).rawValue;
        if ((f & (FIDX_FOLDER | FIDX_DELETED)) != FIDX_FOLDER) continue;
        std::string full;
        const std::uint32_t p = h->parent[i];
        if (f & FIDX_ROOT) {
            full = index.name(i);
        } else if (p < n && slotOf[p] != 0xFFFFFFFFu) {
            full = platform::joinPath(out[slotOf[p]].path, reinterpret_cast<const char*>(h->names + h->name_off[i]));
        } else {
            full = index.path(i);
        }
        slotOf[i] = static_cast<std::uint32_t>(out.size());
        out.push_back({i, std::move(full)});
    }
    if (!withRoots)
        std::erase_if(out, [&](const FolderPath& fp) { return index.flags(fp.entry).contains(EntryFlags::root); });
    return out;
}

}  // namespace quorvanta::core
