// The global name order: its build against a reference order, the "global.ord" file (written
// bytes, round trip, the checks of a read, damaged rows, failed writes, replacement while an old
// order is in use, seeded damage), `matches` and `tail`, and the rule that decides a rebuild.
#include "QuorvantaApp/model/search/GlobalMerge.h"
#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaApp/model/search/GlobalRebuildRule.h"

#include "tests/QuorvantaApp/model/search/MergeTestSupport.h"
#include "tests/fuzz/GlobalOrderOracle.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <utility>
#include <vector>

namespace quorvanta::app::test {
namespace {

namespace fs = std::filesystem;
using core::test::appendEntries;
using core::test::buildIndex;
using quorvanta::test::EnvOverride;
using quorvanta::test::fileMode;
using quorvanta::test::readFile;
using quorvanta::test::TempDir;

constexpr std::size_t kHeaderBytes = 16384;

Rows rowsOf(const GlobalOrder& order) {
    return order.withRows([](std::span<const RowKey> rows) { return Rows(rows.begin(), rows.end()); });
}

std::vector<std::uint64_t> storeIDsOf(const Indexes& indexes) {
    std::vector<std::uint64_t> ids;
    for (const auto& index : indexes) ids.push_back(index->storeID());
    return ids;
}

// Every entry that is not a root, in the order the build must give: folded name, then volume
// position, then entry index.
Rows referenceOrder(const Indexes& indexes) {
    Rows rows;
    for (std::uint32_t v = 0; v < indexes.size(); ++v)
        for (std::uint32_t e = 0; e < indexes[v]->count(); ++e)
            if (!indexes[v]->flags(e).contains(core::EntryFlags::root)) rows.push_back(rowKey(v, e));
    return byNameThen(rows, indexes, false,
                      [](RowKey row) { return std::make_tuple(rowPosition(row), rowEntry(row)); });
}

Indexes randomVolumes(std::mt19937& rng, std::size_t count, std::size_t maxEntries) {
    Indexes indexes;
    for (std::size_t i = 0; i < count; ++i) indexes.push_back(randomVolume(rng, 1 + rng() % maxEntries));
    return indexes;
}

void putLE(std::string& out, std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

std::uint64_t getLE(const std::string& in, std::size_t at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(in[at + i]);
    return value;
}

// A "global.ord" image written from the layout: magic, N, the (store id, k) pairs, zeros to
// 16,384, the rows.
std::string orderImage(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& volumes, const Rows& rows,
                       std::string magic = "QRVTGORD") {
    std::string image(kHeaderBytes + 8 * rows.size(), '\0');
    image.replace(0, 8, magic);
    putLE(image, 8, volumes.size());
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        putLE(image, 16 + 16 * i, volumes[i].first);
        putLE(image, 24 + 16 * i, volumes[i].second);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) putLE(image, kHeaderBytes + 8 * i, rows[i]);
    return image;
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(GlobalOrder, BuildMergesTheNamePermutationsByNameThenVolumeThenEntry) {
    for (std::uint32_t seed = 1; seed <= 10; ++seed) {
        std::mt19937 rng(seed);
        const Indexes indexes = randomVolumes(rng, 3, 200);
        // One volume has its name order already, the others have it built by `build`.
        indexes[1]->rebuildPermutation(SortKey::name);
        const auto order = GlobalOrder::build(indexes);
        EXPECT_FALSE(order->isFileBacked());
        EXPECT_EQ(order->storeIDs(), storeIDsOf(indexes)) << "seed " << seed;
        std::vector<std::uint64_t> counts;
        std::uint64_t total = 0;
        for (const auto& index : indexes) {
            counts.push_back(index->count());
            total += index->count();
        }
        EXPECT_EQ(order->ks(), counts) << "seed " << seed;
        const Rows rows = rowsOf(*order);
        EXPECT_EQ(rows.size(), total - 3) << "seed " << seed << ": every entry but the three roots";
        EXPECT_EQ(rows, referenceOrder(indexes)) << "seed " << seed;
    }
}

TEST(GlobalOrder, FileRoundTripThroughTheDataDirectory) {
    const TempDir data;
    const EnvOverride home("XDG_DATA_HOME", data.path().string());
    std::mt19937 rng(3);
    const Indexes indexes = randomVolumes(rng, 3, 150);
    const auto built = GlobalOrder::build(indexes);
    const Rows rows = rowsOf(*built);

    const auto saved = built->persisted();
    const fs::path path = data / "Quorvanta" / "global.ord";
    EXPECT_EQ(GlobalOrder::defaultPath(), path);
    EXPECT_TRUE(saved->isFileBacked());
    EXPECT_EQ(saved->persisted(), saved) << "a file-backed order is saved already";
    EXPECT_EQ(fileMode(path), 0600u);

    // The bytes follow the layout.
    const std::string bytes = readFile(path);
    ASSERT_EQ(bytes.size(), kHeaderBytes + 8 * rows.size());
    EXPECT_EQ(bytes.substr(0, 8), "QRVTGORD");
    ASSERT_EQ(getLE(bytes, 8), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(getLE(bytes, 16 + 16 * i), indexes[i]->storeID());
        EXPECT_EQ(getLE(bytes, 24 + 16 * i), indexes[i]->count());
    }
    EXPECT_EQ(bytes.find_first_not_of('\0', 16 + 16 * 3), kHeaderBytes) << "zeros up to the rows";
    for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(getLE(bytes, kHeaderBytes + 8 * i), rows[i]) << "row " << i;

    for (const auto& order : {saved, GlobalOrder::load()}) {
        ASSERT_TRUE(order);
        EXPECT_TRUE(order->isFileBacked());
        EXPECT_EQ(order->storeIDs(), built->storeIDs());
        EXPECT_EQ(order->ks(), built->ks());
        EXPECT_EQ(rowsOf(*order), rows);
        EXPECT_TRUE(order->matches(indexes));
    }
}

TEST(GlobalOrder, LoadChecksTheFile) {
    const TempDir dir;
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> one = {{7, 2}};
    std::vector<std::pair<std::uint64_t, std::uint64_t>> volumes63, volumes64;
    for (std::uint64_t i = 0; i < 64; ++i) (i < 63 ? volumes63 : volumes64).push_back({100 + i, 1});
    volumes64.insert(volumes64.begin(), volumes63.begin(), volumes63.end());
    const std::string twoRows = orderImage(one, {rowKey(0, 1), rowKey(0, 0)});
    struct Case {
        const char* what;
        std::string bytes;
        bool loads;
    };
    const std::vector<Case> cases = {
        {"a header of exactly 16,384 bytes, no rows", orderImage(one, {}), true},
        {"as many rows as the covered counts add up to", twoRows, true},
        {"N = 63", orderImage(volumes63, {}), true},
        {"k = 2^32", orderImage({{7, std::uint64_t(1) << 32}}, {}), true},
        {"N = 0", orderImage({}, {}), false},
        {"N = 64", orderImage(volumes64, {}), false},
        {"a bad magic", orderImage(one, {}, "QRVTGORE"), false},
        {"16,383 bytes", orderImage(one, {}).substr(0, kHeaderBytes - 1), false},
        {"an empty file", "", false},
        {"a length that is not a multiple of 8", twoRows + std::string(4, '\0'), false},
        {"more rows than the covered counts add up to", orderImage(one, {1, 2, 3}), false},
        {"k = 2^32 + 1", orderImage({{7, (std::uint64_t(1) << 32) + 1}}, {}), false},
        {"a k past the signed 64-bit numbers", orderImage({{7, std::uint64_t(1) << 63}}, {}), false},
    };
    for (const Case& c : cases) {
        const fs::path path = dir / "global.ord";
        writeBytes(path, c.bytes);
        const auto order = GlobalOrder::load(path);
        ASSERT_EQ(order != nullptr, c.loads) << c.what;
        if (!order) continue;
        EXPECT_TRUE(order->isFileBacked()) << c.what;
        EXPECT_EQ(order->storeIDs().size(), getLE(c.bytes, 8)) << c.what;
        EXPECT_EQ(order->storeIDs().front(), getLE(c.bytes, 16)) << c.what;
        EXPECT_EQ(order->ks().back(), getLE(c.bytes, 24 + 16 * (order->ks().size() - 1))) << c.what;
        EXPECT_EQ(rowsOf(*order).size(), (c.bytes.size() - kHeaderBytes) / 8) << c.what;
    }
    EXPECT_FALSE(GlobalOrder::load(dir / "missing.ord")) << "a missing file";
    fs::create_directory(dir / "folder.ord");
    EXPECT_FALSE(GlobalOrder::load(dir / "folder.ord")) << "a folder";
}

TEST(GlobalOrder, TheWalkSkipsRowsNamingNoCoveredEntry) {
    const TempDir dir;
    const Indexes indexes = {buildIndex({{"/a"}, {"b", 0}, {"d", 0}, {"f", 0}}),
                             buildIndex({{"/b"}, {"a", 0}, {"c", 0}, {"e", 0}})};
    const Rows valid = rowsOf(*GlobalOrder::build(indexes));  // a b c d e f
    // Two rows more than the order has (the roots leave room for them), two rows replaced.
    Rows damaged = valid;
    damaged.insert(damaged.begin(), rowKey(2, 0));      // volume N
    damaged.insert(damaged.begin() + 3, rowKey(0, 4));  // entry k of volume 0
    damaged[4] = rowKey(0xFFFFFFFFu, 0xFFFFFFFFu);      // was c (1, 2)
    damaged[6] = rowKey(1, 0xFFFFFFFFu);                // was e (1, 3)
    ASSERT_EQ(damaged.size(), 8u);
    const fs::path path = dir / "global.ord";
    writeBytes(path, orderImage({{indexes[0]->storeID(), 4}, {indexes[1]->storeID(), 4}}, damaged));
    const auto order = GlobalOrder::load(path);
    ASSERT_TRUE(order);
    ASSERT_TRUE(order->matches(indexes));
    const Lists hits = {{1, 2, 3}, {1, 2, 3}};
    EXPECT_EQ(mergeGlobal(*order, hits, indexes, false),
              (Rows{rowKey(1, 1), rowKey(0, 1), rowKey(0, 2), rowKey(0, 3)}));
    EXPECT_EQ(mergeGlobal(*order, hits, indexes, true), (Rows{rowKey(0, 3), rowKey(0, 2), rowKey(0, 1), rowKey(1, 1)}));
}

// The walk in slices, on the parallel loop, gives what one walk gives: for an order in memory and
// for a file whose rows name some hits twice (copies placed far from their first row, so that
// they fall in other slices), with hits on entries past the order (the tail), both directions.
TEST(GlobalOrder, TheWalkInSlicesGivesWhatOneWalkGives) {
    const TempDir dir;
    std::mt19937 rng(4511);
    for (int round = 0; round < 6; ++round) {
        const Indexes indexes = randomVolumes(rng, 3, 120);
        const auto built = GlobalOrder::build(indexes);
        Rows damaged = rowsOf(*built);
        for (std::size_t i = 0; i < damaged.size() / 8; ++i)
            damaged[rng() % damaged.size()] = damaged[rng() % damaged.size()];
        std::vector<std::pair<std::uint64_t, std::uint64_t>> header;
        for (std::size_t v = 0; v < indexes.size(); ++v) header.emplace_back(indexes[v]->storeID(), built->ks()[v]);
        const fs::path path = dir / "global.ord";
        writeBytes(path, orderImage(header, damaged));
        const auto loaded = GlobalOrder::load(path);
        ASSERT_TRUE(loaded);
        for (const auto& index : indexes) appendRandom(*index, rng, rng() % 10);
        Lists hits;
        for (const auto& index : indexes) hits.push_back(randomHits(*index, rng, 1 + rng() % 60));
        for (const GlobalOrder* order : {built.get(), loaded.get()})
            for (const bool desc : {false, true}) {
                const Rows whole = mergeGlobal(*order, hits, indexes, desc, SIZE_MAX);
                for (const std::size_t sliceRows : {1u, 2u, 3u, 7u, 40u})
                    EXPECT_EQ(mergeGlobal(*order, hits, indexes, desc, sliceRows), whole)
                        << "round " << round << (order == built.get() ? " built" : " damaged file")
                        << (desc ? " descending" : " ascending") << ", slices of " << sliceRows;
            }
    }
}

TEST(GlobalOrder, AFailedWriteKeepsTheOrderInMemory) {
    const TempDir data;
    const EnvOverride home("XDG_DATA_HOME", data.path().string());
    const Indexes indexes = {buildIndex({{"/a"}, {"x", 0}}), buildIndex({{"/b"}, {"y", 0}})};
    const auto order = GlobalOrder::build(indexes);
    fs::create_directories(GlobalOrder::defaultPath());
    EXPECT_EQ(order->persisted(), order) << "a folder stands at the data directory's file";
    fs::create_directory(data / "taken.ord");
    EXPECT_EQ(order->persisted(data / "taken.ord"), order) << "a folder stands at the path";
    EXPECT_EQ(order->persisted(data / "missing" / "global.ord"), order) << "no such folder";
    EXPECT_FALSE(order->isFileBacked());
    EXPECT_EQ(rowsOf(*order), (Rows{rowKey(0, 1), rowKey(1, 1)}));
}

TEST(GlobalOrder, OnlyOrdersThatCanBeLoadedAreWritten) {
    const TempDir dir;
    const auto index = buildIndex({{"/a"}, {"x", 0}});
    // Only volume counts the reader accepts are written; the header would hold up to 1,023, but
    // a file of 64 or more could never be loaded again.
    struct Case {
        std::size_t volumes;
        bool written;
    };
    for (const Case c :
         {Case{0, false}, Case{1, true}, Case{63, true}, Case{64, false}, Case{1023, false}, Case{1024, false}}) {
        const std::string what = std::to_string(c.volumes) + " volumes";
        const Indexes indexes(c.volumes, index);
        const auto order = GlobalOrder::build(indexes);
        ASSERT_EQ(rowsOf(*order).size(), c.volumes) << what;
        const fs::path path = dir / ("global" + std::to_string(c.volumes) + ".ord");
        const auto saved = order->persisted(path);
        if (c.written) {
            EXPECT_TRUE(saved->isFileBacked()) << what;
            EXPECT_EQ(fs::file_size(path), kHeaderBytes + 8 * c.volumes) << what;
            EXPECT_EQ(rowsOf(*saved), rowsOf(*order)) << what;
            const auto loaded = GlobalOrder::load(path);
            ASSERT_TRUE(loaded) << what << ": a written order loads";
            EXPECT_EQ(loaded->storeIDs(), order->storeIDs()) << what;
            EXPECT_EQ(rowsOf(*loaded), rowsOf(*order)) << what;
        } else {
            EXPECT_EQ(saved, order) << what << " stay in memory";
            EXPECT_FALSE(fs::exists(path)) << what << ": nothing is written";
        }
    }
}

TEST(GlobalOrder, AnOrderInUseKeepsItsRowsWhenTheFileIsReplaced) {
    const TempDir dir;
    const fs::path path = dir / "global.ord";
    std::mt19937 rng(5);
    const Indexes first = randomVolumes(rng, 2, 80);
    const Indexes second = randomVolumes(rng, 3, 80);
    const auto old = GlobalOrder::build(first)->persisted(path);
    ASSERT_TRUE(old->isFileBacked());
    const Rows before = rowsOf(*old);
    const auto replacement = GlobalOrder::build(second)->persisted(path);
    ASSERT_TRUE(replacement->isFileBacked());
    EXPECT_EQ(rowsOf(*old), before);
    EXPECT_EQ(rowsOf(*GlobalOrder::load(path)), rowsOf(*replacement));
}

TEST(GlobalOrder, MatchesAndTail) {
    const TempDir dir;
    const auto a = buildIndex({{"/a"}, {"x", 0}, {"y", 0}});
    const auto b = buildIndex({{"/b"}, {"x", 0}});
    const auto c = buildIndex({{"/c"}, {"x", 0}});
    const auto order = GlobalOrder::build(Indexes{a, b});
    const fs::path path = dir / "global.ord";
    writeBytes(path, orderImage({{a->storeID(), a->count()}, {b->storeID(), b->count() + 1}}, {}));
    const auto pastB = GlobalOrder::load(path);
    ASSERT_TRUE(pastB);
    struct Case {
        const char* what;
        std::shared_ptr<const GlobalOrder> order;
        Indexes indexes;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"the volumes it was built from", order, {a, b}, true},
        {"fewer volumes", order, {a}, false},
        {"more volumes", order, {a, b, c}, false},
        {"another store id", order, {a, c}, false},
        {"the volumes in another order", order, {b, a}, false},
        {"an index below its covered count", pastB, {a, b}, false},
    };
    for (const Case& t : cases) EXPECT_EQ(t.order->matches(t.indexes), t.matches) << t.what;

    EXPECT_EQ(order->tail(Indexes{a, b}), 0u);
    appendEntries(*b, {{"n1", 0}, {"n2", 0}, {"n3", 0}});
    EXPECT_TRUE(order->matches(Indexes{a, b})) << "an index grown past its covered count";
    EXPECT_EQ(order->tail(Indexes{a, b}), 3u);
    appendEntries(*a, {{"n1", 0}, {"n2", 0}});
    EXPECT_EQ(order->tail(Indexes{a, b}), 5u);
}

TEST(GlobalOrder, RebuildRule) {
    struct Case {
        std::uint64_t total;
        std::uint64_t tail;
        bool rebuild;
    };
    const std::vector<Case> cases = {
        {799'999, 100'000, false},
        {799'999, 100'001, true},
        {800'000, 100'000, false},
        {800'000, 100'001, true},
        {8'000'000, 1'000'000, false},
        {8'000'000, 1'000'001, true},
        {0, 0, false},
        {100, 100, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tailNeedsRebuild(c.total, c.tail), c.rebuild) << "total " << c.total << ", tail " << c.tail;

    const auto a = buildIndex({{"/a"}, {"x", 0}, {"y", 0}});
    const auto b = buildIndex({{"/b"}, {"x", 0}});
    const Indexes both = {a, b};
    EXPECT_TRUE(needsGlobalRebuild(nullptr, both)) << "no order";
    const auto order = GlobalOrder::build(both);
    EXPECT_FALSE(needsGlobalRebuild(order.get(), both)) << "a fresh order";
    EXPECT_TRUE(needsGlobalRebuild(order.get(), Indexes{b, a})) << "an order that does not match";
    // The tail and the total come from the indexes: 5 + 100,000 entries, 100,000 of them new.
    std::vector<core::test::IndexEntry> more(100'000);
    for (std::size_t i = 0; i < more.size(); ++i) more[i] = {"n" + std::to_string(i), 0};
    appendEntries(*b, more);
    EXPECT_FALSE(needsGlobalRebuild(order.get(), both)) << "a tail of 100,000";
    appendEntries(*a, {{"one more", 0}});
    EXPECT_TRUE(needsGlobalRebuild(order.get(), both)) << "a tail of 100,001";
}

// Seeded damage to a real file: bytes, the volume count, covered counts, rows and the length.
// Whatever loads must answer `matches`, `tail` and the walk without reading outside its data
// (the checks of the fuzz harness, GlobalOrderOracle.h).
TEST(GlobalOrder, DamagedFilesNeverCrashTheReader) {
    const TempDir dir;
    std::mt19937 rng(2024);
    const Indexes indexes = randomVolumes(rng, 3, 60);
    const fs::path path = dir / "global.ord";
    ASSERT_TRUE(GlobalOrder::build(indexes)->persisted(path)->isFileBacked());
    const std::string image = readFile(path);
    const std::size_t rows = (image.size() - kHeaderBytes) / 8;
    Lists hits;
    for (const auto& index : indexes) hits.push_back(randomHits(*index, rng, 60));
    const auto pick = [&](std::initializer_list<std::uint64_t> values) {
        return *(values.begin() + rng() % values.size());
    };
    int loaded = 0;
    for (int iteration = 0; iteration < 400; ++iteration) {
        std::string bytes = image;
        for (int m = 1 + int(rng() % 3); m > 0 && bytes.size() >= 32; --m) {
            const std::uint64_t v = rng() % 3;
            const std::uint64_t k = indexes[v]->count();
            switch (rng() % 6) {
                case 0:
                    bytes[rng() % bytes.size()] = static_cast<char>(rng());
                    break;
                case 1:
                    putLE(bytes, 8, pick({0, 1, 2, 4, 63, 64, 1023, rng()}));
                    break;
                case 2:
                    if (bytes.size() >= 32 + 16 * v)
                        putLE(bytes, 24 + 16 * v,
                              pick({0, k - 1, k + 1, std::uint64_t(1) << 32, (std::uint64_t(1) << 32) + 1}));
                    break;
                case 3:
                    if (rows > 0 && bytes.size() >= kHeaderBytes + 8 * rows)
                        putLE(bytes, kHeaderBytes + 8 * (rng() % rows),
                              rowKey(static_cast<std::uint32_t>(pick({0, 1, 2, 3, 0xFFFFFFFF})),
                                     static_cast<std::uint32_t>(pick({0, k - 1, k, k + 1, 0xFFFFFFFF}))));
                    break;
                case 4:
                    bytes.resize(rng() % (bytes.size() + 1));
                    break;
                case 5:
                    bytes.append(std::string(8 * (1 + rng() % 3), static_cast<char>(rng())));
                    break;
            }
        }
        writeBytes(path, bytes);
        EXPECT_EQ(fuzz::globalOrderProblem(path, indexes, hits), "") << "iteration " << iteration;
        loaded += GlobalOrder::load(path) != nullptr;
    }
    EXPECT_GT(loaded, 40) << "too few damaged files loaded to exercise the reader";
}

}  // namespace
}  // namespace quorvanta::app::test
