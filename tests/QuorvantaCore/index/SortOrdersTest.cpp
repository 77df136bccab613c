// Sort orders of VolumeIndex: each permutation against a brute-force sort of seeded random
// indexes, the edge cases of the orders, the drift rule, `ordered` against a brute-force
// ordering of the hits, damaged permutations, and one build per key at a time.
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/QuorvantaCore/index/IndexTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <thread>

namespace quorvanta::core {
namespace {

using test::commitRecords;
using test::kRootFlags;
using test::listed;
using test::Record;

void setMeta(VolumeIndex& index, uint32_t i, uint64_t size, uint32_t mtime, uint32_t ctime) {
    fidx_set_meta(index.s(), i, size, mtime, ctime);
}

std::string foldedName(const VolumeIndex& index, uint32_t e) {
    return reinterpret_cast<const char*>(index.s()->folded + index.s()->name_off[e]);
}

// Names that fold equal, share long prefixes, are shorter and longer than eight bytes, or
// hold non-ASCII letters, so that every branch of the name comparison is taken.
const std::vector<std::string> kNames = {
    "Café",       "CAFE",       "café",     "cafe",     "a",          "A",          "b",          "Zeta",
    "alpha",      "x",          "abcdefgh", "ABCDEFGH", "abcdefghij", "abcdefghiJ", "abcdefghik", "abcdefg",
    "résumé.txt", "Resume.TXT", "ÉCOLE",    "école",    "Ω",          "z",          ".hidden",
};
const std::vector<uint64_t> kSizes = {0, 10, 10, 4096, uint64_t(1) << 40, UINT64_MAX};
const std::vector<uint32_t> kTimes = {0, 1, 1700000000, 1700000000, 0xFFFFFFFFu};

template <class T>
T pick(std::mt19937& rng, const std::vector<T>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
}

Record randomRecord(std::mt19937& rng) {
    Record r;
    r.name = pick(rng, kNames);
    if (rng() % 3 == 0) r.name += std::to_string(rng() % 5);
    r.size = pick(rng, kSizes);
    r.mtime = pick(rng, kTimes);
    r.ctime = pick(rng, kTimes);
    r.flags = static_cast<uint8_t>((rng() % 3 == 0 ? FIDX_FOLDER : 0) | (rng() % 8 == 0 ? FIDX_DELETED : 0));
    return r;
}

// Adds `batches` folders' worth of random entries below random folders (or roots) of the index.
void addRandomBatches(VolumeIndex& index, std::mt19937& rng, int batches) {
    for (int b = 0; b < batches; ++b) {
        std::vector<uint32_t> folders;
        for (uint32_t e = 0; e < index.count(); ++e)
            if (index.flags(e).contains(EntryFlags::dir)) folders.push_back(e);
        // Later folders are picked more often, so that the trees grow deep.
        const uint32_t parent = folders[folders.size() - 1 - std::min<std::size_t>(rng() % 6, folders.size() - 1)];
        std::vector<Record> records(1 + rng() % 6);
        for (Record& r : records) r = randomRecord(rng);
        commitRecords(index, parent, records);
    }
}

// Several roots, each with a random tree below.
std::shared_ptr<VolumeIndex> randomIndex(uint32_t seed, int batches) {
    std::mt19937 rng(seed);
    auto index = VolumeIndex::create(1u << 16, 1u << 22, {});
    const std::vector<std::string> roots = {"/data", "/", "/Media/Z", "/media/a"};
    for (std::size_t r = 0; r < 1 + seed % roots.size(); ++r) {
        commitRecords(*index, FIDX_NONE, {{roots[r], 0, 0, 0, kRootFlags}});
        addRandomBatches(*index, rng, batches / 4);
    }
    addRandomBatches(*index, rng, batches);
    return index;
}

// The chain of (folded name, entry index) pairs from the root down to e.
std::vector<std::pair<std::string, uint32_t>> chain(const VolumeIndex& index, uint32_t e) {
    std::vector<std::pair<std::string, uint32_t>> out;
    for (std::optional<uint32_t> at = e; at; at = index.parent(*at)) out.emplace_back(foldedName(index, *at), *at);
    std::reverse(out.begin(), out.end());
    return out;
}

bool bytesLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return uint8_t(x) < uint8_t(y); });
}

// The key's order written out plainly: a stable sort by the key's value, or for `path` the
// chains compared lexicographically (a chain before every chain it is a prefix of).
std::vector<uint32_t> oracleSort(const VolumeIndex& index, SortKey key, std::vector<uint32_t> ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::map<uint32_t, std::vector<std::pair<std::string, uint32_t>>> chains;
    if (key == SortKey::path)
        for (const uint32_t id : ids) chains[id] = chain(index, id);
    auto less = [&](uint32_t a, uint32_t b) {
        switch (key) {
            case SortKey::name:
                return bytesLess(foldedName(index, a), foldedName(index, b));
            case SortKey::size:
                return index.size(a) < index.size(b);
            case SortKey::date:
                return index.mtime(a) < index.mtime(b);
            case SortKey::created:
                return index.ctime(a) < index.ctime(b);
            case SortKey::path:
                break;
        }
        const auto &ca = chains[a], &cb = chains[b];
        return std::lexicographical_compare(
            ca.begin(), ca.end(), cb.begin(), cb.end(), [](const auto& x, const auto& y) {
                return x.first != y.first ? bytesLess(x.first, y.first) : x.second < y.second;
            });
    };
    std::stable_sort(ids.begin(), ids.end(), less);
    return ids;
}

// The brute-force `ordered`: the hits below count, stably sorted, reversed, the first `limit`.
std::vector<uint32_t> oracleOrdered(const VolumeIndex& index, SortKey key, const std::vector<uint32_t>& hits,
                                    bool descending, std::size_t limit) {
    std::vector<uint32_t> valid;
    for (const uint32_t h : hits)
        if (h < index.count()) valid.push_back(h);
    std::vector<uint32_t> out = oracleSort(index, key, valid);
    if (descending) std::reverse(out.begin(), out.end());
    if (out.size() > limit) out.resize(limit);
    return out;
}

std::vector<uint32_t> nonRootEntries(const VolumeIndex& index) {
    std::vector<uint32_t> ids;
    for (uint32_t e = 0; e < index.count(); ++e)
        if (!index.flags(e).contains(EntryFlags::root)) ids.push_back(e);
    return ids;
}

std::vector<uint32_t> contents(const PermRef& perm) { return std::vector<uint32_t>(perm->begin(), perm->end()); }

TEST(SortKeys, RawValuesInTheirFixedOrder) {
    const std::vector<std::string_view> raw = {"name", "path", "size", "date", "created"};
    for (std::size_t i = 0; i < allSortKeys.size(); ++i) {
        EXPECT_EQ(rawValue(allSortKeys[i]), raw[i]);
        EXPECT_EQ(sortKeyFromRaw(raw[i]), allSortKeys[i]);
        EXPECT_EQ(static_cast<std::size_t>(allSortKeys[i]), i);
    }
    for (const std::string_view other : {"", "Name", "name ", "modified", "kind"})
        EXPECT_FALSE(sortKeyFromRaw(other)) << other;
}

TEST(SortPermutation, EqualsBruteForceOnRandomIndexes) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        auto index = randomIndex(seed, 120);
        const std::vector<uint32_t> all = nonRootEntries(*index);
        for (const SortKey key : allSortKeys) {
            const auto [perm, covers] = index->rebuildPermutation(key);
            EXPECT_EQ(covers, index->count());
            EXPECT_EQ(contents(perm), oracleSort(*index, key, all)) << "seed " << seed << ", key " << rawValue(key);
        }
    }
}

TEST(SortPermutation, LargeIndexesEqualBruteForce) {
    // Enough entries for the sorts that large indexes take; few distinct values, many ties.
    std::mt19937 rng(5);
    auto index = VolumeIndex::create(1u << 17, 1u << 22, {});
    const uint32_t root = commitRecords(*index, FIDX_NONE, {{"/", 0, 0, 0, kRootFlags}});
    std::vector<Record> records(40000);
    for (Record& r : records) {
        r = randomRecord(rng);
        r.mtime = rng() % 3 == 0 ? 0xFFFFFFFFu - rng() % 50 : rng() % 50;
        r.ctime = static_cast<uint32_t>(rng() % 4) << 24;
    }
    commitRecords(*index, root, records);
    const std::vector<uint32_t> all = nonRootEntries(*index);
    for (const SortKey key : {SortKey::name, SortKey::size, SortKey::date, SortKey::created})
        EXPECT_EQ(contents(index->rebuildPermutation(key).first), oracleSort(*index, key, all)) << rawValue(key);
}

TEST(SortPermutation, EdgeCases) {
    auto names = VolumeIndex::create(1u << 10, 1u << 16, {});
    commitRecords(*names, FIDX_NONE, {{"b"}, {"A"}, {"a"}});

    auto tree = VolumeIndex::create(1u << 10, 1u << 16, {});
    const uint32_t root = commitRecords(*tree, FIDX_NONE, {{"/r", 0, 0, 0, kRootFlags}});
    const uint32_t zeta = commitRecords(*tree, root, {{"Zeta", 0, 0, 0, FIDX_FOLDER}, {"alpha", 0, 0, 0, FIDX_FOLDER}});
    const uint32_t alpha = zeta + 1;
    const uint32_t x = commitRecords(*tree, zeta, {{"x"}});
    const uint32_t inAlpha = commitRecords(*tree, alpha, {{"zz"}, {"b", 0, 0, 0, FIDX_FOLDER}});
    const uint32_t deep = commitRecords(*tree, inAlpha + 1, {{"y"}});

    auto rootsOnly = VolumeIndex::create(1u << 10, 1u << 16, {});
    commitRecords(*rootsOnly, FIDX_NONE, {{"/one", 0, 0, 0, kRootFlags}});
    commitRecords(*rootsOnly, FIDX_NONE, {{"/two", 0, 0, 0, kRootFlags}});

    const std::vector<uint32_t> abc = {0, 1, 2};
    struct Case {
        std::string what, actual, expected;
    };
    const Case cases[] = {
        {"b, A, a by name", listed(contents(names->permutation(SortKey::name))), "1,2,0"},
        {"b, A, a by name, ordered", listed(*names->ordered(abc, SortKey::name, false, 10, 0)), "1,2,0"},
        {"b, A, a by name, descending", listed(*names->ordered(abc, SortKey::name, true, 10, 0)), "0,2,1"},
        {"folder before its contents, Zeta/x after alpha's", listed(contents(tree->permutation(SortKey::path))),
         listed(std::vector<uint32_t>{alpha, inAlpha + 1, deep, inAlpha, zeta, x})},
        {"no root entries", listed(contents(rootsOnly->permutation(SortKey::name))), ""},
        {"no root entries by path", listed(contents(rootsOnly->permutation(SortKey::path))), ""},
        {"limit 0", listed(*names->ordered(abc, SortKey::name, false, 0, 0)), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;

    // Without a permutation the same hits are sorted directly.
    auto fresh = VolumeIndex::create(1u << 10, 1u << 16, {});
    commitRecords(*fresh, FIDX_NONE, {{"b"}, {"A"}, {"a"}});
    EXPECT_EQ(listed(*fresh->ordered(abc, SortKey::name, true, 10, 3)), "0,2,1");
    EXPECT_EQ(listed(*fresh->ordered(abc, SortKey::name, false, 0, 3)), "");
    EXPECT_FALSE(fresh->ordered(abc, SortKey::name, false, 10, 2)) << "more hits than the direct-sort limit";
}

TEST(PermDrift, BoundsAndUsability) {
    struct Case {
        uint32_t entries, covered, moved;
        bool usable;
    };
    const Case cases[] = {
        {159999, 159999 - 20000, 0, true},
        {159999, 159999 - 20001, 0, false},
        {159999, 159999, 20000, true},
        {159999, 159999 - 10000, 10001, false},
        {1600000, 1400000, 0, true},
        {1600000, 1399999, 0, false},
        {1600000, 1600000, 200000, true},
        {1600000, 1600000, 200001, false},
        {0, 0, 0, true},
        {100, 101, 0, false},  // covers more than the index holds
    };
    for (const Case& c : cases)
        EXPECT_EQ(withinDrift(c.entries, c.covered, c.moved), c.usable)
            << c.entries << " entries, " << c.covered << " covered, " << c.moved << " moved";
    EXPECT_EQ(driftBound(159999), 20000u);
    EXPECT_EQ(driftBound(1600000), 200000u);
}

TEST(PermDrift, StaleKeysFollowAppendsAndMoves) {
    auto index = VolumeIndex::create(1u << 16, 1u << 22, {});
    const uint32_t root = commitRecords(*index, FIDX_NONE, {{"/", 0, 0, 0, kRootFlags}});
    EXPECT_EQ(index->staleKeys().size(), allSortKeys.size()) << "nothing built yet";
    const uint32_t first = commitRecords(*index, root, std::vector<Record>(20000, Record{"f"}));
    for (const SortKey key : allSortKeys) index->rebuildPermutation(key);
    EXPECT_TRUE(index->staleKeys().empty());

    // 20,000 moved entries are within the bound; repeats and entries past the covered count
    // are not counted.
    std::vector<uint32_t> moved;
    for (uint32_t e = first; e < first + 20000; ++e) moved.push_back(e);
    moved.push_back(first);
    moved.push_back(99999);
    index->markMoved(SortKey::size, moved);
    EXPECT_EQ(index->usablePerm(SortKey::size)->movedCount, 20000u);
    EXPECT_TRUE(index->staleKeys().empty());
    EXPECT_TRUE(index->cachedPermutation(SortKey::size));

    // One appended entry: a drift of 1 for every key, 20,001 for size.
    commitRecords(*index, root, {{"g"}});
    EXPECT_EQ(index->staleKeys(), std::vector<SortKey>{SortKey::size});
    EXPECT_FALSE(index->cachedPermutation(SortKey::size));
    EXPECT_TRUE(index->cachedPermutation(SortKey::name));
    EXPECT_TRUE(index->permutation(SortKey::size)) << "a drifted permutation is still there to be used";
}

TEST(PermDrift, NothingUsableWhileScanning) {
    quorvanta::test::TempDir dir;
    dir.write("sub/file", "x");
    auto index = VolumeIndex::create(1u << 16, 1u << 22, {});
    commitRecords(*index, FIDX_NONE, {{"b"}, {"A"}, {"a"}});
    for (const SortKey key : allSortKeys) index->rebuildPermutation(key);

    // The scan waits in the folder hook of its root until the checks are done.
    struct Gate {
        std::promise<void> entered, release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<bool> first{true};
    } gate;
    fidx_set_dir_hook(
        index->s(),
        [](void* ctx, const char*) {
            auto* g = static_cast<Gate*>(ctx);
            if (g->first.exchange(false)) {
                g->entered.set_value();
                g->released.wait();
            }
        },
        &gate);
    std::thread scan([&] { index->scan({dir.path().string()}, 1, 0); });
    gate.entered.get_future().wait();

    const std::vector<uint32_t> hits = {0, 1, 2};
    EXPECT_TRUE(index->isScanning());
    EXPECT_EQ(index->staleKeys().size(), allSortKeys.size());
    EXPECT_FALSE(index->usablePerm(SortKey::name));
    EXPECT_FALSE(index->cachedPermutation(SortKey::name));
    EXPECT_FALSE(index->ordered(hits, SortKey::name, false, 10, 2)) << "more hits than the direct-sort limit";
    EXPECT_EQ(listed(*index->ordered(hits, SortKey::name, false, 10, 3)), "1,2,0");

    gate.release.set_value();
    scan.join();
    fidx_set_dir_hook(index->s(), nullptr, nullptr);
    EXPECT_TRUE(index->usablePerm(SortKey::name));
}

TEST(OrderedHits, EqualsBruteForceAfterAppendsAndMoves) {
    const std::size_t all = std::numeric_limits<std::size_t>::max();
    for (uint32_t seed = 11; seed <= 13; ++seed) {
        auto index = randomIndex(seed, 100);
        std::mt19937 rng(seed);
        for (const SortKey key : allSortKeys) index->rebuildPermutation(key);

        // Appends, and changed sizes and times reported for the size and time keys.
        addRandomBatches(*index, rng, 20);
        std::vector<uint32_t> changed;
        for (int i = 0; i < 60; ++i) {
            const uint32_t e = rng() % index->count();
            setMeta(*index, e, pick(rng, kSizes), pick(rng, kTimes), pick(rng, kTimes));
            changed.push_back(e);
        }
        for (const SortKey key : {SortKey::size, SortKey::date, SortKey::created}) index->markMoved(key, changed);

        for (const uint32_t every : {1, 5, 13, 200}) {
            // Dense to sparse hit sets, with ids past the end mixed in.
            std::vector<uint32_t> hits;
            for (uint32_t e = 0; e < index->count(); ++e)
                if (rng() % every == 0) hits.push_back(e);
            hits.push_back(index->count());
            hits.push_back(UINT32_MAX);
            std::shuffle(hits.begin(), hits.end(), rng);
            for (const SortKey key : allSortKeys)
                for (const bool descending : {false, true})
                    for (const std::size_t limit : {std::size_t(0), std::size_t(1), std::size_t(100), all}) {
                        const auto got = index->ordered(hits, key, descending, limit, 0);
                        ASSERT_TRUE(got);
                        EXPECT_EQ(*got, oracleOrdered(*index, key, hits, descending, limit))
                            << "seed " << seed << ", one hit in " << every << ", key " << rawValue(key)
                            << (descending ? ", descending" : "") << ", limit " << limit;
                    }
        }
    }
}

TEST(OrderedHits, DirectSortWithoutAPermutation) {
    auto index = randomIndex(21, 100);
    std::vector<uint32_t> hits;
    for (uint32_t e = 0; e < index->count(); e += 2) hits.push_back(e);
    hits.push_back(index->count() + 5);  // past the end: neither sorted nor counted
    const std::size_t valid = hits.size() - 1;
    for (const SortKey key : allSortKeys)
        for (const bool descending : {false, true}) {
            const auto got = index->ordered(hits, key, descending, 50, valid);
            ASSERT_TRUE(got);
            EXPECT_EQ(*got, oracleOrdered(*index, key, hits, descending, 50)) << rawValue(key);
            EXPECT_FALSE(index->ordered(hits, key, descending, 50, valid - 1)) << rawValue(key);
        }
}

TEST(OrderedDamaged, OutOfRangeIdsAndShortMovedBitset) {
    auto index = randomIndex(31, 100);
    const uint32_t n = index->count();
    const uint32_t covered = n - 10;
    std::vector<uint32_t> ids = sortorder::buildPermutation(index->s(), SortKey::size, covered);
    // A damaged snapshot: ids past the covered count and past the index.
    ids.insert(ids.begin() + ids.size() / 2, {covered, n - 1, n, UINT32_MAX});
    PermEntry entry{covered, Perm::owning(ids), {}, 0};
    // One moved word for an index of several words: entry 3 moved, the rest reads as 0.
    entry.moved = {uint64_t(1) << 3};
    entry.movedCount = 1;
    setMeta(*index, 3, 7, 0, 0);

    std::vector<uint32_t> hits;
    for (uint32_t e = 0; e < n; ++e) hits.push_back(e);
    hits.push_back(n + 1);
    for (const bool descending : {false, true})
        for (const std::size_t limit : {std::size_t(5), std::size_t(n)})
            EXPECT_EQ(sortorder::orderedBy(index->s(), SortKey::size, entry, hits, n, descending, limit),
                      oracleOrdered(*index, SortKey::size, hits, descending, limit))
                << (descending ? "descending" : "ascending") << ", limit " << limit;

    // A covered count above the entry count: only the entries of the index are looked at.
    std::vector<uint32_t> whole = sortorder::buildPermutation(index->s(), SortKey::size, n);
    whole.push_back(n + 50);
    const PermEntry beyond{n + 100, Perm::owning(whole), {}, 0};
    hits.push_back(n + 50);
    EXPECT_EQ(sortorder::orderedBy(index->s(), SortKey::size, beyond, hits, n, false, n),
              oracleOrdered(*index, SortKey::size, hits, false, n));
}

// Holds the first build of an index open until released, and tells when a request waits for it.
struct BuildGate {
    std::atomic<int> builds{0};
    std::promise<void> building, waiting, release;
    std::shared_future<void> released = release.get_future().share();

    void attach(VolumeIndex& index) {
        index.setBuildHookForTesting([this](SortKey, VolumeIndex::BuildEvent event) {
            if (event == VolumeIndex::BuildEvent::wait) {
                waiting.set_value();
                return;
            }
            if (builds.fetch_add(1) == 0) building.set_value();
            released.wait();
        });
    }
};

TEST(PermBuild, MoveDuringBuildLandsInMoved) {
    auto index = randomIndex(41, 60);
    BuildGate gate;
    gate.attach(*index);
    auto build = std::async(std::launch::async, [&] { return index->rebuildPermutation(SortKey::size); });
    gate.building.get_future().wait();
    setMeta(*index, 5, 123, 0, 0);
    const std::vector<uint32_t> moved = {5};
    index->markMoved(SortKey::size, moved);
    gate.release.set_value();
    build.get();
    index->setBuildHookForTesting(nullptr);

    const auto entry = index->usablePerm(SortKey::size);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(testBit(entry->moved, 5));
    EXPECT_EQ(entry->movedCount, 1u);
    const std::vector<uint32_t> hits = {5, 6, 7, 8, 9};
    EXPECT_EQ(*index->ordered(hits, SortKey::size, false, 10, 0), oracleOrdered(*index, SortKey::size, hits, false, 10))
        << "the moved entry is placed by its new size";
}

TEST(PermBuild, ConcurrentRebuildsOfOneKeyMakeOneBuild) {
    auto index = randomIndex(42, 60);
    BuildGate gate;
    gate.attach(*index);
    auto first = std::async(std::launch::async, [&] { return index->rebuildPermutation(SortKey::date); });
    gate.building.get_future().wait();
    // A second request (as the maintenance tick's rebuild beside the search path's) and a move,
    // both while the first build runs.
    auto second = std::async(std::launch::async, [&] { return index->rebuildPermutation(SortKey::date); });
    const bool waited = gate.waiting.get_future().wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    EXPECT_TRUE(waited) << "the second request did not wait for the running build";
    const std::vector<uint32_t> moved = {7};
    index->markMoved(SortKey::date, moved);
    gate.release.set_value();
    const auto a = first.get();
    const auto b = second.get();
    index->setBuildHookForTesting(nullptr);

    EXPECT_EQ(gate.builds.load(), 1);
    EXPECT_EQ(a.first, b.first) << "the waiting request takes the running build's result";
    EXPECT_EQ(a.second, b.second);
    const auto entry = index->usablePerm(SortKey::date);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(testBit(entry->moved, 7)) << "the move reported during the build is kept";
}

TEST(PermBuild, RebuildsOfDifferentKeysRunTogether) {
    auto index = randomIndex(43, 80);
    std::vector<std::thread> threads;
    for (const SortKey key : allSortKeys)
        threads.emplace_back([&, key] {
            for (int i = 0; i < 3; ++i) index->rebuildPermutation(key);
        });
    std::thread mover([&] {
        for (uint32_t e = 0; e < 200; ++e) {
            const std::vector<uint32_t> one = {e % index->count()};
            setMeta(*index, one[0], e, e, e);
            index->markMoved(SortKey::size, one);
            index->ordered(one, SortKey::size, false, 1, 0);
        }
    });
    for (std::thread& t : threads) t.join();
    mover.join();
    EXPECT_TRUE(index->staleKeys().empty());
}

TEST(SortLess, ComparesAcrossIndexesWithoutTieBreak) {
    auto a = VolumeIndex::create(1u << 10, 1u << 16, {});
    auto b = VolumeIndex::create(1u << 10, 1u << 16, {});
    commitRecords(*a, FIDX_NONE, {{"Apple", 10, 5, 1}, {"dir", 0, 0, 0, FIDX_FOLDER}});
    commitRecords(*b, FIDX_NONE, {{"apple", 10, 6, 0}, {"banana", 3, 5, 9}});
    struct Case {
        uint32_t i, j;
        SortKey key;
        bool less;
    };
    const Case cases[] = {
        {0, 0, SortKey::name, false},   {0, 1, SortKey::name, true},  {0, 0, SortKey::path, false},
        {0, 0, SortKey::size, false},   {0, 1, SortKey::size, false}, {1, 1, SortKey::size, true},
        {0, 0, SortKey::date, true},    {0, 1, SortKey::date, false}, {0, 0, SortKey::created, false},
        {0, 1, SortKey::created, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(a->less(c.i, *b, c.j, c.key), c.less) << c.i << " vs " << c.j << " by " << rawValue(c.key);
}

TEST(SortHitBitset, SetsTheHitsBelowCount) {
    auto index = VolumeIndex::create(1u << 10, 1u << 16, {});
    std::vector<Record> records(70, Record{"f"});
    commitRecords(*index, FIDX_NONE, records);
    const std::vector<uint32_t> hits = {0, 63, 64, 69, 70, 1000};
    const std::vector<uint64_t> bits = index->hitBitset(hits);
    ASSERT_EQ(bits.size(), 70u / 64 + 1);
    EXPECT_EQ(bits[0], (uint64_t(1) << 63) | 1);
    EXPECT_EQ(bits[1], (uint64_t(1) << 0) | (uint64_t(1) << 5));
}

}  // namespace
}  // namespace quorvanta::core
