#include "tests/QuorvantaCore/index_engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <sstream>
#include <thread>

namespace quorvanta::index_engine::test {
namespace {

// Every name and its folded copy end with a NUL at the same offset, name_off has count + 1
// increasing slots, and its last slot is the number of name bytes in use.
void expectStoresConsistent(const fidx* h) {
    const uint32_t n = fidx_count(h);
    ASSERT_EQ(h->name_off[0], 0u);
    ASSERT_EQ(h->name_off[n], h->priv->nameBytes) << "closing slot after " << n << " entries";
    for (uint32_t e = 0; e < n; ++e) {
        const uint32_t start = h->name_off[e], end = h->name_off[e + 1];
        ASSERT_LT(start, end) << "entry " << e;
        ASSERT_EQ(h->names[end - 1], 0) << "entry " << e;
        ASSERT_EQ(h->folded[end - 1], 0) << "entry " << e;
        ASSERT_EQ(std::strlen(reinterpret_cast<const char*>(h->names + start)), end - start - 1) << "entry " << e;
        ASSERT_EQ(std::memchr(h->folded + start, 0, end - start - 1), nullptr) << "entry " << e;
    }
}

TEST(FidxNameStore, KeepsBothStoresAlignedAfterEveryCommit) {
    WithTestFold fold;
    Index h = newIndex();
    testFoldCalls = 0;
    const std::vector<std::vector<std::string>> batches = {
        {"Alpha.TXT"}, {"b", "CC", "dd.d"}, {"x.", ".."}, {std::string(200, 'Q')}};
    for (const auto& batch : batches) {
        commitNames(h.get(), batch);
        expectStoresConsistent(h.get());
    }
    EXPECT_EQ(testFoldCalls.load(), 0) << "ASCII-only names are folded inline";
    EXPECT_EQ(foldedOf(h.get(), 0), "alpha.txt");
    EXPECT_EQ(nameOf(h.get(), 0), "Alpha.TXT");
    for (uint32_t e = 0; e < fidx_count(h.get()); ++e) EXPECT_EQ(h->flags[e] & FIDX_NON_ASCII, 0);

    commitNames(h.get(), {"Caf\xC3\xA9", "plain"});
    expectStoresConsistent(h.get());
    EXPECT_EQ(testFoldCalls.load(), 1) << "only the non-ASCII name pays for the hook";
}

TEST(FidxCommit, WritesColumnsAndClearsTheOtherDeviceBit) {
    Index h = newIndex();
    BatchOwner batch;
    addRecord(batch.b, "dir", 3, 0, 10, 20, FIDX_FOLDER | FIDX_OTHER_DEVICE | FIDX_HIDDEN);
    addRecord(batch.b, "f.c", 3, 1234567890123ull, 0xFFFFFFFFu, 7, 0);
    ASSERT_EQ(commit(h.get(), batch.b, FIDX_NONE), 0u);
    ASSERT_EQ(commit(h.get(), batch.b, 1), 2u);
    EXPECT_EQ(fidx_count(h.get()), 4u);
    EXPECT_EQ(h->flags[0], FIDX_FOLDER | FIDX_HIDDEN);
    EXPECT_EQ(h->parent[0], FIDX_NONE);
    EXPECT_EQ(h->parent[3], 1u);
    EXPECT_EQ(h->size[3], 1234567890123ull);
    EXPECT_EQ(h->mtime[3], 0xFFFFFFFFu);
    EXPECT_EQ(h->ctime[2], 20u);
    EXPECT_EQ(nameOf(h.get(), 3), "f.c");
    BatchOwner empty;
    EXPECT_EQ(commit(h.get(), empty.b, 0), FIDX_NONE);
    EXPECT_EQ(fidx_overflowed(h.get()), 0u) << "an empty batch is not an overflow";
}

TEST(FidxCapacity, RefusesWholeBatchesThatDoNotFit) {
    struct Step {
        uint32_t records;
        uint32_t nameBytesEach;  // name length + NUL
        bool accepted;
    };
    struct Case {
        const char* what;
        uint32_t maxEntries;
        uint64_t maxNameBytes;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"9 entries fit an index of 10", 10, 1000, {{4, 2, true}, {5, 2, true}, {1, 2, false}}},
        {"a refused batch leaves room for a smaller one", 10, 1000, {{4, 2, true}, {6, 2, false}, {5, 2, true}}},
        {"name bytes + 1 meeting the limit exactly", 100, 11, {{5, 2, true}}},
        {"name bytes + 1 over the limit by one", 100, 11, {{1, 11, false}, {2, 5, true}}},
        {"maxEntries 0", 0, 1000, {{1, 2, false}}},
        {"maxEntries 1", 1, 1000, {{1, 2, false}}},
        {"maxEntries 2", 2, 1000, {{1, 2, true}, {1, 2, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Index h = newIndex(c.maxEntries, c.maxNameBytes);
        bool refusedBefore = false;
        for (const Step& s : c.steps) {
            const uint32_t before = fidx_count(h.get());
            std::vector<std::string> names(s.records, std::string(s.nameBytesEach - 1, 'n'));
            const uint32_t first = commitNames(h.get(), names);
            if (s.accepted) {
                EXPECT_EQ(first, before);
                EXPECT_EQ(fidx_count(h.get()), before + s.records);
            } else {
                EXPECT_EQ(first, FIDX_NONE);
                EXPECT_EQ(fidx_count(h.get()), before) << "a refused batch adds nothing";
                refusedBefore = true;
            }
            EXPECT_EQ(fidx_overflowed(h.get()) != 0, refusedBefore) << "the flag stays set once raised";
            expectStoresConsistent(h.get());
        }
    }
}

TEST(FidxCapacity, HugeBatchSizesCannotWrapTheTest) {
    Index h = newIndex(10, 1000);
    commitNames(h.get(), {"a", "b", "c"});
    // Sizes that wrap 32-bit (count) or 64-bit (bytes) sums; the records are never read.
    fidx_listing manyRecords{nullptr, 0xFFFFFFFFu, 0, nullptr, nullptr, 10, 0};
    fidx_listing manyBytes{nullptr, 1, 0, nullptr, nullptr, UINT64_MAX - 2, 0};
    EXPECT_EQ(commit(h.get(), manyRecords, 0), FIDX_NONE);
    EXPECT_EQ(commit(h.get(), manyBytes, 0), FIDX_NONE);
    EXPECT_EQ(fidx_count(h.get()), 3u);
    EXPECT_NE(fidx_overflowed(h.get()), 0u);
}

// The mappings of /proc/self/maps as [start, end) ranges, read without allocating afterwards.
std::vector<std::pair<uintptr_t, uintptr_t>> mappings() {
    std::string text(1 << 20, '\0');
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    size_t used = 0;
    for (ssize_t n; (n = read(fd, text.data() + used, text.size() - used)) > 0;) used += n;
    close(fd);
    text.resize(used);
    std::vector<std::pair<uintptr_t, uintptr_t>> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        uintptr_t a = 0, b = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &a, &b) == 2) out.emplace_back(a, b);
    }
    return out;
}

bool covered(const std::vector<std::pair<uintptr_t, uintptr_t>>& maps, uintptr_t start, uintptr_t end) {
    for (uintptr_t at = start; at < end;) {
        bool advanced = false;
        for (const auto& [a, b] : maps)
            if (a <= at && at < b) {
                at = b;
                advanced = true;
            }
        if (!advanced) return false;
    }
    return true;
}

bool touched(const std::vector<std::pair<uintptr_t, uintptr_t>>& maps, uintptr_t start, uintptr_t end) {
    for (const auto& [a, b] : maps)
        if (a < end && start < b) return true;
    return false;
}

TEST(FidxReservation, MapsRoundedRangesAndReleasesThem) {
    std::vector<std::pair<uintptr_t, uintptr_t>> ranges;
    {
        Index h = newIndex(1000, 100000);
        commitNames(h.get(), {"a", "b"});
        ranges.reserve(kArrayCount);
        const size_t expected[kArrayCount] = {100001, 100001, 4004, 4004, 8008, 4004, 4004, 1001, 2002};
        for (int a = 0; a < kArrayCount; ++a) {
            const Region& r = h->priv->regions[a];
            EXPECT_EQ(r.reserved % 16384, 0u) << "array " << a;
            EXPECT_GE(r.reserved, expected[a]) << "array " << a;
            EXPECT_LT(r.reserved, expected[a] + 16384) << "array " << a;
            ranges.emplace_back(reinterpret_cast<uintptr_t>(r.base), reinterpret_cast<uintptr_t>(r.base) + r.reserved);
        }
        EXPECT_EQ(h->priv->regions[kNames].base, h->names);
        EXPECT_EQ(h->priv->regions[kExt].base, h->ext);
        const auto maps = mappings();
        for (const auto& [a, b] : ranges) EXPECT_TRUE(covered(maps, a, b)) << std::hex << a << "-" << b;
    }
    const auto maps = mappings();
    for (const auto& [a, b] : ranges) EXPECT_FALSE(touched(maps, a, b)) << std::hex << a << "-" << b;
    fidx_free(nullptr);
}

TEST(FidxReservation, DefaultCapacityCostsOnlyAddressSpace) {
    Index h = newIndex(0x4000000, 0xC0000000ull);
    EXPECT_EQ(fidx_count(h.get()), 0u);
    EXPECT_EQ(h->name_off[0], 0u);
    EXPECT_EQ(commitNames(h.get(), {"one"}), 0u);
    EXPECT_EQ(nameOf(h.get(), 0), "one");
}

// 8 committers append batches under already-committed parents while 4 readers check, below
// every count they load, increasing offsets, NUL-terminated names and committed parents.
TEST(EngineConcurrency, ReadersSeeOnlyCompleteEntriesWhileCommittersAppend) {
    WithTestFold fold;
    Index h = newIndex(1u << 20, 64u << 20);
    constexpr int kCommitters = 8, kReaders = 4, kBatches = 300;
    std::atomic<int> running{kCommitters};
    std::atomic<uint64_t> readerFaults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kCommitters; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 rng(t);
            BatchOwner batch;
            for (int i = 0; i < kBatches; ++i) {
                resetBatch(batch.b);
                const int n = 1 + rng() % 40;
                for (int k = 0; k < n; ++k) {
                    std::string name = "t" + std::to_string(t) + "_" + std::to_string(i) + "_" + std::to_string(k);
                    if (k % 5 == 0) name += "\xC3\x89t\xC3\xA9";
                    name += k % 3 ? ".Txt" : ".dat";
                    addRecord(batch.b, name.data(), name.size(), k, i, t, k % 4 ? 0 : FIDX_FOLDER);
                }
                const uint32_t c = fidx_count(h.get());
                const uint32_t parent = c ? rng() % c : FIDX_NONE;
                commit(h.get(), batch.b, parent);
            }
            running.fetch_sub(1);
        });
    for (int r = 0; r < kReaders; ++r)
        threads.emplace_back([&] {
            uint32_t checkedUpTo = 0;
            while (running.load() > 0 || checkedUpTo < fidx_count(h.get())) {
                const uint32_t c = fidx_count(h.get());
                for (uint32_t e = checkedUpTo; e < c; ++e) {
                    const uint32_t start = h->name_off[e], end = h->name_off[e + 1];
                    const bool ok = start < end && h->names[end - 1] == 0 && h->folded[end - 1] == 0 &&
                                    std::strlen(reinterpret_cast<const char*>(h->names + start)) == end - start - 1 &&
                                    (h->parent[e] == FIDX_NONE || h->parent[e] < e) &&
                                    (h->ext[e] == 0 || h->ext[e] < h->ext_count.load(std::memory_order_acquire));
                    if (!ok) readerFaults.fetch_add(1);
                }
                checkedUpTo = c;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(readerFaults.load(), 0u);
    EXPECT_EQ(fidx_overflowed(h.get()), 0u);
    expectStoresConsistent(h.get());
    // Every parent was committed before its children.
    for (uint32_t e = 0; e < fidx_count(h.get()); ++e)
        ASSERT_TRUE(h->parent[e] == FIDX_NONE || h->parent[e] < e) << "entry " << e;
}

}  // namespace
}  // namespace quorvanta::index_engine::test
