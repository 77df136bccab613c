// Scanning through VolumeIndex: roots in order, failures, a full index, statistics, scan state,
// cancellation and readers beside a running scan. Trees are made in the test's own folder.
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <thread>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;

// Makes entries below `base`: a name ending in "/" is a folder, any other a file of `fileBytes`
// bytes. Gives base as a string.
std::string makeTree(const fs::path& base, const std::vector<std::string>& entries, size_t fileBytes = 0) {
    fs::create_directories(base);
    for (const std::string& e : entries) {
        fs::create_directories((base / e).parent_path());
        if (e.back() != '/') std::ofstream(base / e) << std::string(fileBytes, 'x');
    }
    return base.string();
}

// Ten folders d0..d9 below `base`, and below them `folders` folders in turn, each holding
// `files` files: 1 + 10 + folders x (files + 1) entries.
std::string makeWideTree(const fs::path& base, int folders, int files) {
    std::vector<std::string> entries;
    for (int d = 0; d < folders; ++d) {
        const std::string dir = "d" + std::to_string(d % 10) + "/s" + std::to_string(d) + "/";
        entries.push_back(dir);
        for (int f = 0; f < files; ++f) entries.push_back(dir + "file" + std::to_string(f) + ".txt");
    }
    return makeTree(base, entries);
}

// A scan's index of small capacity.
std::shared_ptr<VolumeIndex> smallIndex(std::vector<std::string> excludes = {}) {
    return VolumeIndex::create(1u << 16, 1u << 22, std::move(excludes));
}

std::set<std::string> allPaths(const VolumeIndex& index) {
    std::set<std::string> out;
    for (uint32_t e = 0; e < index.count(); ++e) out.insert(index.path(e));
    return out;
}

// Runs the scan and gives the case it threw, or none.
std::optional<IndexError::Case> scanCase(VolumeIndex& index, const std::vector<std::string>& roots, int threads = 2,
                                         int throttleMicros = 0) {
    try {
        index.scan(roots, threads, throttleMicros);
    } catch (const IndexError& e) {
        return e.errorCase();
    }
    return std::nullopt;
}

TEST(VolumeIndexScan, ScansRootsInOrderAndSumsTheirStatistics) {
    test::TempDir tmp;
    const std::string a = makeTree(tmp / "a", {"f1.txt", "sub/", "sub/f2.mp3"}, 3);
    const std::string b = makeTree(tmp / "b", {"g.txt"}, 7);
    auto index = smallIndex();
    index->scan({a, b + "/"}, 4, 0);

    EXPECT_EQ(allPaths(*index),
              (std::set<std::string>{a, a + "/f1.txt", a + "/sub", a + "/sub/f2.mp3", b + "/", b + "/g.txt"}))
        << "the root written with a trailing slash joins without doubling it";
    EXPECT_EQ(index->name(0), a);
    EXPECT_TRUE(index->flags(0).contains(EntryFlags::root | EntryFlags::dir));
    const scan_stats first = index->stats();
    EXPECT_EQ(first.files, 3u);
    EXPECT_EQ(first.dirs, 1u);
    EXPECT_EQ(first.bytes, 3u + 3 + 7);
    EXPECT_EQ(first.errors, 0u);
    EXPECT_EQ(index->liveCount(), index->count());
    EXPECT_FALSE(index->isScanning());
    const double seconds = index->scanSeconds();
    EXPECT_GT(seconds, 0.0);

    const std::string c = makeTree(tmp / "c", {"x/", "x/y/", "h.mp3"}, 11);
    index->scan({c}, 1, 0);
    const scan_stats both = index->stats();
    EXPECT_EQ(both.files, 4u);
    EXPECT_EQ(both.dirs, 3u);
    EXPECT_EQ(both.bytes, first.bytes + 11);
    EXPECT_GT(index->scanSeconds(), seconds);
    EXPECT_EQ(index->count(), 10u);
}

TEST(VolumeIndexScan, CannotOpenCarriesTheFailingRootAndStops) {
    test::TempDir tmp;
    const std::string good = makeTree(tmp / "good", {"one.txt"});
    const std::string later = makeTree(tmp / "later", {"two.txt"});
    const std::string file = makeTree(tmp / "plain", {"file.txt"}) + "/file.txt";
    const std::string bad[] = {(tmp / "missing").string(), file, good + std::string("\0x", 2), ""};
    for (const std::string& root : bad) {
        auto index = smallIndex();
        try {
            index->scan({good, root, later}, 2, 0);
            ADD_FAILURE() << "no error for " << root;
        } catch (const IndexError& e) {
            EXPECT_EQ(e.errorCase(), IndexError::Case::cannotOpen);
            EXPECT_EQ(e.path(), root);
        }
        EXPECT_EQ(allPaths(*index), (std::set<std::string>{good, good + "/one.txt"}))
            << "the first root stays, the one after the failure is not scanned";
        EXPECT_FALSE(index->isScanning());
        EXPECT_GT(index->scanSeconds(), 0.0);
    }

    try {
        VolumeIndex::scanned({(tmp / "missing").string()}, 2);
        ADD_FAILURE() << "no error";
    } catch (const IndexError& e) {
        EXPECT_STREQ(e.what(), ("cannotOpen(\"" + (tmp / "missing").string() + "\")").c_str());
    }
    auto whole = VolumeIndex::scanned({good, later}, 2);
    EXPECT_EQ(whole->count(), 4u);
}

TEST(VolumeIndexScan, AFullIndexThrowsNothingAndAddsNoFurtherRoot) {
    test::TempDir tmp;
    const std::string first = makeTree(tmp / "first", {"a", "b", "c"});
    const std::string second = makeTree(tmp / "second", {"d"});
    const std::string third = makeTree(tmp / "third", {});

    // Room for 4 entries: the first root and its three files fill it, the second root is refused.
    auto index = VolumeIndex::create(5, 1u << 20, {});
    EXPECT_EQ(scanCase(*index, {first, second, third}), std::nullopt);
    EXPECT_TRUE(index->overflowed());
    EXPECT_EQ(allPaths(*index), (std::set<std::string>{first, first + "/a", first + "/b", first + "/c"}));
    EXPECT_FALSE(index->isScanning());

    // A folder refused inside a root is counted, and the scan goes on with the next root.
    auto tight = VolumeIndex::create(3, 1u << 20, {});
    EXPECT_EQ(scanCase(*tight, {first, third}), std::nullopt);
    EXPECT_TRUE(tight->overflowed());
    EXPECT_EQ(allPaths(*tight), (std::set<std::string>{first, third}));
    EXPECT_EQ(tight->stats().errors, 1u);
}

TEST(VolumeIndexScan, KeepsIncludedExtensionsAndSkipsExcludedFolders) {
    test::TempDir tmp;
    const std::string root =
        makeTree(tmp / "r", {"a.mp3", "B.MP3", "x.flac", "README", "keep/", "keep/c.mp3", "skip/", "skip/d.mp3"});
    auto index = smallIndex({root + "/skip/"});
    index->setIncludeExts({"mp3"});
    EXPECT_EQ(index->includeExts(), std::vector<std::string>{"mp3"});
    index->scan({root}, 2, 0);
    EXPECT_EQ(allPaths(*index), (std::set<std::string>{root, root + "/a.mp3", root + "/B.MP3", root + "/keep",
                                                       root + "/keep/c.mp3", root + "/skip"}));

    index->setIncludeExts({});
    const std::string more = makeTree(tmp / "more", {"y.flac"});
    index->scan({more}, 2, 0);
    EXPECT_TRUE(allPaths(*index).count(more + "/y.flac")) << "an empty list keeps every file";
}

TEST(VolumeIndexScan, ClampsThreadCountsAndPauses) {
    test::TempDir tmp;
    const std::string root = makeWideTree(tmp / "t", 12, 2);
    struct Case {
        int threads;
        int throttleMicros;
    };
    // A negative pause taken as unsigned would sleep for over an hour per folder.
    for (const Case c : {Case{0, 0}, Case{1000, -1}, Case{-5, INT_MIN}}) {
        auto index = smallIndex();
        index->scan({root}, c.threads, c.throttleMicros);
        EXPECT_EQ(index->count(), 1u + 10 + 12 + 24) << "threads " << c.threads << ", pause " << c.throttleMicros;
    }
}

TEST(VolumeIndexScan, IsScanningOnlyWhileAScanRuns) {
    test::TempDir tmp;
    const std::string root = makeWideTree(tmp / "t", 10, 1);
    auto index = smallIndex();
    EXPECT_FALSE(index->isScanning());
    std::atomic<bool> done{false}, seen{false};
    std::thread watcher([&] {
        while (!done && !seen)
            if (index->isScanning()) seen = true;
    });
    index->scan({root}, 1, 20000);  // 21 folders at 20 ms each
    done = true;
    watcher.join();
    EXPECT_TRUE(seen.load());
    EXPECT_FALSE(index->isScanning());
}

TEST(VolumeIndexCancel, BeforeTheScanOnlyTheFirstRootEntryIsAdded) {
    test::TempDir tmp;
    const std::string a = makeTree(tmp / "a", {"f", "sub/", "sub/g"});
    const std::string b = makeTree(tmp / "b", {"h"});
    auto index = smallIndex();
    index->cancelScan();
    EXPECT_EQ(scanCase(*index, {a, b}), IndexError::Case::cancelled);
    EXPECT_EQ(allPaths(*index), std::set<std::string>{a});
    EXPECT_FALSE(index->isScanning());

    EXPECT_EQ(scanCase(*index, {b}), IndexError::Case::cancelled) << "cancelling is permanent";
    EXPECT_EQ(allPaths(*index), (std::set<std::string>{a, b}));
}

TEST(VolumeIndexCancel, FromAnotherThreadStopsALargeScan) {
    test::TempDir tmp;
    const std::string root = makeWideTree(tmp / "t", 300, 3);
    const uint32_t whole = 1 + 10 + 300 * 4;
    auto index = smallIndex();
    std::thread canceller([&] {
        while (index->count() < 20) std::this_thread::yield();
        index->cancelScan();
    });
    EXPECT_EQ(scanCase(*index, {root}, 2, 5000), IndexError::Case::cancelled);
    canceller.join();
    EXPECT_LT(index->count(), whole);
    EXPECT_FALSE(index->isScanning());
}

TEST(VolumeIndexCancel, ACancelJustBeforeTheScanIsNeverLost) {
    test::TempDir tmp;
    // A chain of eight folders, each read after a 20 ms pause: a scan that missed the cancel
    // would go all the way down; one that saw it stops within a level or two.
    const std::string root = makeTree(tmp / "chain", {"1/2/3/4/5/6/7/8/"});
    constexpr uint32_t kWhole = 9;
    for (int round = 0; round < 40; ++round) {
        auto index = smallIndex();
        std::barrier start(2);
        std::thread canceller([&] {
            start.arrive_and_wait();
            index->cancelScan();
        });
        start.arrive_and_wait();
        const auto thrown = scanCase(*index, {root}, 1, 20000);
        canceller.join();
        ASSERT_EQ(thrown, IndexError::Case::cancelled) << "round " << round;
        ASSERT_LT(index->count(), kWhole) << "round " << round << ": the scan ran past the cancel";
    }
}

TEST(VolumeIndexConcurrency, ReadersBesideAScanSeeWholeEntries) {
    test::TempDir tmp;
    const std::string root = makeWideTree(tmp / "t", 200, 10);
    auto index = smallIndex();
    std::atomic<bool> done{false};
    std::atomic<int> faults{0};
    std::atomic<uint64_t> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&, t] {
            std::mt19937 random(t);
            while (!done) {
                const uint32_t n = index->count();
                if (n == 0) continue;
                const uint32_t e = random() % n;
                const std::string path = index->path(e), name = index->name(e);
                const bool isRoot = !index->parent(e);
                const bool shaped = path.rfind(root, 0) == 0 && path.size() >= name.size() &&
                                    path.compare(path.size() - name.size(), name.size(), name) == 0;
                const bool kinds = isRoot || index->flags(e).contains(EntryFlags::dir) == (index->ext(e) != "txt");
                if (!shaped || !kinds || index->size(e) != 0) ++faults;
                ++reads;
            }
        });
    index->scan({root}, 4, 0);
    done = true;
    for (std::thread& r : readers) r.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_GT(reads.load(), 0u);
    EXPECT_EQ(index->count(), 1u + 10 + 200 * 11);
}

}  // namespace
}  // namespace quorvanta::core
