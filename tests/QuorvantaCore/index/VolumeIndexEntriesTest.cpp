// The entry accessors of VolumeIndex over synthetic indexes, filled through the engine's batch
// API, so that each case holds exactly the entries it needs (a root named "/" included).
#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/text/Fold.h"
#include "tests/QuorvantaCore/index/IndexTestSupport.h"
#include "tests/QuorvantaCore/index_engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

namespace quorvanta::core {
namespace {

namespace engine = quorvanta::index_engine;
using engine::test::commitNames;

using test::commitRecords;
using test::kRootFlags;
using test::listed;
using test::Record;

std::shared_ptr<VolumeIndex> smallIndex(std::vector<std::string> excludes = {}) {
    return VolumeIndex::create(1u << 16, 1u << 20, std::move(excludes));
}

TEST(VolumeIndexEntries, EdgeCases) {
    auto index = smallIndex();
    const uint32_t root = commitNames(index->s(), {"/"}, FIDX_NONE, kRootFlags);
    const uint32_t users = commitNames(index->s(), {"Users"}, root, FIDX_FOLDER);
    const uint32_t x =
        commitRecords(*index, users, {{"x"}, {"README"}, {"x.app", 0, 0, 0, FIDX_FOLDER}, {"photo.jpg"}});
    const std::string jpg = std::to_string(index->extID(x + 3));
    const std::string below100 = listed(index->directories(100));
    struct Case {
        std::string what, actual, expected;
    };
    const Case cases[] = {
        {"path below the root \"/\"", index->path(x), "/Users/x"},
        {"parent of a root", index->parent(root) ? "some" : "none", "none"},
        {"path of a root", index->path(root), "/"},
        {"ext of a folder", index->ext(x + 2), ""},
        {"ext of README", index->ext(x + 1), ""},
        {"extName of id 0", index->extName(0), ""},
        {"extIDs of JPG, nope, jpg", listed(index->extIDs({"JPG", "nope", "jpg"})), jpg + "," + jpg},
        {"directories up to 0", listed(index->directories(0)), ""},
        {"directories up to 100", below100, "0,1,4"},
        {"directories up to 2 after 100", listed(index->directories(2)), "0,1"},
        {"liveCount", std::to_string(index->liveCount()), std::to_string(index->count())},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

TEST(VolumeIndexEntries, PathJoinsNamesWithOneSlash) {
    struct Case {
        std::string root;
        std::vector<std::string> below;  // one folder per level, the last a file
        std::string path;
    };
    const Case cases[] = {
        {"/data/", {"x"}, "/data/x"},
        {"/data", {"sub", "f.txt"}, "/data/sub/f.txt"},
        {"/data", {}, "/data"},
        {"/", {}, "/"},
        {"relative", {"a b", "\xff\xfe"}, "relative/a b/\xff\xfe"},  // bytes, not text
    };
    for (const Case& c : cases) {
        auto index = smallIndex();
        uint32_t e = commitNames(index->s(), {c.root}, FIDX_NONE, kRootFlags);
        for (size_t level = 0; level < c.below.size(); ++level) {
            const bool last = level + 1 == c.below.size();
            e = commitNames(index->s(), {c.below[level]}, e, last ? 0 : FIDX_FOLDER);
        }
        EXPECT_EQ(index->path(e), c.path) << "root " << c.root;
        EXPECT_EQ(index->name(0), c.root);
        EXPECT_EQ(index->path(0), c.root) << "a root's path is its name";
        EXPECT_EQ(index->parent(0), std::nullopt);
        if (e != 0) {
            EXPECT_EQ(index->parent(e), e - 1);
        }
    }
}

TEST(VolumeIndexEntries, PathEndsOnADamagedParentChain) {
    auto index = smallIndex();
    // Entry 0 names entry 1 as its parent and entry 1 names entry 0: a cycle no scan makes.
    commitNames(index->s(), {"a"}, 1);
    commitNames(index->s(), {"b"}, 0);
    EXPECT_EQ(index->path(0), "a/b/a") << "at most count() parents are followed";

    // A parent beyond the published entries ends the walk there.
    const uint32_t orphan = commitNames(index->s(), {"orphan"}, 1000);
    EXPECT_EQ(index->path(orphan), "orphan");
}

TEST(VolumeIndexEntries, ReadsTheColumnsOfEachEntry) {
    auto index = smallIndex();
    const uint32_t root = commitNames(index->s(), {"/r"}, FIDX_NONE, kRootFlags);
    const uint32_t first = commitRecords(*index, root,
                                         {{"photo.JPG", 1234567890123ull, 1700000000, 1600000000, 0},
                                          {"x.app", 0, 4000000000u, 0, FIDX_FOLDER | FIDX_HIDDEN},
                                          {"README", 7, 1, 2, FIDX_JUNK},
                                          {"link.txt", 0, 3, 4, FIDX_SYMLINK}});
    EXPECT_EQ(index->count(), 5u);
    EXPECT_EQ(index->size(first), 1234567890123ull);
    EXPECT_EQ(index->mtime(first), 1700000000u);
    EXPECT_EQ(index->ctime(first), 1600000000u);
    EXPECT_EQ(index->mtime(first + 1), 4000000000u);
    EXPECT_EQ(index->flags(root), EntryFlags::dir | EntryFlags::root);
    EXPECT_EQ(index->flags(first + 1), EntryFlags::dir | EntryFlags::hidden);
    EXPECT_TRUE(index->flags(first + 2).contains(EntryFlags::junk));
    EXPECT_FALSE(index->flags(first + 2).contains(EntryFlags::junk | EntryFlags::dir));
    EXPECT_TRUE(index->flags(first + 3).contains(EntryFlags::symlink));

    EXPECT_EQ(index->ext(first), "jpg");
    EXPECT_EQ(index->extName(index->extID(first + 3)), "txt");
    EXPECT_EQ(index->extID(first + 1), 0) << "a folder has no extension";
    EXPECT_EQ(index->extName(500), "") << "an id the table does not hold";
}

TEST(VolumeIndexEntries, ExtIDsFoldTheGivenExtensions) {
    auto index = smallIndex();
    const uint32_t root = commitNames(index->s(), {"/r"}, FIDX_NONE, kRootFlags);
    const uint32_t photo = commitNames(index->s(), {"photo.jpg", "x.eps", "Été.ÉPS"}, root);
    const uint16_t jpg = index->extID(photo), eps = index->extID(photo + 1);
    ASSERT_NE(jpg, 0);
    ASSERT_NE(eps, 0);
    EXPECT_EQ(index->extID(photo + 2), eps) << "a folded extension shares the id";

    EXPECT_EQ(index->extIDs({"JPG", "nope", "jpg", "ÉPS"}), (std::vector<uint16_t>{jpg, jpg, eps}));
    EXPECT_EQ(index->extIDs({"", ".jpg", "jpgjpgjpgjpgjpgjpg", std::string("jpg\0x", 5)}), std::vector<uint16_t>{});
    EXPECT_EQ(index->extIDs({}), std::vector<uint16_t>{});
}

TEST(VolumeIndexEntries, FoldsNamesWithTheSystemFold) {
    auto index = smallIndex();
    const uint32_t e = commitNames(index->s(), {"Été.TXT"}, FIDX_NONE, 0);
    const fidx* h = index->s();
    const std::string folded(reinterpret_cast<const char*>(h->folded + h->name_off[e]), index->name(e).size());
    EXPECT_EQ(folded, "ete.txt\x01\x01") << "the fold hook is installed before the first index exists";
    EXPECT_EQ(index->ext(e), "txt");
    EXPECT_EQ(VolumeIndex::fold("ÉTÉ Ünïcode"), text::fold("ÉTÉ Ünïcode"));
    EXPECT_EQ(VolumeIndex::fold("ÉTÉ"), "ete");
}

TEST(VolumeIndexEntries, CountsArrayBytesAndLiveEntries) {
    auto index = smallIndex();
    EXPECT_EQ(index->arrayBytes(), 4u) << "an empty index";
    const uint32_t root = commitNames(index->s(), {"/"}, FIDX_NONE, kRootFlags);
    commitNames(index->s(), {"Users", "x"}, root);
    // Name bytes with their NULs: 2 + 6 + 2.
    EXPECT_EQ(index->arrayBytes(), 2u * 10 + 27u * 3 + 4);
    EXPECT_EQ(index->liveCount(), 3);
    EXPECT_EQ(index->deletedCount(), 0);
    EXPECT_EQ(index->mutations(), 0);
    EXPECT_FALSE(index->overflowed());
}

TEST(VolumeIndexEntries, StoreIDsAreNonZeroAndDistinct) {
    std::set<uint64_t> ids;
    for (int i = 0; i < 16; ++i) {
        const uint64_t id = smallIndex()->storeID();
        EXPECT_NE(id, 0u);
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 16u);
}

TEST(VolumeIndexEntries, AdoptingKeepsTheHandleAndTheStoreID) {
    VolumeIndex::EngineHandle handle(fidx_new(1u << 16, 1u << 20));
    fidx* raw = handle.get();
    commitNames(raw, {"/kept"}, FIDX_NONE, kRootFlags);
    commitNames(raw, {"a.mp3"}, 0);
    auto index = VolumeIndex::adopting(std::move(handle), 0x1234567890ABCDEFull, {"/kept/x/"});
    EXPECT_EQ(index->s(), raw);
    EXPECT_EQ(index->storeID(), 0x1234567890ABCDEFull);
    EXPECT_EQ(index->count(), 2u);
    EXPECT_EQ(index->path(1), "/kept/a.mp3");
    EXPECT_EQ(index->excludes(), std::vector<std::string>{"/kept/x"});
    EXPECT_THROW(VolumeIndex::adopting(nullptr, 1, {}), std::invalid_argument);
}

TEST(VolumeIndexEntries, ExclusionsLoseOneTrailingSlash) {
    auto index = smallIndex({"/a/", "/", "/b//", "c", "d/", ""});
    EXPECT_EQ(index->excludes(), (std::vector<std::string>{"/a", "/", "/b/", "c", "d", ""}));
    EXPECT_FALSE(index->isScanning());
    EXPECT_EQ(index->audio(), nullptr);
    EXPECT_EQ(index->content(), nullptr);
    EXPECT_EQ(index->audioVersion(), 0u);
    EXPECT_EQ(index->scanSeconds(), 0.0);
}

TEST(VolumeIndexEntries, ErrorsPrintTheirCaseAndPayload) {
    const IndexError open = IndexError::cannotOpen("/x \"y\"\n");
    EXPECT_EQ(open.errorCase(), IndexError::Case::cannotOpen);
    EXPECT_EQ(open.path(), "/x \"y\"\n");
    EXPECT_STREQ(open.what(), R"(cannotOpen("/x \"y\"\n"))");
    const IndexError cancelled = IndexError::cancelled();
    EXPECT_EQ(cancelled.errorCase(), IndexError::Case::cancelled);
    EXPECT_EQ(cancelled.path(), "");
    EXPECT_STREQ(cancelled.what(), "cancelled");
}

// Entries 0..n-1 of the index whose flags carry the folder bit, read directly.
std::vector<uint32_t> foldersBelow(const VolumeIndex& index, uint32_t n) {
    std::vector<uint32_t> out;
    for (uint32_t e = 0; e < n; ++e)
        if (index.flags(e).contains(EntryFlags::dir)) out.push_back(e);
    return out;
}

// A root and `n` entries below it, every third a folder and every seventh of those deleted.
std::shared_ptr<VolumeIndex> indexWithFolders(uint32_t n) {
    auto index = smallIndex();
    commitNames(index->s(), {"/r"}, FIDX_NONE, kRootFlags);
    std::vector<Record> records;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t flags = i % 3 ? 0 : i % 7 ? FIDX_FOLDER : FIDX_FOLDER | FIDX_DELETED;
        records.push_back({"e" + std::to_string(i), 0, 0, 0, flags});
    }
    commitRecords(*index, 0, records);
    return index;
}

TEST(VolumeIndexDirectories, GivesFoldersBelowTheBoundFromItsCache) {
    auto index = indexWithFolders(150);
    const uint32_t n = index->count();
    EXPECT_EQ(index->directories(0), std::vector<uint32_t>{});
    EXPECT_EQ(index->directories(100), foldersBelow(*index, 100));
    // Flip a folder bit behind the cache's back: a smaller bound is served from the cached list,
    // without reading the flags again.
    uint8_t& flag = index->s()->flags[1];
    ASSERT_TRUE(flag & FIDX_FOLDER);
    flag &= ~FIDX_FOLDER;
    const std::vector<uint32_t> below50 = index->directories(50);
    EXPECT_TRUE(std::is_sorted(below50.begin(), below50.end()));
    EXPECT_TRUE(std::find(below50.begin(), below50.end(), 1u) != below50.end());
    EXPECT_TRUE(std::all_of(below50.begin(), below50.end(), [](uint32_t e) { return e < 50; }));
    flag |= FIDX_FOLDER;

    EXPECT_EQ(index->directories(n + 1000), foldersBelow(*index, n)) << "clamped to the entry count";
    EXPECT_EQ(index->directories(UINT32_MAX), foldersBelow(*index, n));
    commitNames(index->s(), {"late"}, 0, FIDX_FOLDER);
    EXPECT_EQ(index->directories(UINT32_MAX), foldersBelow(*index, n + 1)) << "the cache extends to new entries";
}

TEST(VolumeIndexDirectories, ConcurrentCallersSeeConsistentLists) {
    auto index = indexWithFolders(3000);
    std::atomic<bool> appending{true};
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) commitNames(index->s(), {"f" + std::to_string(i), "g"}, 0, FIDX_FOLDER);
        appending = false;
    });
    std::vector<std::thread> readers;
    std::atomic<int> faults{0};
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&, t] {
            for (uint32_t round = 0; appending || round < 50; ++round) {
                const uint32_t before = index->count();
                const uint32_t bound = (round * 97 + t * 1013) % (before + 10);
                const std::vector<uint32_t> got = index->directories(bound);
                // Entries published meanwhile may or may not be in the list; nothing else may differ.
                const std::vector<uint32_t> least = foldersBelow(*index, std::min(bound, before));
                const std::vector<uint32_t> most = foldersBelow(*index, std::min(bound, index->count()));
                if (got.size() < least.size() || got.size() > most.size() ||
                    !std::equal(got.begin(), got.end(), most.begin()))
                    ++faults;
            }
        });
    writer.join();
    for (std::thread& r : readers) r.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(index->directories(UINT32_MAX), foldersBelow(*index, index->count()));
}

}  // namespace
}  // namespace quorvanta::core
