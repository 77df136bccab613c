// Volumes and reference orders for the cross-volume merge and global order tests. Random volumes
// draw their names from one small list with fold-equal spellings ("Café", "CAFÉ", "café"; "CAFE",
// "cafe"), so equal names occur within a volume and across volumes, and their sizes and times
// from small sets, so every key has ties. Some entries are flagged deleted. The references compare
// by each key's meaning (the numbers; for names the fold as the index keeps it) and place ties
// explicitly.
#pragma once

#include "QuorvantaApp/model/search/RowKey.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/QuorvantaCore/search/InMemoryIndex.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace quorvanta::app::test {

using core::SortKey;
using core::VolumeIndex;
using core::test::IndexEntry;
using Lists = std::vector<std::vector<std::uint32_t>>;
using Indexes = std::vector<std::shared_ptr<VolumeIndex>>;
using Rows = std::vector<RowKey>;

inline const std::vector<std::string> kNames = {"Café",  "CAFÉ",  "CAFE", "café",       "cafe",       "alpha",
                                                "Alpha", "beta",  "Ω",    "ω",          "résumé.txt", "RESUME.TXT",
                                                "z",     "a",     "A",    "abcdefghij", "abcdefghiJ", "abcdefghik",
                                                "ÉCOLE", "école", "Zeta"};
inline const std::vector<std::uint64_t> kSizes = {0, 10, 4096, std::uint64_t(1) << 40};
inline const std::vector<std::uint32_t> kTimes = {0, 1, 1700000000, 0xFFFFFFFFu};

template <class T>
const T& pickFrom(std::mt19937& rng, const std::vector<T>& from) {
    return from[rng() % from.size()];
}

// Appends `count` random entries below random folders (the root included) of the index, each
// folder's new children in one batch, with random creation times.
inline void appendRandom(VolumeIndex& index, std::mt19937& rng, std::size_t count) {
    std::vector<std::uint32_t> folders;
    for (std::uint32_t e = 0; e < index.count(); ++e)
        if (index.flags(e).contains(core::EntryFlags::dir)) folders.push_back(e);
    const std::uint32_t first = index.count();
    while (count > 0) {
        const std::uint32_t parent = pickFrom(rng, folders);
        const std::size_t batch = std::min<std::size_t>(count, 1 + rng() % 8);
        std::vector<IndexEntry> entries;
        std::set<std::string> siblings;
        while (entries.size() < batch) {
            IndexEntry e;
            e.name = pickFrom(rng, kNames);
            if (rng() % 3 == 0) e.name += std::to_string(rng() % 4);
            if (!siblings.insert(e.name).second) e.name += "#" + std::to_string(entries.size());
            e.parent = parent;
            e.flags =
                static_cast<std::uint8_t>((rng() % 4 == 0 ? FIDX_FOLDER : 0) | (rng() % 8 == 0 ? FIDX_DELETED : 0));
            e.size = pickFrom(rng, kSizes);
            e.mtime = pickFrom(rng, kTimes);
            entries.push_back(std::move(e));
        }
        const std::uint32_t base = index.count();
        core::test::appendEntries(index, entries);
        for (std::uint32_t i = 0; i < entries.size(); ++i)
            if (entries[i].flags & FIDX_FOLDER) folders.push_back(base + i);
        count -= batch;
    }
    for (std::uint32_t e = first; e < index.count(); ++e)
        fidx_set_meta(index.s(), e, index.size(e), index.mtime(e), pickFrom(rng, kTimes));
}

// A root and `entries` random entries below it.
inline std::shared_ptr<VolumeIndex> randomVolume(std::mt19937& rng, std::size_t entries) {
    auto index = core::test::buildIndex({{"/vol" + std::to_string(rng() % 100)}});
    appendRandom(*index, rng, entries);
    return index;
}

// Each entry that is not a root, with the given chance in percent, ascending.
inline std::vector<std::uint32_t> randomHits(const VolumeIndex& index, std::mt19937& rng, unsigned percent) {
    std::vector<std::uint32_t> hits;
    for (std::uint32_t e = 0; e < index.count(); ++e)
        if (!index.flags(e).contains(core::EntryFlags::root) && rng() % 100 < percent) hits.push_back(e);
    return hits;
}

// The name as the index compares it: its fold, padded with 0x01 bytes to the name's own length
// (so "café" and "CAFÉ" are equal, "CAFE" comes before them).
inline std::string foldOf(const VolumeIndex& index, std::uint32_t e) {
    const std::string name = index.name(e);
    std::string folded = VolumeIndex::fold(name);
    folded.resize(name.size(), '\x01');
    return folded;
}

// Whether entry i of a comes strictly before entry j of b by the meaning of the key (not path).
inline bool keyLess(const VolumeIndex& a, std::uint32_t i, const VolumeIndex& b, std::uint32_t j, SortKey key) {
    switch (key) {
        case SortKey::size:
            return a.size(i) < b.size(j);
        case SortKey::date:
            return a.mtime(i) < b.mtime(j);
        case SortKey::created:
            return a.ctime(i) < b.ctime(j);
        case SortKey::name:
        case SortKey::path:
            break;
    }
    return foldOf(a, i) < foldOf(b, j);
}

// Every row of the lists, position by position, each list in its own order.
inline Rows joined(const Lists& lists, bool lastFirst) {
    Rows rows;
    for (std::size_t n = 0; n < lists.size(); ++n) {
        const std::size_t i = lastFirst ? lists.size() - 1 - n : n;
        for (const std::uint32_t e : lists[i]) rows.push_back(rowKey(static_cast<std::uint32_t>(i), e));
    }
    return rows;
}

// The rows sorted by the fold of their names, ascending or descending, the rows of one name by
// their rank (lower first).
template <class Rank>
Rows byNameThen(Rows rows, const Indexes& indexes, bool desc, Rank rank) {
    const auto fold = [&](RowKey r) { return foldOf(*indexes[rowPosition(r)], rowEntry(r)); };
    std::stable_sort(rows.begin(), rows.end(), [&](RowKey a, RowKey b) {
        const std::string fa = fold(a);
        const std::string fb = fold(b);
        if (fa != fb) return desc ? fb < fa : fa < fb;
        return rank(a) < rank(b);
    });
    return rows;
}

}  // namespace quorvanta::app::test
