// The same-song stage of DuplicateFinder: files that hold one recording in different formats or
// encodings, matched by the song key of their tags or file name (SongKey.h) and split into runs
// of nearly equal duration. Byte-identical copies count as one unit, and so do paths that name
// one file, so that neither is reported again as "the same song".
#include "audio/dupes/DuplicateFinder.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "audio/dupes/FileHash.h"
#include "audio/dupes/SongKey.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <unordered_map>

namespace quorvanta::audio {

namespace {

constexpr std::size_t kCancelCheckEvery = 50'000;

struct Timed {
    DuplicateFinder::Cand c;
    std::uint32_t dur = 0;
};

}  // namespace

std::vector<DupGroup> DuplicateFinder::sameSongGroups(const CandList& candidates,
                                                      const std::vector<CandList>& identical,
                                                      const ProgressFn& progress) const {
    std::vector<std::shared_ptr<core::AudioTable>> tables;
    std::vector<std::shared_ptr<const core::AudioTable::Cols>> snapshots;
    for (const auto& volume : volumes_) {
        tables.push_back(volume->audio());
        snapshots.push_back(tables.back() ? tables.back()->snapshot() : nullptr);
    }

    // Keys in order of first appearance, each with its files and their durations.
    std::unordered_map<std::string, std::size_t> keySlot;
    std::vector<std::vector<Timed>> lists;
    for (std::size_t p = 0; p < candidates.size(); ++p) {
        if (p % kCancelCheckEvery == 0 && isCancelled()) return {};
        const Cand& c = candidates[p];
        const auto& cols = snapshots[static_cast<std::size_t>(c.vol)];
        if (!cols) continue;
        const auto row = core::AudioTable::row(c.entry, *cols);
        if (!row || cols->dur[*row] == 0) continue;
        const auto key = songKey(volumes_[static_cast<std::size_t>(c.vol)]->name(static_cast<std::uint32_t>(c.entry)),
                                 core::AudioTable::meta(*cols, *row));
        if (!key) continue;
        const auto [it, fresh] = keySlot.try_emplace(*key, lists.size());
        if (fresh) lists.emplace_back();
        lists[it->second].push_back({c, cols->dur[*row]});
    }

    std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> identicalGroupOf;
    for (std::size_t g = 0; g < identical.size(); ++g) {
        for (const Cand& c : identical[g]) identicalGroupOf[{c.vol, c.entry}] = static_cast<std::int64_t>(g);
    }

    std::vector<DupGroup> groups;
    // One cluster becomes at most one group: one member per unit, a unit being an identical
    // group or one file (however many paths reach it), and at least two units.
    auto flush = [&](const std::vector<Timed>& cluster) {
        if (cluster.size() < 2) return;
        struct Placed {
            const Timed* t;
            std::int64_t unit;
            FileIdentity identity;
        };
        std::vector<Placed> placed;
        for (const Timed& t : cluster) {
            struct stat st {};
            if (stat(path(t.c).c_str(), &st) != 0) continue;  // gone since it was indexed
            const auto group = identicalGroupOf.find({t.c.vol, t.c.entry});
            const std::int64_t unit =
                group != identicalGroupOf.end() ? group->second : -(t.c.entry + 1) - t.c.vol * 1'000'000'000;
            placed.push_back(
                {&t, unit, {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}});
        }
        // Paths naming one file share one unit: the identical group's when one of them is in
        // one, else the first path's own.
        std::map<std::pair<std::uint64_t, std::uint64_t>, std::int64_t> unitOfFile;
        for (const Placed& p : placed) {
            const auto [it, fresh] = unitOfFile.try_emplace({p.identity.device, p.identity.inode}, p.unit);
            if (!fresh && p.unit >= 0) it->second = p.unit;
        }
        for (Placed& p : placed) p.unit = unitOfFile.at({p.identity.device, p.identity.inode});
        std::vector<std::int64_t> units;
        DupGroup group;
        group.kind = DupKind::sameSong;
        for (const Placed& p : placed) {
            if (std::find(units.begin(), units.end(), p.unit) != units.end()) continue;
            units.push_back(p.unit);
            const Cand& c = p.t->c;
            const auto& table = tables[static_cast<std::size_t>(c.vol)];
            const core::VolumeIndex& volume = *volumes_[static_cast<std::size_t>(c.vol)];
            const auto entry = static_cast<std::uint32_t>(c.entry);
            group.members.push_back({c.vol, c.entry, volume.path(entry), c.size, volume.mtime(entry),
                                     table ? table->meta(c.entry) : std::nullopt});
        }
        if (group.members.size() < 2) return;
        group.keep = best(group.members);
        groups.push_back(std::move(group));
    };

    for (std::vector<Timed>& list : lists) {
        if (list.size() < 2) continue;
        std::stable_sort(list.begin(), list.end(), [](const Timed& x, const Timed& y) { return x.dur < y.dur; });
        std::vector<Timed> cluster{list.front()};
        for (std::size_t i = 1; i < list.size(); ++i) {
            if (list[i].dur - cluster.back().dur > options_.durationToleranceMs) {
                flush(cluster);
                cluster.clear();
            }
            cluster.push_back(list[i]);
        }
        flush(cluster);
    }
    const auto n = static_cast<std::int64_t>(candidates.size());
    notify(progress, {DupStage::sameSong, n, n, static_cast<std::int64_t>(groups.size())});
    return groups;
}

}  // namespace quorvanta::audio
