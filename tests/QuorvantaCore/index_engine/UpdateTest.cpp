#include "tests/QuorvantaCore/index_engine/TreeFixture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace quorvanta::index_engine::test {
namespace {

// Everything stored for one entry, name and folded name included.
auto stored(const fidx* h, uint32_t e) {
    return std::make_tuple(nameOf(h, e), foldedOf(h, e), extOf(h, e), int(h->flags[e]), h->size[e], h->mtime[e],
                           h->ctime[e]);
}

TEST(FidxAppend, ListedRecordsEqualWhatAScanStores) {
    WithTestFold fold;
    quorvanta::test::TempDir tmp;
    const std::string dir = (tmp / "d").string();
    makeDir(dir);
    for (const char* f : {"A.TXT", ".hidden", "Thumbs.db", "caf\xC3\xA9.Mp3", "\xC3\x89t\xC3\xA9"})
        makeFile(dir + "/" + f, 11);
    makeDir(dir + "/sub.d");
    setTimes(dir + "/A.TXT", 5000000000LL);
    ASSERT_EQ(symlink("A.TXT", (dir + "/ln").c_str()), 0);

    Index scanned = newIndex();
    ASSERT_EQ(fidx_scan(scanned.get(), dir.c_str(), 1, nullptr), 0);
    Index appended = newIndex();
    BatchOwner root;
    addRecord(root.b, dir.data(), dir.size(), 0, 0, 0, FIDX_FOLDER | FIDX_ROOT);
    ASSERT_EQ(commit(appended.get(), root.b, FIDX_NONE), 0u);
    fidx_listing l{};
    ASSERT_EQ(fidx_list(nullptr, dir.c_str(), 0, &l), 0);
    std::vector<uint32_t> all(l.count);
    for (uint32_t i = 0; i < l.count; ++i) all[i] = i;
    ASSERT_EQ(fidx_append(appended.get(), 0, &l, all.data(), l.count), 1u);
    fidx_listing_free(&l);
    ASSERT_EQ(fidx_count(appended.get()), fidx_count(scanned.get()));
    for (uint32_t e = 1; e < fidx_count(scanned.get()); ++e) {
        EXPECT_EQ(stored(appended.get(), e), stored(scanned.get(), e)) << nameOf(scanned.get(), e);
        EXPECT_EQ(appended->parent[e], 0u);
    }
}

TEST(FidxAppend, EdgeCases) {
    WithTestFold fold;
    // A hand-made listing: flags as a stale listing might carry them.
    BatchOwner listing;
    addRecord(listing.b, "plain", 5, 1, 2, 3, 0);
    addRecord(listing.b, "\xC3\xA9t\xC3\xA9", 6, 4, 5, 6, 0);
    addRecord(listing.b, "dev", 3, 0, 0, 0, FIDX_FOLDER | FIDX_OTHER_DEVICE | FIDX_HIDDEN);
    listing.b.recs[0].flags |= FIDX_NON_ASCII | FIDX_DELETED;  // wrongly stored bits
    listing.b.recs[1].flags &= ~FIDX_NON_ASCII;

    struct Case {
        const char* what;
        std::vector<uint32_t> idx;
        uint32_t maxEntries;
        uint32_t parent;
        bool added;
        bool overflow;
        std::vector<int> flags;  // of the new entries, in order
    };
    const Case cases[] = {
        {"non-ASCII and deleted bits recomputed, other device dropped",
         {0, 1, 2},
         100,
         0,
         true,
         false,
         {0, FIDX_NON_ASCII, FIDX_FOLDER | FIDX_HIDDEN}},
        {"records in the order given", {2, 0}, 100, 0, true, false, {FIDX_FOLDER | FIDX_HIDDEN, 0}},
        {"zero records", {}, 100, 0, false, false, {}},
        {"a record index outside the listing", {0, 3}, 100, 0, false, false, {}},
        {"a parent that is not an entry", {0}, 100, 5, false, false, {}},
        {"a batch that does not fit", {0, 1, 2}, 4, 0, false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Index h = newIndex(c.maxEntries, 1000);
        commitNames(h.get(), {"root"}, FIDX_NONE, FIDX_FOLDER | FIDX_ROOT);
        const uint32_t first =
            fidx_append(h.get(), c.parent, &listing.b, c.idx.data(), static_cast<uint32_t>(c.idx.size()));
        EXPECT_EQ(first, c.added ? 1u : FIDX_NONE);
        EXPECT_EQ(fidx_count(h.get()), c.added ? 1 + c.idx.size() : 1u);
        EXPECT_EQ(fidx_overflowed(h.get()) != 0, c.overflow);
        for (size_t k = 0; c.added && k < c.idx.size(); ++k) {
            EXPECT_EQ(h->flags[1 + k], c.flags[k]) << "entry " << 1 + k;
            EXPECT_EQ(h->size[1 + k], listing.b.recs[c.idx[k]].size);
        }
    }
}

TEST(FidxUpdate, DeletedBitAndMetadataInPlace) {
    Index h = newIndex();
    commitNames(h.get(), {"root"}, FIDX_NONE, FIDX_FOLDER | FIDX_ROOT);
    commitNames(h.get(), {"a.txt", "b"}, 0, FIDX_HIDDEN | FIDX_JUNK);
    EXPECT_EQ(fidx_set_deleted(h.get(), 1), 1) << "newly set";
    EXPECT_EQ(fidx_set_deleted(h.get(), 1), 0) << "already set";
    EXPECT_EQ(h->flags[1], FIDX_HIDDEN | FIDX_JUNK | FIDX_DELETED);
    EXPECT_EQ(nameOf(h.get(), 1), "a.txt");
    EXPECT_EQ(h->parent[1], 0u);
    EXPECT_EQ(extOf(h.get(), 1), "txt");
    EXPECT_EQ(h->flags[2], FIDX_HIDDEN | FIDX_JUNK);
    EXPECT_EQ(fidx_set_deleted(h.get(), 3), 0) << "outside the index: ignored";

    fidx_set_meta(h.get(), 2, 1ull << 40, 7, 8);
    EXPECT_EQ(h->size[2], 1ull << 40);
    EXPECT_EQ(h->mtime[2], 7u);
    EXPECT_EQ(h->ctime[2], 8u);
    fidx_set_meta(h.get(), 3, 1, 1, 1);  // ignored
    EXPECT_EQ(fidx_count(h.get()), 3u);
}

TEST(FidxRoots, InTheOrderAdded) {
    quorvanta::test::TempDir tmp;
    Index h = newIndex();
    std::vector<uint32_t> expected;
    for (const char* r : {"r1", "r2", "r3"}) {
        makeDir((tmp / r).string());
        makeFile((tmp / r).string() + "/f");
        expected.push_back(fidx_count(h.get()));
        ASSERT_EQ(fidx_scan(h.get(), (tmp / r).c_str(), 1, nullptr), 0);
    }
    uint32_t out[8] = {};
    EXPECT_EQ(fidx_roots(h.get(), out, 1), 1u);
    EXPECT_EQ(out[0], expected[0]);
    EXPECT_EQ(fidx_roots(h.get(), out, 8), 3u);
    EXPECT_EQ(std::vector<uint32_t>(out, out + 3), expected);
    EXPECT_EQ(fidx_roots(h.get(), out, 0), 0u);
}

// In-place writers on two threads, lock-free readers and searches, and a scan appending.
TEST(EngineConcurrency, InPlaceUpdatesBesideReadersAndAScan) {
    quorvanta::test::TempDir tmp;
    const std::string root = (tmp / "t").string();
    makeDir(root);
    for (int d = 0; d < 60; ++d) {
        makeDir(root + "/d" + std::to_string(d));
        for (int f = 0; f < 20; ++f) makeFile(root + "/d" + std::to_string(d) + "/file" + std::to_string(f) + ".txt");
    }
    Index h = newIndex();
    commitNames(h.get(), std::vector<std::string>(500, "seed.txt"));
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([&, w] {
            std::mt19937 rng(w);
            while (!done.load()) {
                const uint32_t c = fidx_count(h.get());
                const uint32_t e = rng() % (c + 10);  // some beyond the count: ignored
                if (rng() % 2)
                    fidx_set_deleted(h.get(), e);
                else
                    fidx_set_meta(h.get(), e, rng(), rng(), rng());
            }
        });
    std::atomic<uint64_t> seen{0};
    for (int r = 0; r < 2; ++r)
        threads.emplace_back([&] {
            std::vector<uint32_t> out;
            while (!done.load()) {
                const uint32_t c = fidx_count(h.get());
                uint64_t sum = 0;
                for (uint32_t e = 0; e < c; ++e) {
                    sum += std::atomic_ref<uint64_t>(h->size[e]).load(std::memory_order_relaxed);
                    sum += std::atomic_ref<uint32_t>(h->mtime[e]).load(std::memory_order_relaxed);
                    sum += std::atomic_ref<uint8_t>(h->flags[e]).load(std::memory_order_relaxed);
                }
                out.resize(c);
                const uint8_t needle[] = {'.', 't', 'x', 't'};
                seen += sum + fidx_find(h.get(), h->folded, needle, 4, 0, c, FIDX_DELETED, out.data(), nullptr);
            }
        });
    scan_stats st{};
    EXPECT_EQ(fidx_scan(h.get(), root.c_str(), 4, &st), 0);
    done = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(st.files, 1200u);
    EXPECT_EQ(fidx_count(h.get()), 500u + 1 + 60 + 1200);
}

}  // namespace
}  // namespace quorvanta::index_engine::test
