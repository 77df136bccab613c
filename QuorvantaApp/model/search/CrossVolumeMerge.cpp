#include "QuorvantaApp/model/search/CrossVolumeMerge.h"

#include "QuorvantaCore/index/VolumeIndex.h"

#include <cstddef>

namespace quorvanta::app {
namespace {

// The unread part of one position's list.
struct Cursor {
    const std::uint32_t* at;
    const std::uint32_t* end;
    std::uint32_t position;
    const core::VolumeIndex* index;
};

}  // namespace

void mergeOrdered(std::vector<RowKey>& out, std::span<const std::span<const std::uint32_t>> lists, IndexList indexes,
                  core::SortKey key, bool desc) {
    std::vector<Cursor> live;  // the lists with unread entries, positions ascending
    for (std::size_t i = 0; i < lists.size(); ++i)
        if (!lists[i].empty())
            live.push_back(
                {lists[i].data(), lists[i].data() + lists[i].size(), static_cast<std::uint32_t>(i), indexes[i].get()});
    while (live.size() > 1) {
        std::size_t best = 0;
        for (std::size_t c = 1; c < live.size(); ++c) {
            const Cursor& b = live[best];
            const Cursor& x = live[c];
            const bool first =
                desc ? b.index->less(*b.at, *x.index, *x.at, key) : x.index->less(*x.at, *b.index, *b.at, key);
            if (first) best = c;
        }
        Cursor& won = live[best];
        out.push_back(rowKey(won.position, *won.at));
        if (++won.at == won.end) live.erase(live.begin() + static_cast<std::ptrdiff_t>(best));
    }
    // The last list needs no comparisons.
    for (const Cursor& rest : live)
        for (const std::uint32_t* e = rest.at; e != rest.end; ++e) out.push_back(rowKey(rest.position, *e));
}

std::vector<RowKey> merge(std::span<const std::vector<std::uint32_t>> lists, IndexList indexes, core::SortKey key,
                          bool desc, bool sorted) {
    std::size_t total = 0;
    std::size_t nonEmpty = 0;
    for (const std::vector<std::uint32_t>& list : lists) {
        total += list.size();
        nonEmpty += !list.empty();
    }
    std::vector<RowKey> rows;
    rows.reserve(total);
    if (nonEmpty >= 2 && sorted && key != core::SortKey::path) {
        std::vector<std::span<const std::uint32_t>> views(lists.begin(), lists.end());
        mergeOrdered(rows, views, indexes, key, desc);
        return rows;
    }
    const bool reversed = desc && sorted && key == core::SortKey::path;
    for (std::size_t n = 0; n < lists.size(); ++n) {
        const std::size_t i = reversed ? lists.size() - 1 - n : n;
        for (const std::uint32_t e : lists[i]) rows.push_back(rowKey(static_cast<std::uint32_t>(i), e));
    }
    return rows;
}

}  // namespace quorvanta::app
