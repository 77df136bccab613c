// Sort orders of a volume index: the five keys results are shown by, the permutation of entry
// indexes that a VolumeIndex keeps per key, the drift rule that says when one is too stale to
// use, and the order of entries under each key.
//
// Every key is a strict total order on the entries of one index (ties are broken by entry
// index), so any correct sort of a set of entries gives the one right answer.
//
// Threads: the functions here only read the engine arrays below the count they are given; the
// columns that in-place updates rewrite (size and times) are read with relaxed atomic loads.
// Names never change once published, so the name and path orders of published entries never
// change either. A `Perm` is immutable and may be shared between threads.
#pragma once

#include "QuorvantaCore/index_engine/fidx.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quorvanta::core {

// The raw values are "name", "path", "size", "date", "created"; this is also the order of the
// snapshot's permutation sections.
enum class SortKey : std::uint8_t { name, path, size, date, created };

inline constexpr std::array<SortKey, 5> allSortKeys = {SortKey::name, SortKey::path, SortKey::size, SortKey::date,
                                                       SortKey::created};

std::string_view rawValue(SortKey key);
// None for any text that is not one of the five raw values.
std::optional<SortKey> sortKeyFromRaw(std::string_view text);

// A read-only permutation of entry indexes over one contiguous buffer. `release` runs with the
// buffer when the Perm goes away (a built one frees it, one mapped from a snapshot unmaps it).
class Perm {
public:
    using Release = std::function<void(const std::uint32_t* base, std::size_t count)>;

    Perm(const std::uint32_t* base, std::size_t count, Release release);
    Perm(const Perm&) = delete;
    Perm& operator=(const Perm&) = delete;
    ~Perm();

    // A Perm owning `ids`.
    static std::shared_ptr<const Perm> owning(std::vector<std::uint32_t> ids);

    const std::uint32_t* base() const { return base_; }
    std::size_t count() const { return count_; }
    std::uint32_t operator[](std::size_t i) const { return base_[i]; }
    const std::uint32_t* begin() const { return base_; }
    const std::uint32_t* end() const { return base_ + count_; }

private:
    const std::uint32_t* base_;
    std::size_t count_;
    Release release_;
};

using PermRef = std::shared_ptr<const Perm>;

// One key's permutation as the index keeps it.
struct PermEntry {
    std::uint32_t count = 0;  // entries when it was built; entries from here on are not in it
    PermRef perm;
    // Bits of the entries below `count` whose value for the key changed since the build. It may
    // be shorter than count / 64 + 1 words: missing words read as 0.
    std::vector<std::uint64_t> moved;
    std::uint32_t movedCount = 0;  // bits set in `moved`
};

// The drift a permutation may have and still be used, for an index of `entries` entries:
// 20,000 below 160,000 entries, else entries / 8.
std::uint32_t driftBound(std::uint32_t entries);
// Whether a permutation covering `covered` entries with `movedCount` moved ones is still usable
// for an index of `entries` entries: drift = (entries - covered) + movedCount within the bound.
// A covered count above the entry count (a damaged snapshot) is never usable.
bool withinDrift(std::uint32_t entries, std::uint32_t covered, std::uint32_t movedCount);

// Whether bit `id` is set; ids past the words given read as 0.
inline bool testBit(std::span<const std::uint64_t> bits, std::uint32_t id) {
    const std::size_t word = id >> 6;
    return word < bits.size() && (bits[word] >> (id & 63) & 1) != 0;
}

namespace sortorder {

// Whether entry a comes before entry b under the key (a != b, both below the published count).
// For `path` this builds both ancestor chains; it serves single comparisons, not sorts.
bool before(const fidx* h, SortKey key, std::uint32_t a, std::uint32_t b);

// Whether entry i of index a sorts strictly before entry j of index b, without tie-break:
// folded names for `name` and `path` (leaf names only), else the key's value.
bool lessAcross(const fidx* a, std::uint32_t i, const fidx* b, std::uint32_t j, SortKey key);

// Sorts `ids` (entries below the published count) into the key's order, each entry once.
void sortEntries(const fidx* h, SortKey key, std::vector<std::uint32_t>& ids);

// The key's permutation of the first n entries: every entry below n without the root flag,
// deleted ones included, in the key's order.
std::vector<std::uint32_t> buildPermutation(const fidx* h, SortKey key, std::uint32_t n);

// The hits below n, each once, sorted by the key (reversed when descending), the first `limit`.
std::vector<std::uint32_t> sortedHits(const fidx* h, SortKey key, std::span<const std::uint32_t> hits, std::uint32_t n,
                                      bool descending, std::size_t limit);

// The same list through a permutation: the hits below the covered count and not moved are
// picked out by a walk of the permutation (ids of it outside the covered entries are skipped),
// the others (newer or moved entries) are sorted apart and merged in. Hits at or above n are
// left out, and each hit is given once.
std::vector<std::uint32_t> orderedBy(const fidx* h, SortKey key, const PermEntry& entry,
                                     std::span<const std::uint32_t> hits, std::uint32_t n, bool descending,
                                     std::size_t limit);

}  // namespace sortorder

}  // namespace quorvanta::core
