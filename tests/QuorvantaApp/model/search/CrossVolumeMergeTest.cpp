// The cross-volume merge: `merge` and `mergeGlobal` on the edge cases of the two operations as one
// table, then against references written from the ordering rules over seeded random volumes
// (fold-equal names within and across volumes, ties on every key, deleted entries, entries
// appended after the global order was built).
#include "QuorvantaApp/model/search/CrossVolumeMerge.h"
#include "QuorvantaApp/model/search/GlobalMerge.h"
#include "QuorvantaApp/model/search/GlobalOrder.h"

#include "tests/QuorvantaApp/model/search/MergeTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace quorvanta::app::test {
namespace {

using core::allSortKeys;
using core::test::appendEntries;
using core::test::buildIndex;

constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

RowKey r(std::uint32_t position, std::uint32_t entry) { return rowKey(position, entry); }

std::string describe(SortKey key, bool desc, bool sorted) {
    return std::string(core::rawValue(key)) + (desc ? " descending" : " ascending") +
           (sorted ? ", sorted" : ", unsorted");
}

// Two volumes with fold-equal names across them, a global order built over both, and then two
// entries appended to the second volume (so 4 and 5 there are newer than the order):
//   volume 0: 0 "/a" (root), 1 "beta", 2 "Café", 3 "delta"
//   volume 1: 0 "/b" (root), 1 "alpha", 2 "café", 3 "gamma", then 4 "CAFÉ", 5 "epsilon"
// The order's rows: alpha(1,1) beta(0,1) Café(0,2) café(1,2) delta(0,3) gamma(1,3). "Café",
// "café" and "CAFÉ" compare equal.
struct TwoVolumes {
    Indexes indexes;
    std::shared_ptr<const GlobalOrder> order;
};

TwoVolumes twoVolumes() {
    TwoVolumes v;
    v.indexes = {buildIndex({{"/a"}, {"beta", 0}, {"Café", 0}, {"delta", 0}}),
                 buildIndex({{"/b"}, {"alpha", 0}, {"café", 0}, {"gamma", 0}})};
    v.order = GlobalOrder::build(v.indexes);
    appendEntries(*v.indexes[1], {{"CAFÉ", 0}, {"epsilon", 0}});
    return v;
}

enum class Via { merge, global };
struct Mode {
    Via via;
    SortKey key;
    bool desc;
    bool sorted;
};

std::vector<Mode> everyMergeMode() {
    std::vector<Mode> modes;
    for (const SortKey key : allSortKeys)
        for (const bool desc : {false, true})
            for (const bool sorted : {false, true}) modes.push_back({Via::merge, key, desc, sorted});
    return modes;
}

TEST(CrossVolumeMerge, EdgeCases) {
    const TwoVolumes v = twoVolumes();
    const Mode globalAsc{Via::global, SortKey::name, false, true};
    const Mode globalDesc{Via::global, SortKey::name, true, true};
    std::vector<Mode> noHitModes = everyMergeMode();
    noHitModes.push_back(globalAsc);
    noHitModes.push_back(globalDesc);
    struct Case {
        const char* what;
        Lists lists;
        std::vector<Mode> modes;
        Rows expected;
    };
    const std::vector<Case> cases = {
        {"no hits anywhere", {{}, {}}, noHitModes, {}},
        {"hits on one volume only: its list unchanged, whatever the key or direction",
         {{}, {3, 1, 2}},
         everyMergeMode(),
         {r(1, 3), r(1, 1), r(1, 2)}},
        {"equal names at the heads of two lists: the lower position first, both directions",
         {{2}, {2}},
         {{Via::merge, SortKey::name, false, true}, {Via::merge, SortKey::name, true, true}},
         {r(0, 2), r(1, 2)}},
        {"path order descending: all rows of the second volume first",
         {{1, 2}, {1, 3}},
         {{Via::merge, SortKey::path, true, true}},
         {r(1, 1), r(1, 3), r(0, 1), r(0, 2)}},
        {"path order descending but unsorted: the first volume first",
         {{1, 2}, {1, 3}},
         {{Via::merge, SortKey::path, true, false}},
         {r(0, 1), r(0, 2), r(1, 1), r(1, 3)}},
        {"global order: a hit newer than the order placed by name, before the equal names of the order",
         {{1, 2, 3}, {2, 4}},
         {globalAsc},
         {r(0, 1), r(1, 4), r(0, 2), r(1, 2), r(0, 3)}},
        {"global order descending: the rows walked backwards, the tail sorted ascending then reversed, "
         "a tail row still before an equal name",
         {{1, 2, 3}, {1, 2, 3, 4, 5}},
         {globalDesc},
         {r(1, 3), r(1, 5), r(0, 3), r(1, 4), r(1, 2), r(0, 2), r(0, 1), r(1, 1)}},
        {"global order, equal names across volumes: lower position first ascending",
         {{2}, {2}},
         {globalAsc},
         {r(0, 2), r(1, 2)}},
        {"global order, equal names across volumes: higher position first descending (the walk is backwards)",
         {{2}, {2}},
         {globalDesc},
         {r(1, 2), r(0, 2)}},
    };
    for (const Case& c : cases) {
        for (const Mode& m : c.modes) {
            const Rows got = m.via == Via::global ? mergeGlobal(*v.order, c.lists, v.indexes, m.desc)
                                                  : merge(c.lists, v.indexes, m.key, m.desc, m.sorted);
            EXPECT_EQ(got, c.expected) << c.what << (m.via == Via::global ? " (global order, " : " (merge, ")
                                       << describe(m.key, m.desc, m.sorted) << ")";
        }
    }
}

// What `merge` must give: merged lists as a stable sort of all rows by the key (positions in
// ascending order, each list in its own order, so ties go to the lower position and then keep
// the list's order); joined lists for the path order and for unsorted lists.
Rows referenceMerge(const Lists& lists, const Indexes& indexes, SortKey key, bool desc, bool sorted) {
    if (!sorted || key == SortKey::path) return joined(lists, desc && sorted && key == SortKey::path);
    Rows rows = joined(lists, false);
    const auto less = [&](RowKey a, RowKey b) {
        return keyLess(*indexes[rowPosition(a)], rowEntry(a), *indexes[rowPosition(b)], rowEntry(b), key);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](RowKey a, RowKey b) { return desc ? less(b, a) : less(a, b); });
    return rows;
}

Lists orderedLists(const Lists& hits, const Indexes& indexes, SortKey key, bool desc) {
    Lists lists;
    for (std::size_t i = 0; i < hits.size(); ++i) lists.push_back(*indexes[i]->ordered(hits[i], key, desc, kAll, kAll));
    return lists;
}

TEST(CrossVolumeMerge, MergeMatchesTheReferenceOverRandomVolumes) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        Indexes indexes;
        Lists hits;
        const std::size_t volumes = 1 + rng() % 5;
        for (std::size_t i = 0; i < volumes; ++i) {
            indexes.push_back(randomVolume(rng, rng() % 120));
            hits.push_back(randomHits(*indexes.back(), rng, rng() % 4 == 0 ? 0 : rng() % 70));
        }
        for (const SortKey key : allSortKeys) {
            for (const bool desc : {false, true}) {
                const Lists lists = orderedLists(hits, indexes, key, desc);
                for (const bool sorted : {true, false}) {
                    const Lists& given = sorted ? lists : hits;
                    EXPECT_EQ(merge(given, indexes, key, desc, sorted),
                              referenceMerge(given, indexes, key, desc, sorted))
                        << "seed " << seed << ", " << volumes << " volumes, " << describe(key, desc, sorted);
                }
            }
        }
    }
}

// The order in memory or read back from its file, by the seed.
std::shared_ptr<const GlobalOrder> builtOrder(const Indexes& indexes, bool fileBacked,
                                              const quorvanta::test::TempDir& dir) {
    auto order = GlobalOrder::build(indexes);
    if (!fileBacked) return order;
    auto persisted = order->persisted(dir / "global.ord");
    EXPECT_TRUE(persisted->isFileBacked());
    return persisted;
}

TEST(CrossVolumeMerge, GlobalOrderGivesTheNameMergeOfCoveredHits) {
    const quorvanta::test::TempDir dir;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        std::mt19937 rng(seed);
        Indexes indexes;
        Lists hits;
        const std::size_t volumes = 1 + rng() % 5;
        for (std::size_t i = 0; i < volumes; ++i) {
            indexes.push_back(randomVolume(rng, rng() % 150));
            hits.push_back(randomHits(*indexes.back(), rng, rng() % 4 == 0 ? 0 : rng() % 90));
        }
        const auto order = builtOrder(indexes, seed % 2 == 0, dir);
        ASSERT_TRUE(order->matches(indexes));
        const std::string where = "seed " + std::to_string(seed) + ", " + std::to_string(volumes) + " volumes";

        const Rows ascending = mergeGlobal(*order, hits, indexes, false);
        EXPECT_EQ(ascending,
                  merge(orderedLists(hits, indexes, SortKey::name, false), indexes, SortKey::name, false, true))
            << where;
        EXPECT_EQ(ascending, byNameThen(joined(hits, false), indexes, false,
                                        [](RowKey row) { return std::make_tuple(rowPosition(row), rowEntry(row)); }))
            << where;

        // Descending, the global order is the ascending one reversed; `merge` gives the same rows
        // by name, but fold-equal names across volumes lower position first.
        const Rows descending = mergeGlobal(*order, hits, indexes, true);
        EXPECT_EQ(descending, Rows(ascending.rbegin(), ascending.rend())) << where;
        const Rows merged = merge(orderedLists(hits, indexes, SortKey::name, true), indexes, SortKey::name, true, true);
        EXPECT_EQ(descending, byNameThen(merged, indexes, true, [](RowKey row) { return ~rowPosition(row); })) << where;
    }
}

TEST(CrossVolumeMerge, GlobalOrderPlacesEntriesNewerThanItByName) {
    const quorvanta::test::TempDir dir;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        std::mt19937 rng(seed);
        Indexes indexes;
        const std::size_t volumes = 2 + rng() % 3;
        for (std::size_t i = 0; i < volumes; ++i) indexes.push_back(randomVolume(rng, 1 + rng() % 100));
        const auto order = builtOrder(indexes, seed % 2 == 1, dir);
        for (const auto& index : indexes)
            if (rng() % 3 != 0) appendRandom(*index, rng, 1 + rng() % 40);
        ASSERT_TRUE(order->matches(indexes));
        Lists hits;
        for (const auto& index : indexes) hits.push_back(randomHits(*index, rng, 20 + rng() % 70));
        const std::string where = "seed " + std::to_string(seed) + ", " + std::to_string(volumes) + " volumes";

        // Ties by name: tail rows (false sorts first) before the order's rows, then by position
        // and entry, both reversed when descending.
        const auto inOrder = [&](RowKey row) { return rowEntry(row) < order->ks()[rowPosition(row)]; };
        const Rows all = joined(hits, false);
        EXPECT_EQ(
            mergeGlobal(*order, hits, indexes, false),
            byNameThen(all, indexes, false,
                       [&](RowKey row) { return std::make_tuple(inOrder(row), rowPosition(row), rowEntry(row)); }))
            << where << ", ascending";
        EXPECT_EQ(
            mergeGlobal(*order, hits, indexes, true),
            byNameThen(all, indexes, true,
                       [&](RowKey row) { return std::make_tuple(inOrder(row), ~rowPosition(row), ~rowEntry(row)); }))
            << where << ", descending";
    }
}

}  // namespace
}  // namespace quorvanta::app::test
