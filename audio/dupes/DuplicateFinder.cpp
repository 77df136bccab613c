#include "audio/dupes/DuplicateFinder.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "audio/dupes/FileHash.h"
#include "platform/dispatch/ParallelPull.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace quorvanta::audio {

namespace {

// Flags that keep an entry out. Hidden files and links stay.
constexpr std::uint8_t kNotCandidate =
    (core::EntryFlags::dir | core::EntryFlags::junk | core::EntryFlags::root | core::EntryFlags::deleted).rawValue;

// Splits the positions [begin, end) by the digest digestAt(position) gives; positions without one
// drop out. Each sub-list keeps position order; sub-lists come in the order of their first
// position, and only those of two or more positions are kept.
template <class DigestAt>
std::vector<std::vector<std::size_t>> splitByDigest(std::size_t begin, std::size_t end, const DigestAt& digestAt) {
    std::unordered_map<Digest128, std::size_t> slot;
    std::vector<std::vector<std::size_t>> lists;
    for (std::size_t pos = begin; pos < end; ++pos) {
        const std::optional<Digest128> digest = digestAt(pos);
        if (!digest) continue;
        const auto [it, fresh] = slot.try_emplace(*digest, lists.size());
        if (fresh) lists.emplace_back();
        lists[it->second].push_back(pos);
    }
    std::erase_if(lists, [](const auto& list) { return list.size() < 2; });
    return lists;
}

}  // namespace

DuplicateFinder::DuplicateFinder(std::vector<std::shared_ptr<core::VolumeIndex>> volumes, Options options)
    : volumes_(std::move(volumes)), options_(std::move(options)) {}

void DuplicateFinder::cancel() { cancelled_.cancel(); }

bool DuplicateFinder::isCancelled() const { return cancelled_.isCancelled(); }

std::string DuplicateFinder::path(const Cand& c) const {
    return volumes_[static_cast<std::size_t>(c.vol)]->path(static_cast<std::uint32_t>(c.entry));
}

std::vector<DupGroup> DuplicateFinder::run(const ProgressFn& progress) {
    const ProgressFn report = [&](const Progress& p) { notify(progress, p); };
    const CandList all = candidates();
    const std::vector<CandList> buckets = sizeStage(all, report);
    // Without either hash stage nothing can be proven identical, so neither is worth its reads.
    if (isCancelled() || !enabled(DupStage::quickHash) || !enabled(DupStage::fullHash)) return {};
    const std::vector<QuickGroup> quickGroups = quickHashStage(buckets, report);
    if (isCancelled()) return {};
    const std::vector<CandList> settled = fullHashStage(quickGroups, report);
    std::vector<DupGroup> groups = identicalGroups(settled);
    if (!isCancelled() && enabled(DupStage::sameSong)) {
        std::vector<DupGroup> songs = sameSongGroups(all, settled, report);
        if (enabled(DupStage::fingerprint)) songs = confirmWithFingerprints(std::move(songs), report);
        std::int64_t id = static_cast<std::int64_t>(groups.size());
        for (DupGroup& group : songs) {
            group.id = ++id;
            groups.push_back(std::move(group));
        }
    }
    finalOrder(groups);
    return groups;
}

DuplicateFinder::CandList DuplicateFinder::candidates() const {
    const std::set<std::string> unique(options_.extensions.begin(), options_.extensions.end());
    const std::vector<std::string> extensions(unique.begin(), unique.end());
    CandList out;
    std::vector<bool> mask;
    for (std::size_t v = 0; v < volumes_.size(); ++v) {
        const core::VolumeIndex& volume = *volumes_[v];
        const std::uint32_t count = volume.count();
        if (count == 0) continue;
        mask.assign(65536, false);
        for (const std::uint16_t id : volume.extIDs(extensions)) mask[id] = true;
        for (std::uint32_t i = 0; i < count; ++i) {
            if ((volume.flags(i).rawValue & kNotCandidate) != 0 || !mask[volume.extID(i)]) continue;
            const std::uint64_t size = volume.size(i);
            if (size >= options_.minSize) out.push_back({static_cast<std::int64_t>(v), i, size});
        }
    }
    return out;
}

std::vector<DuplicateFinder::CandList> DuplicateFinder::sizeStage(const CandList& candidates,
                                                                  const ProgressFn& progress) const {
    // Sorting by size (stably, so candidate order holds inside a bucket) finds the buckets
    // without a table entry or a list per distinct size; the buckets come smallest size first.
    CandList sorted = candidates;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Cand& x, const Cand& y) { return x.size < y.size; });
    std::vector<CandList> buckets;
    for (auto begin = sorted.begin(); begin != sorted.end();) {
        const auto end = std::find_if(begin, sorted.end(), [&](const Cand& c) { return c.size != begin->size; });
        if (end - begin > 1) buckets.emplace_back(begin, end);
        begin = end;
    }
    const auto n = static_cast<std::int64_t>(candidates.size());
    progress({DupStage::size, n, n, static_cast<std::int64_t>(buckets.size())});
    return buckets;
}

std::vector<DuplicateFinder::QuickGroup> DuplicateFinder::quickHashStage(const std::vector<CandList>& buckets,
                                                                         const ProgressFn& progress) const {
    CandList flat;
    for (const CandList& bucket : buckets) flat.insert(flat.end(), bucket.begin(), bucket.end());
    const auto t = static_cast<std::int64_t>(flat.size());
    const auto b = static_cast<std::int64_t>(buckets.size());
    const auto results = parallelMap<Cand, QuickHash>(
        flat,
        [&](std::int64_t done) {
            progress({DupStage::quickHash, done, t, b});
        },
        [&](const Cand& c) { return FileHash::quick(path(c), c.size); });

    std::vector<QuickGroup> groups;
    std::size_t begin = 0;
    for (const CandList& bucket : buckets) {
        const std::size_t end = begin + bucket.size();
        const auto lists = splitByDigest(begin, end, [&](std::size_t pos) -> std::optional<Digest128> {
            if (!results[pos]) return std::nullopt;
            return results[pos]->digest;
        });
        for (const auto& list : lists) {
            // Paths naming one file (hardlinks, overlapping roots) count once: the first stays.
            QuickGroup group;
            std::vector<FileIdentity> seen;
            for (const std::size_t pos : list) {
                const FileIdentity identity = results[pos]->identity;
                if (std::find(seen.begin(), seen.end(), identity) != seen.end()) continue;
                seen.push_back(identity);
                group.members.push_back(flat[pos]);
            }
            if (group.members.size() < 2) continue;
            group.whole = results[list.front()]->whole;  // equal sizes: all whole or none
            groups.push_back(std::move(group));
        }
        begin = end;
    }
    progress({DupStage::quickHash, t, t, static_cast<std::int64_t>(groups.size())});
    return groups;
}

std::vector<DuplicateFinder::CandList> DuplicateFinder::fullHashStage(const std::vector<QuickGroup>& quickGroups,
                                                                      const ProgressFn& progress) const {
    std::vector<CandList> settled;
    std::vector<const QuickGroup*> open;
    CandList flat;
    for (const QuickGroup& group : quickGroups) {
        if (group.whole) {
            settled.push_back(group.members);
        } else {
            open.push_back(&group);
            flat.insert(flat.end(), group.members.begin(), group.members.end());
        }
    }
    const auto k = static_cast<std::int64_t>(flat.size());
    const auto s = static_cast<std::int64_t>(settled.size());
    const std::function<bool()> cancelled = [this] { return isCancelled(); };
    const auto results = parallelMap<Cand, Digest128>(
        flat,
        [&](std::int64_t done) {
            progress({DupStage::fullHash, done, k, s});
        },
        [&](const Cand& c) { return FileHash::full(path(c), c.size, cancelled); });

    std::size_t begin = 0;
    for (const QuickGroup* group : open) {
        const std::size_t end = begin + group->members.size();
        for (const auto& list : splitByDigest(begin, end, [&](std::size_t pos) { return results[pos]; })) {
            CandList members;
            for (const std::size_t pos : list) members.push_back(flat[pos]);
            settled.push_back(std::move(members));
        }
        begin = end;
    }
    progress({DupStage::fullHash, k, k, static_cast<std::int64_t>(settled.size())});
    return settled;
}

std::vector<DupGroup> DuplicateFinder::identicalGroups(const std::vector<CandList>& settled) const {
    std::vector<std::shared_ptr<core::AudioTable>> tables;
    for (const auto& volume : volumes_) tables.push_back(volume->audio());
    std::vector<DupGroup> groups;
    for (std::size_t i = 0; i < settled.size(); ++i) {
        DupGroup group;
        group.id = static_cast<std::int64_t>(i) + 1;
        group.kind = DupKind::identical;
        for (const Cand& c : settled[i]) {
            const core::VolumeIndex& volume = *volumes_[static_cast<std::size_t>(c.vol)];
            const auto& table = tables[static_cast<std::size_t>(c.vol)];
            const auto entry = static_cast<std::uint32_t>(c.entry);
            group.members.push_back({c.vol, c.entry, volume.path(entry), c.size, volume.mtime(entry),
                                     table ? table->meta(c.entry) : std::nullopt});
        }
        group.keep = best(group.members);
        groups.push_back(std::move(group));
    }
    return groups;
}

void DuplicateFinder::finalOrder(std::vector<DupGroup>& groups) {
    std::stable_sort(groups.begin(), groups.end(), [](const DupGroup& x, const DupGroup& y) {
        const std::uint64_t sx = x.surplusBytes();
        const std::uint64_t sy = y.surplusBytes();
        if (sx != sy) return sx > sy;
        return x.id < y.id;
    });
}

void DuplicateFinder::pull(std::size_t count, const std::function<void(std::int64_t)>& tick,
                           const std::function<void(std::size_t)>& work) const {
    std::mutex mutex;
    std::size_t done = 0;  // mutex
    const auto workers = static_cast<std::size_t>(std::max<std::int64_t>(options_.threads, 1));
    platform::parallelPull(count, workers, 1, cancelled_, [&](std::size_t i) {
        work(i);
        std::lock_guard guard(mutex);
        ++done;
        if ((done == count || done % 64 == 0) && tick) tick(static_cast<std::int64_t>(done));
    });
}

}  // namespace quorvanta::audio
