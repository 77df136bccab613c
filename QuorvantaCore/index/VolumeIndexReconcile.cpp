// Reconcile by folder modification time: a parallel check of every indexed folder's time
// against the disk, then one refresh of the roots, the changed folders and the parents of
// vanished ones. The check runs outside the refresh lock; only the refresh waits for others.
#include "QuorvantaCore/index/FolderPaths.h"
#include "QuorvantaCore/index/Reconcile.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/index_engine/FolderReader.h"
#include "platform/dispatch/ParallelFor.h"
#include "platform/fs/PathText.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace quorvanta::core {

ReconcileChunks reconcileChunks(std::size_t folders, int threads) {
    const std::size_t t = static_cast<std::size_t>(std::max(threads, 1));
    const std::size_t size = std::max<std::size_t>(folders / (4 * t), 255) + 1;
    return {size, (folders + size - 1) / size};
}

RefreshStats VolumeIndex::reconcileByFolderMtime(int threads, std::set<std::string>* listed) {
    const std::vector<FolderPath> folders = liveFolderPaths(*this, false);

    const ReconcileChunks chunks = reconcileChunks(folders.size(), threads);
    const std::unique_ptr<bool[]> changed(new bool[folders.size()]());
    const std::unique_ptr<bool[]> gone(new bool[folders.size()]());
    platform::parallelFor(chunks.count, [&](std::size_t k) {
        const std::size_t end = std::min((k + 1) * chunks.size, folders.size());
        for (std::size_t j = k * chunks.size; j < end; ++j) {
            index_engine::EntryTimes now;
            if (index_engine::statTimes(folders[j].path.c_str(), now))
                changed[j] = now.mtime != mtime(folders[j].entry);
            else if (errno == ENOENT || errno == ENOTDIR)
                gone[j] = true;
        }
    });

    std::set<std::string> targets;
    for (auto& [entry, root] : rootEntries()) targets.insert(std::move(root));
    for (std::size_t j = 0; j < folders.size(); ++j) {
        if (changed[j]) targets.insert(folders[j].path);
        if (gone[j]) targets.insert(platform::parentPath(folders[j].path));
    }
    if (listed) *listed = targets;
    return refresh(targets, {}, std::max(threads, 1));
}

}  // namespace quorvanta::core
