// The file stat pass: every live entry that is not a folder, grouped by its folder, is read
// with one statx against the open folder; the changes found are written in one step under the
// refresh lock, so they never interleave with a refresh's own rewrites.
#include "QuorvantaCore/index/FolderPaths.h"
#include "QuorvantaCore/index/Reconcile.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/index_engine/FolderReader.h"
#include "platform/dispatch/ParallelFor.h"
#include "platform/thread/Relaxed.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace quorvanta::core {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct Change {
    std::uint32_t entry = 0;
    index_engine::EntryMeta meta;
};

}  // namespace

FileStatStats VolumeIndex::statFilesInPlace(int threads, const std::set<std::string>& skipFolders) {
    FileStatStats out;
    if (!missingRoots().empty()) {
        out.rootMissing = true;
        return out;
    }
    fidx* const h = s_.get();
    const std::vector<FolderPath> folders = liveFolderPaths(*this, true);
    const std::uint32_t n = count();

    // The entries of each folder, by a counting sort on the folder's slot.
    std::vector<std::uint32_t> slotOf(n, kNone);
    for (std::size_t k = 0; k < folders.size(); ++k)
        if (!skipFolders.contains(folders[k].path)) slotOf[folders[k].entry] = static_cast<std::uint32_t>(k);
    std::vector<std::uint32_t> start(folders.size() + 1, 0);
    const auto owner = [&](std::uint32_t i) {
        const std::uint8_t f = platform::relaxed(h->flags[i]);
        if (f & (FIDX_FOLDER | FIDX_DELETED | FIDX_ROOT)) return kNone;
        const std::uint32_t p = h->parent[i];
        return p < n ? slotOf[p] : kNone;
    };
    std::int64_t considered = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t f = platform::relaxed(h->flags[i]);
        if (f & (FIDX_FOLDER | FIDX_DELETED | FIDX_ROOT)) continue;
        ++considered;
        if (const std::uint32_t slot = owner(i); slot != kNone) ++start[slot + 1];
    }
    for (std::size_t k = 0; k < folders.size(); ++k) start[k + 1] += start[k];
    std::vector<std::uint32_t> members(start.back());
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::uint32_t i = 0; i < n; ++i)
            if (const std::uint32_t slot = owner(i); slot != kNone) members[fill[slot]++] = i;
    }
    out.skipped = considered - static_cast<std::int64_t>(members.size());

    const ReconcileChunks chunks = reconcileChunks(folders.size(), threads);
    std::vector<std::vector<Change>> changes(chunks.count);
    std::atomic<std::int64_t> checked{0};
    platform::parallelFor(chunks.count, [&](std::size_t c) {
        const std::size_t end = std::min((c + 1) * chunks.size, folders.size());
        std::int64_t read = 0;
        for (std::size_t k = c * chunks.size; k < end; ++k) {
            if (start[k] == start[k + 1]) continue;
            // A root is opened as the scan opened it, through a link if it was given as one.
            const bool isRoot = flags(folders[k].entry).contains(EntryFlags::root);
            const int fd = index_engine::openFolder(folders[k].path.c_str(), isRoot);
            if (fd < 0) continue;
            for (std::uint32_t m = start[k]; m < start[k + 1]; ++m) {
                const std::uint32_t i = members[m];
                index_engine::EntryMeta now;
                if (!index_engine::statEntry(fd, name(i).c_str(), now)) continue;
                ++read;
                const std::uint8_t f = platform::relaxed(h->flags[i]);
                if ((f & (FIDX_FOLDER | FIDX_SYMLINK)) != now.kindFlags) continue;
                if (now.size != size(i) || now.times.mtime != mtime(i) || now.times.ctime != ctime(i))
                    changes[c].push_back({i, now});
            }
            close(fd);
        }
        checked += read;
    });
    out.checked = checked.load();

    std::vector<std::uint32_t> movedSize, movedDate, movedCreated;
    {
        std::lock_guard serial(refreshLock_);
        for (const auto& chunk : changes)
            for (const Change& change : chunk) {
                const std::uint32_t i = change.entry;
                if (platform::relaxed(h->flags[i]) & FIDX_DELETED) continue;  // a refresh removed it meanwhile
                const bool sizeChanged = change.meta.size != size(i);
                const bool dateChanged = change.meta.times.mtime != mtime(i);
                const bool createdChanged = change.meta.times.ctime != ctime(i);
                if (!sizeChanged && !dateChanged && !createdChanged) continue;
                fidx_set_meta(h, i, change.meta.size, change.meta.times.mtime, change.meta.times.ctime);
                ++out.updated;
                if (sizeChanged) movedSize.push_back(i);
                if (dateChanged) movedDate.push_back(i);
                if (createdChanged) movedCreated.push_back(i);
            }
        if (out.updated > 0) {
            std::lock_guard guard(lock_);
            ++mutations_;
        }
    }
    markMoved(SortKey::size, movedSize);
    markMoved(SortKey::date, movedDate);
    markMoved(SortKey::created, movedCreated);
    return out;
}

}  // namespace quorvanta::core
