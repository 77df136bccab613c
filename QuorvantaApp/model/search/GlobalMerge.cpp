#include "QuorvantaApp/model/search/GlobalMerge.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/dispatch/ParallelFor.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>

namespace quorvanta::app {
namespace {

// A position's covered count and its bitmap of hits, side by side for the walk.
struct Volume {
    std::uint32_t k;
    std::uint64_t* words;
};

// Slices per thread of the parallel loop at the most: several, so that a thread held up by other
// work leaves its share to the others.
constexpr std::size_t kSlicesPerThread = 4;

// Appends to `found` the rows of `rows` whose bit is set, walking first to last, or last to first
// when `backwards`; reads the bitmaps only. One bit test per row; the loop reads its tables through
// local pointers, which keeps it to about half the time of the same test behind captured vectors.
// The rows are prefetched a fixed distance ahead in the walk's direction: the hardware alone keeps
// the row stream fed walking backwards, but walking forwards, with the bitmap words read in the
// same direction, it fell behind and the walk took about twice as long. Each direction has a loop
// of its own, so neither tests the direction per row.
template <bool back>
void walkRows(std::span<const Volume> volumes, std::span<const RowKey> rows, std::bool_constant<back>,
              std::vector<RowKey>& found) {
    const Volume* const vols = volumes.data();
    const std::size_t positions = volumes.size();
    const RowKey* const at = rows.data();
    const std::size_t count = rows.size();
    constexpr std::size_t ahead = 256;  // rows: 2 KiB, 32 cache lines
    for (std::size_t r = 0; r < count; ++r) {
        const std::size_t i = back ? count - 1 - r : r;
        if (r + ahead < count) __builtin_prefetch(at + (back ? i - ahead : i + ahead));
        const RowKey row = at[i];
        const std::uint32_t v = rowPosition(row);
        const std::uint32_t e = rowEntry(row);
        if (v >= positions || e >= vols[v].k) continue;  // only a damaged file names these
        if (vols[v].words[e / 64] & (std::uint64_t(1) << (e % 64))) found.push_back(row);
    }
}

}  // namespace

std::vector<RowKey> mergeGlobal(const GlobalOrder& order, std::span<const std::vector<std::uint32_t>> lists,
                                IndexList indexes, bool desc, std::size_t sliceRows) {
    const std::size_t n = lists.size();
    // Per position, the covered count and its bitmap of k / 64 + 1 words. The count is bounded by
    // what the index holds, so a damaged count cannot size a bitmap past the index's entries.
    std::vector<Volume> volumes(n);
    std::size_t words = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t stored = i < order.ks().size() ? order.ks()[i] : 0;
        volumes[i].k = static_cast<std::uint32_t>(std::min<std::uint64_t>(stored, indexes[i]->count()));
        words += volumes[i].k / 64 + 1;
    }
    std::vector<std::uint64_t> bits(words);
    std::uint64_t* next = bits.data();
    for (Volume& volume : volumes) {
        volume.words = next;
        next += volume.k / 64 + 1;
    }

    std::vector<RowKey> tail;  // hits on entries newer than the order
    std::size_t covered = 0;   // hits the rows may place; with none there is nothing to walk for
    for (std::size_t i = 0; i < n; ++i) {
        for (const std::uint32_t e : lists[i]) {
            if (e < volumes[i].k) {
                volumes[i].words[e / 64] |= std::uint64_t(1) << (e % 64);
                ++covered;
            } else {
                tail.push_back(rowKey(static_cast<std::uint32_t>(i), e));
            }
        }
    }

    // The rows are walked in slices, on the process's parallel loop when there are enough of them:
    // the walk reads every row and is bound by memory, so one thread alone was the bulk of a rare
    // search's time. Each slice only tests bits and keeps the rows that pass, in its walk order;
    // the slices' finds are then taken in walk order and each hit given once (a damaged file may
    // name a row twice), which is what a single walk would have given.
    std::vector<RowKey> main;
    if (covered > 0) {
        main.reserve(covered);
        order.withRows([&](std::span<const RowKey> rows) {
            const std::size_t count = rows.size();
            const std::size_t slices = std::clamp<std::size_t>(count / std::max<std::size_t>(sliceRows, 1), 1,
                                                               platform::parallelWidth() * kSlicesPerThread);
            std::vector<std::vector<RowKey>> found(slices);
            const auto walkSlice = [&](std::size_t s) {
                const std::size_t from = count * s / slices;
                const std::size_t to = count * (s + 1) / slices;
                if (desc)
                    walkRows(volumes, rows.subspan(from, to - from), std::true_type{}, found[s]);
                else
                    walkRows(volumes, rows.subspan(from, to - from), std::false_type{}, found[s]);
            };
            if (slices == 1)
                walkSlice(0);
            else
                platform::parallelFor(slices, walkSlice);
            for (std::size_t k = 0; k < slices; ++k) {
                for (const RowKey row : found[desc ? slices - 1 - k : k]) {
                    std::uint64_t& word = volumes[rowPosition(row)].words[rowEntry(row) / 64];
                    const std::uint64_t bit = std::uint64_t(1) << (rowEntry(row) % 64);
                    if (word & bit) {
                        main.push_back(row);
                        word &= ~bit;
                    }
                }
            }
        });
    }
    if (tail.empty()) return main;

    const auto nameLess = [indexes](RowKey a, RowKey b) {
        return indexes[rowPosition(a)]->less(rowEntry(a), *indexes[rowPosition(b)], rowEntry(b), core::SortKey::name);
    };
    std::stable_sort(tail.begin(), tail.end(), nameLess);
    if (desc) std::reverse(tail.begin(), tail.end());
    std::vector<RowKey> rows;
    rows.reserve(main.size() + tail.size());
    std::size_t m = 0;
    std::size_t t = 0;
    while (m < main.size() && t < tail.size()) {
        // Only a main row that comes strictly first goes before the tail row: ties give the tail.
        const bool mainFirst = desc ? nameLess(tail[t], main[m]) : nameLess(main[m], tail[t]);
        rows.push_back(mainFirst ? main[m++] : tail[t++]);
    }
    rows.insert(rows.end(), main.begin() + static_cast<std::ptrdiff_t>(m), main.end());
    rows.insert(rows.end(), tail.begin() + static_cast<std::ptrdiff_t>(t), tail.end());
    return rows;
}

}  // namespace quorvanta::app
