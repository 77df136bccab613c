#include "QuorvantaCore/index/SortOrders.h"

#include "platform/thread/Relaxed.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvanta::core {
namespace {

constexpr std::array<std::string_view, 5> kRawValues = {"name", "path", "size", "date", "created"};

using platform::relaxed;

const char* folded(const fidx* h, std::uint32_t e) { return reinterpret_cast<const char*>(h->folded + h->name_off[e]); }

// Folded names byte-wise (strcmp compares as unsigned char), equal names by entry index.
bool nameBefore(const fidx* h, std::uint32_t a, std::uint32_t b) {
    const int c = std::strcmp(folded(h, a), folded(h, b));
    return c != 0 ? c < 0 : a < b;
}

// One entry with its key value read once, so that a sort never sees a value change under it.
// For `name` the value is eight bytes of the folded name, big-endian, zero from the NUL on.
struct Item {
    std::uint64_t value;
    std::uint32_t id;
};

bool byValueThenId(const Item& a, const Item& b) { return a.value != b.value ? a.value < b.value : a.id < b.id; }

// Bytes depth..depth+7 of e's folded name; the name must not end before `depth`.
std::uint64_t nameBytes(const fidx* h, std::uint32_t e, std::size_t depth) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(folded(h, e)) + depth;
    std::uint64_t p = 0;
    for (int i = 0; i < 8; ++i) {
        if (s[i] == 0) return i == 0 ? 0 : p << (8 * (8 - i));
        p = p << 8 | s[i];
    }
    return p;
}

std::uint64_t valueOf(const fidx* h, SortKey key, std::uint32_t e) {
    switch (key) {
        case SortKey::size:
            return relaxed(h->size[e]);
        case SortKey::date:
            return relaxed(h->mtime[e]);
        case SortKey::created:
            return relaxed(h->ctime[e]);
        case SortKey::name:
        case SortKey::path:
            break;
    }
    return nameBytes(h, e, 0);
}

// Sorts items whose values hold bytes depth..depth+7 of their names: by those bytes, then each
// run of equal bytes that does not end the names again by the next eight. Every name is read
// once per level instead of once per comparison.
void sortNameItems(const fidx* h, Item* first, Item* last, std::size_t depth) {
    std::sort(first, last, byValueThenId);
    for (Item* run = first; run != last;) {
        Item* end = run + 1;
        while (end != last && end->value == run->value) ++end;
        if (end - run > 1 && (run->value & 0xFF) != 0) {
            for (Item* it = run; it != end; ++it) it->value = nameBytes(h, it->id, depth + 8);
            sortNameItems(h, run, end, depth + 8);
        }
        run = end;
    }
}

// A stable least-significant-digit radix sort of words by their bytes `firstByte` up to 7, a
// byte a pass; a pass whose byte is the same for every word is skipped.
void radixSort(std::vector<std::uint64_t>& v, int firstByte) {
    std::array<std::array<std::size_t, 256>, 8> counts{};
    for (const std::uint64_t x : v)
        for (int b = firstByte; b < 8; ++b) ++counts[b][x >> (8 * b) & 0xFF];
    std::vector<std::uint64_t> buffer;
    for (int b = firstByte; b < 8; ++b) {
        std::array<std::size_t, 256>& count = counts[b];
        if (v.empty() || count[v.front() >> (8 * b) & 0xFF] == v.size()) continue;
        std::size_t at = 0;
        for (std::size_t& c : count) at += std::exchange(c, at);
        buffer.resize(v.size());
        for (const std::uint64_t x : v) buffer[count[x >> (8 * b) & 0xFF]++] = x;
        v.swap(buffer);
    }
}

// Below this many entries a comparison sort beats the radix passes.
constexpr std::size_t kRadixFrom = 1 << 14;

// Sorts distinct entries, ascending, into the key's order.
void sortAscendingIds(const fidx* h, SortKey key, std::vector<std::uint32_t>& ids) {
    if (key == SortKey::date || key == SortKey::created) {
        // (time, id) packed into one word: ids come ascending, so a stable sort by the time
        // alone leaves ties in index order.
        std::vector<std::uint64_t> packed(ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i) packed[i] = valueOf(h, key, ids[i]) << 32 | ids[i];
        if (packed.size() >= kRadixFrom)
            radixSort(packed, 4);
        else
            std::sort(packed.begin(), packed.end());
        for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<std::uint32_t>(packed[i]);
        return;
    }
    std::vector<Item> items(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) items[i] = Item{valueOf(h, key, ids[i]), ids[i]};
    if (key == SortKey::name)
        sortNameItems(h, items.data(), items.data() + items.size(), 0);
    else
        std::sort(items.begin(), items.end(), byValueThenId);
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = items[i].id;
}

// The chain of ancestors of e, its root (an entry without a published parent) first, e last.
// At most `n` parents are followed, so a damaged index cannot make it loop.
std::vector<std::uint32_t> chainOf(const fidx* h, std::uint32_t e, std::uint32_t n) {
    std::vector<std::uint32_t> chain{e};
    for (std::uint32_t p = h->parent[e]; p != FIDX_NONE && p < n && chain.size() <= n; p = h->parent[p])
        chain.push_back(p);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

// Tree order of two chains: an ancestor before its descendants, else the first differing
// elements by name.
bool chainBefore(const fidx* h, std::span<const std::uint32_t> a, std::span<const std::uint32_t> b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i)
        if (a[i] != b[i]) return nameBefore(h, a[i], b[i]);
    return a.size() < b.size();
}

// Sorts distinct entries into tree order.
void sortByPath(const fidx* h, std::vector<std::uint32_t>& ids) {
    const std::uint32_t n = fidx_count(h);
    std::vector<std::uint32_t> flat;  // every chain back to back
    std::vector<std::size_t> start(ids.size() + 1);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::vector<std::uint32_t> chain = chainOf(h, ids[i], n);
        flat.insert(flat.end(), chain.begin(), chain.end());
        start[i + 1] = flat.size();
    }
    auto chain = [&](std::size_t i) {
        return std::span<const std::uint32_t>(flat).subspan(start[i], start[i + 1] - start[i]);
    };
    std::vector<std::size_t> order(ids.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return chainBefore(h, chain(a), chain(b)); });
    std::vector<std::uint32_t> sorted(ids.size());
    for (std::size_t i = 0; i < order.size(); ++i) sorted[i] = ids[order[i]];
    ids = std::move(sorted);
}

// Tree order of the first n entries: child lists in index order, each sorted by name, walked
// depth-first with every folder directly before its contents. The top level (entries without a
// parent below n, the roots) is sorted by name too, so that the walk agrees with `chainBefore`
// across several roots. Root entries are walked but not listed.
std::vector<std::uint32_t> buildTreeOrder(const fidx* h, std::uint32_t n) {
    // end[p] ends up as the end of p's children in `children`; p's children start at end[p - 1].
    std::vector<std::uint32_t> end(std::size_t(n) + 1, 0);
    std::vector<std::uint32_t> tops;
    for (std::uint32_t e = 0; e < n; ++e) {
        const std::uint32_t p = h->parent[e];
        if (p == FIDX_NONE || p >= n)
            tops.push_back(e);
        else
            ++end[p + 1];
    }
    for (std::uint32_t p = 0; p < n; ++p) end[p + 1] += end[p];
    std::vector<std::uint32_t> children(n - tops.size());
    for (std::uint32_t e = 0; e < n; ++e) {
        const std::uint32_t p = h->parent[e];
        if (p != FIDX_NONE && p < n) children[end[p]++] = e;
    }
    // Now end[p] is the end of p's children, and end[p - 1] (0 for p = 0) their start.
    auto first = [&](std::uint32_t p) { return children.begin() + (p == 0 ? 0 : end[p - 1]); };
    auto last = [&](std::uint32_t p) { return children.begin() + end[p]; };
    auto byName = [h](std::uint32_t a, std::uint32_t b) { return nameBefore(h, a, b); };
    for (std::uint32_t p = 0; p < n; ++p)
        if (last(p) - first(p) > 1) std::sort(first(p), last(p), byName);
    std::sort(tops.begin(), tops.end(), byName);

    std::vector<std::uint32_t> out;
    out.reserve(n);
    std::vector<std::uint32_t> stack(tops.rbegin(), tops.rend());
    while (!stack.empty()) {
        const std::uint32_t e = stack.back();
        stack.pop_back();
        if (!(relaxed(h->flags[e]) & FIDX_ROOT)) out.push_back(e);
        for (auto it = last(e); it != first(e);) stack.push_back(*--it);
    }

    // Entries on a parent cycle (only a damaged index has one) are reached from no top-level
    // entry; they follow in index order so that the permutation still holds every entry.
    std::size_t nonRoot = 0;
    for (std::uint32_t e = 0; e < n; ++e) nonRoot += !(relaxed(h->flags[e]) & FIDX_ROOT);
    if (out.size() < nonRoot) {
        std::vector<bool> listed(n);
        for (const std::uint32_t e : out) listed[e] = true;
        for (std::uint32_t e = 0; e < n; ++e)
            if (!listed[e] && !(relaxed(h->flags[e]) & FIDX_ROOT)) out.push_back(e);
    }
    return out;
}

}  // namespace

std::string_view rawValue(SortKey key) { return kRawValues[static_cast<std::size_t>(key)]; }

std::optional<SortKey> sortKeyFromRaw(std::string_view text) {
    for (const SortKey key : allSortKeys)
        if (rawValue(key) == text) return key;
    return std::nullopt;
}

Perm::Perm(const std::uint32_t* base, std::size_t count, Release release)
    : base_(base), count_(count), release_(std::move(release)) {}

Perm::~Perm() {
    if (release_) release_(base_, count_);
}

std::shared_ptr<const Perm> Perm::owning(std::vector<std::uint32_t> ids) {
    auto owned = std::make_unique<std::vector<std::uint32_t>>(std::move(ids));
    std::vector<std::uint32_t>* buffer = owned.get();
    auto perm = std::make_shared<const Perm>(buffer->data(), buffer->size(),
                                             [buffer](const std::uint32_t*, std::size_t) { delete buffer; });
    owned.release();
    return perm;
}

std::uint32_t driftBound(std::uint32_t entries) { return entries / 256 < 625 ? 20000 : entries / 8; }

bool withinDrift(std::uint32_t entries, std::uint32_t covered, std::uint32_t movedCount) {
    if (covered > entries) return false;
    const std::uint64_t drift = std::uint64_t(entries - covered) + movedCount;
    return drift <= driftBound(entries);
}

namespace sortorder {

bool before(const fidx* h, SortKey key, std::uint32_t a, std::uint32_t b) {
    if (key == SortKey::path) {
        const std::uint32_t n = fidx_count(h);
        return a != b && chainBefore(h, chainOf(h, a, n), chainOf(h, b, n));
    }
    if (key == SortKey::name) return nameBefore(h, a, b);
    return byValueThenId(Item{valueOf(h, key, a), a}, Item{valueOf(h, key, b), b});
}

bool lessAcross(const fidx* a, std::uint32_t i, const fidx* b, std::uint32_t j, SortKey key) {
    if (key == SortKey::name || key == SortKey::path) return std::strcmp(folded(a, i), folded(b, j)) < 0;
    return valueOf(a, key, i) < valueOf(b, key, j);
}

void sortEntries(const fidx* h, SortKey key, std::vector<std::uint32_t>& ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (key == SortKey::path)
        sortByPath(h, ids);
    else
        sortAscendingIds(h, key, ids);
}

std::vector<std::uint32_t> buildPermutation(const fidx* h, SortKey key, std::uint32_t n) {
    if (key == SortKey::path) return buildTreeOrder(h, n);
    std::vector<std::uint32_t> ids;
    ids.reserve(n);
    for (std::uint32_t e = 0; e < n; ++e)
        if (!(relaxed(h->flags[e]) & FIDX_ROOT)) ids.push_back(e);
    sortAscendingIds(h, key, ids);
    return ids;
}

std::vector<std::uint32_t> sortedHits(const fidx* h, SortKey key, std::span<const std::uint32_t> hits, std::uint32_t n,
                                      bool descending, std::size_t limit) {
    std::vector<std::uint32_t> ids;
    ids.reserve(hits.size());
    for (const std::uint32_t id : hits)
        if (id < n) ids.push_back(id);
    sortEntries(h, key, ids);
    if (descending) std::reverse(ids.begin(), ids.end());
    if (ids.size() > limit) ids.resize(limit);
    return ids;
}

std::vector<std::uint32_t> orderedBy(const fidx* h, SortKey key, const PermEntry& entry,
                                     std::span<const std::uint32_t> hits, std::uint32_t n, bool descending,
                                     std::size_t limit) {
    if (limit == 0) return {};
    const std::uint32_t covered = std::min(entry.count, n);
    std::vector<std::uint64_t> bits(covered / 64 + 1);
    std::size_t marked = 0;
    std::vector<std::uint32_t> extras;
    for (const std::uint32_t id : hits) {
        if (id >= n) continue;
        // Root entries are in no permutation: like moved and newer entries they are sorted apart.
        if (id < covered && !testBit(entry.moved, id) && !(relaxed(h->flags[id]) & FIDX_ROOT)) {
            std::uint64_t& word = bits[id >> 6];
            const std::uint64_t bit = std::uint64_t(1) << (id & 63);
            marked += (word & bit) == 0;
            word |= bit;
        } else {
            extras.push_back(id);
        }
    }

    // The walk ends once it holds every marked hit or `limit` of them: the merge below takes
    // no more than `limit` from it. A bit is cleared when its entry is taken, so an id that a
    // damaged permutation holds twice is taken once.
    const std::size_t wanted = std::min(marked, limit);
    std::vector<std::uint32_t> main;
    main.reserve(wanted);
    auto take = [&](std::uint32_t id) {
        if (id >= covered) return;
        std::uint64_t& word = bits[id >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (id & 63);
        if (word & bit) {
            word &= ~bit;
            main.push_back(id);
        }
    };
    const Perm& perm = *entry.perm;
    if (descending)
        for (std::size_t i = perm.count(); i-- > 0 && main.size() < wanted;) take(perm[i]);
    else
        for (std::size_t i = 0; i < perm.count() && main.size() < wanted; ++i) take(perm[i]);
    if (extras.empty()) return main;

    extras = sortedHits(h, key, extras, n, descending, limit);
    std::vector<std::uint32_t> out;
    out.reserve(std::min(limit, main.size() + extras.size()));
    std::size_t m = 0, x = 0;
    while (out.size() < limit && m < main.size() && x < extras.size()) {
        const bool mainFirst = descending ? before(h, key, extras[x], main[m]) : before(h, key, main[m], extras[x]);
        out.push_back(mainFirst ? main[m++] : extras[x++]);
    }
    while (out.size() < limit && m < main.size()) out.push_back(main[m++]);
    while (out.size() < limit && x < extras.size()) out.push_back(extras[x++]);
    return out;
}

}  // namespace sortorder

}  // namespace quorvanta::core
