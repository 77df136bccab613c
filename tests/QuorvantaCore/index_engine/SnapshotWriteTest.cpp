// Writing snapshot and cache files: which paths are refused, what a refused or failed write
// leaves behind (nothing), mapped file ranges, and saves beside updates, appends and another
// writer of the same path.
#include "QuorvantaCore/index_engine/CacheFiles.h"
#include "tests/QuorvantaCore/index_engine/SnapshotTestSupport.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string_view>
#include <thread>

namespace quorvanta::index_engine::test {
namespace {

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

mode_t currentUmask() {
    const mode_t m = umask(0);
    umask(m);
    return m;
}

// A folder below `base` whose path is `length` bytes long once "/" + `leaf` is added.
fs::path folderForLength(const fs::path& base, size_t length, std::string_view leaf) {
    fs::path folder = base;
    while (folder.native().size() + 1 + leaf.size() < length) {
        const size_t room = length - (folder.native().size() + 1 + leaf.size());
        // Each step adds "/" + a component; leave room for at least one more byte when splitting.
        const size_t component = room - 1 <= 200 ? room - 1 : 150;
        folder /= std::string(component, 'd');
        fs::create_directories(folder);
    }
    return folder;
}

TEST(CacheFilePaths, RulesAsATable) {
    TempDir dir;
    fs::create_directories(dir / "external/sub");
    fs::create_directories(dir / "externalx");
    fs::create_directories(dir / "local");
    fs::create_directory_symlink(dir / "external", dir / "local/link");
    const std::string external = (dir / "external").string();
    const std::string_view folders[] = {external};
    const std::string d = dir.path().string();
    const fs::path deep = folderForLength(dir.path(), 1015, "x.idx");
    const std::string p1015 = (deep / "x.idx").string(), p1016 = (deep / "xx.idx").string();
    ASSERT_EQ(p1015.size(), 1015u);
    ASSERT_EQ(p1016.size(), 1016u);

    struct Row {
        std::string path;
        PathRule rule;
        bool allowed;
    };
    const std::vector<Row> rows = {
        {".idx", PathRule::cache, false},  // 4 bytes
        {"a.idx", PathRule::cache, true},  // 5 bytes, the current folder
        {p1015, PathRule::cache, true},
        {p1016, PathRule::cache, false},
        {d + "/a.IDX", PathRule::cache, false},
        {d + "/a.ord", PathRule::cache, true},
        {d + "/a.aud", PathRule::cache, true},
        {d + "/a.idx.tmp", PathRule::cache, false},
        {d + "/missing/a.idx", PathRule::cache, false},
        {d + "/external/a.idx", PathRule::cache, false},
        {d + "/external/sub/a.idx", PathRule::cache, false},
        {d + "/local/link/a.idx", PathRule::cache, false},
        {d + "/local/link/sub/a.aud", PathRule::cache, false},
        {d + "/externalx/a.idx", PathRule::cache, true},
        {d + "/local/a.idx", PathRule::cache, true},
        {d + "/local/a.ord", PathRule::removableCache, false},
        {d + "/local/a.aud", PathRule::removableCache, true},
        {d + "/local/a.CSV", PathRule::userExport, true},
        {d + "/local/a.Tsv", PathRule::userExport, true},
        {d + "/local/a.m3u", PathRule::userExport, true},
        {d + "/local/a.M3U8", PathRule::userExport, true},
        {d + "/local/a.txt", PathRule::userExport, false},
        {d + "/external/a.csv", PathRule::userExport, false},
        {"a.csv", PathRule::userExport, false},  // 5 bytes
        {"ab.csv", PathRule::userExport, true},  // 6 bytes
        {".m3u8", PathRule::userExport, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(pathAllowed(row.path.c_str(), row.rule, folders), row.allowed)
            << row.path << " rule " << int(row.rule);
    EXPECT_FALSE(pathAllowed(nullptr, PathRule::cache, folders));
    EXPECT_TRUE(path_ok((dir / "local/a.idx").c_str()));
    if (fs::is_directory("/mnt")) {
        EXPECT_FALSE(path_ok("/mnt/a.idx")) << "the platform's external-drive folders";
    }
}

TEST(CacheFileWrites, PublicCallsFollowTheRulesAndModes) {
    TempDir dir;
    const mode_t mask = currentUmask();
    const std::string bytes = "payload\n";
    EXPECT_EQ(fidx_write_file((dir / "g.ord").c_str(), bytes.data(), bytes.size()), 0);
    EXPECT_EQ(readFile(dir / "g.ord"), bytes);
    EXPECT_EQ(modeOf(dir / "g.ord"), 0600 & ~mask);
    EXPECT_EQ(fidx_write_file((dir / "g.ORD").c_str(), bytes.data(), bytes.size()), -3);
    EXPECT_EQ(fidx_export_file((dir / "r.CSV").c_str(), bytes.data(), bytes.size()), 0);
    EXPECT_EQ(modeOf(dir / "r.CSV"), 0644 & ~mask);
    EXPECT_EQ(fidx_export_file((dir / "r.txt").c_str(), bytes.data(), bytes.size()), -3);
    EXPECT_EQ(fidx_write_file((dir / "nofolder/g.ord").c_str(), bytes.data(), bytes.size()), -3);
    if (fs::is_directory("/mnt")) {
        EXPECT_EQ(fidx_export_file("/mnt/r.csv", bytes.data(), bytes.size()), -3);
    }

    Index h = smallIndex(5);
    fidx_header_block block = blockFor(1);
    EXPECT_EQ(fidx_save(h.get(), (dir / "s.IDX").c_str(), &block, fidx_count(h.get()), nullptr), -3);
    EXPECT_FALSE(fs::exists(dir / "s.IDX"));

    EXPECT_EQ(fidx_remove_cache((dir / "g.ord").c_str()), -3) << "the global order is not removed";
    EXPECT_TRUE(fs::exists(dir / "g.ord"));
    EXPECT_EQ(fidx_write_file((dir / "c.aud").c_str(), bytes.data(), bytes.size()), 0);
    EXPECT_EQ(fidx_remove_cache((dir / "c.aud").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir / "c.aud"));
    EXPECT_EQ(fidx_remove_cache((dir / "c.aud").c_str()), -1) << "already gone";
    EXPECT_EQ(fidx_remove_cache((dir / "nofolder/c.idx").c_str()), -3);
    const std::vector<fs::path> left = folderEntries(dir.path());
    EXPECT_EQ(left.size(), 2u) << "g.ord and r.CSV, no temporary files";
}

TEST(SnapshotWrite, StaleCountAndFailedWritesLeaveNothingBehind) {
    TempDir dir;
    Index h = smallIndex(6);
    fidx_header_block block = blockFor(1);
    EXPECT_EQ(fidx_save(h.get(), (dir / "a.idx").c_str(), &block, fidx_count(h.get()) - 1, nullptr), -2);
    EXPECT_TRUE(folderEntries(dir.path()).empty()) << "neither file nor temporary file";

    fs::create_directory(dir / "folder.idx");
    EXPECT_EQ(fidx_save(h.get(), (dir / "folder.idx").c_str(), &block, fidx_count(h.get()), nullptr), -1);
    EXPECT_TRUE(fs::is_directory(dir / "folder.idx"));
    EXPECT_EQ(folderEntries(dir.path()).size(), 1u) << "no temporary file";
    fs::remove(dir / "folder.idx");

    // A write that hits the file-size limit: the previous snapshot stays byte for byte.
    ASSERT_EQ(save(h.get(), dir / "a.idx"), 0);
    const std::string previous = readFile(dir / "a.idx");
    Index big = smallIndex(7, 20000);
    const auto child = quorvanta::test::runInChild([&]() -> std::string {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
        const int r = save(big.get(), dir / "a.idx");
        return std::to_string(r) + " " + std::to_string(errno == EFBIG);
    });
    ASSERT_TRUE(child.succeeded) << child.output;
    EXPECT_EQ(child.output, "-1 1");
    EXPECT_EQ(readFile(dir / "a.idx"), previous);
    EXPECT_EQ(folderEntries(dir.path()).size(), 1u) << "no temporary file";
}

TEST(SnapshotWrite, MapsFileRangesReadOnly) {
    TempDir dir;
    Index h = smallIndex(8);
    const Perms perms = makePerms(h.get(), 9);
    fidx_header_block block{};
    ASSERT_EQ(save(h.get(), dir / "m.idx", &perms, &block), 0);
    const uint64_t len = 4ull * block.n[1];
    void* p = fidx_map_ro((dir / "m.idx").c_str(), block.perm_off[1], len);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(bytesOf(p, len), bytesOf(perms.p[1].data(), len));
    fidx_unmap(p, len);
    const uint64_t size = fs::file_size(dir / "m.idx");
    EXPECT_EQ(fidx_map_ro((dir / "m.idx").c_str(), block.perm_off[1], 0), nullptr);
    EXPECT_EQ(fidx_map_ro((dir / "m.idx").c_str(), size - kAlign, kAlign + 1), nullptr) << "past the end";
    EXPECT_EQ(fidx_map_ro((dir / "m.idx").c_str(), ~0ull - 3, 8), nullptr);
    EXPECT_EQ(fidx_map_ro((dir / "none.idx").c_str(), kAlign, 4), nullptr);
    fidx_unmap(nullptr, 4);
}

// In-place updates from two threads while the index is saved again and again: every update is
// in memory afterwards (none fell between a save's write and its remap), and a fresh save and
// load give the same arrays.
TEST(SnapshotConcurrency, UpdatesDuringSavesAreKept) {
    TempDir dir;
    Index h = smallIndex(10, 6000);
    const uint32_t count = fidx_count(h.get());
    std::vector<uint64_t> sizes(count);
    std::vector<uint8_t> deleted(count);
    for (uint32_t i = 0; i < count; ++i) {
        sizes[i] = h->size[i];
        deleted[i] = h->flags[i] & FIDX_DELETED;
    }
    std::atomic<bool> done{false};
    auto updater = [&](uint32_t part) {
        std::mt19937 rng(part);
        for (uint64_t round = 1; !done.load() || round < 2000; ++round) {
            const uint32_t i = (rng() % (count / 2)) * 2 + part;  // each thread owns every other entry
            if (i >= count) continue;
            sizes[i] = round << 8 | part;
            fidx_set_meta(h.get(), i, sizes[i], uint32_t(round), uint32_t(i));
            if (rng() % 16 == 0) {
                fidx_set_deleted(h.get(), i);
                deleted[i] = FIDX_DELETED;
            }
            if (round > 200000) break;
        }
    };
    std::thread a(updater, 0), b(updater, 1);
    for (int s = 0; s < 12; ++s) ASSERT_EQ(save(h.get(), dir / "u.idx"), 0) << "save " << s;
    done = true;
    a.join();
    b.join();
    for (uint32_t i = 0; i < count; ++i) {
        ASSERT_EQ(h->size[i], sizes[i]) << "entry " << i;
        ASSERT_EQ(h->flags[i] & FIDX_DELETED, deleted[i]) << "entry " << i;
    }
    ASSERT_EQ(save(h.get(), dir / "u.idx"), 0);
    Index back = load(dir / "u.idx");
    ASSERT_TRUE(back);
    EXPECT_EQ(arrays(back.get()), arrays(h.get()));
}

// Batches committed while saves run: each save gives -2 (the count moved) or a file holding
// exactly the entries it was asked for.
TEST(SnapshotConcurrency, AppendsDuringSavesGiveStaleOrConsistentFiles) {
    TempDir dir;
    Index h = smallIndex(11, 100);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 400 && !done.load(); ++i)
            commitNames(
                h.get(),
                {"added " + std::to_string(i) + ".dat", "x" + std::to_string(i) + ".ext" + std::to_string(i % 7)}, 0);
    });
    int saved = 0, stale = 0;
    for (int s = 0; s < 40; ++s) {
        const uint32_t expected = fidx_count(h.get());
        fidx_header_block block = blockFor(2);
        const int r = fidx_save(h.get(), (dir / "w.idx").c_str(), &block, expected, nullptr);
        ASSERT_TRUE(r == 0 || r == -2) << r;
        if (r == -2) {
            ++stale;
            continue;
        }
        ++saved;
        Index back = load(dir / "w.idx");
        ASSERT_TRUE(back);
        ASSERT_EQ(fidx_count(back.get()), expected);
        EXPECT_EQ(arrays(back.get()), arrays(h.get(), expected, back->ext_count.load()));
    }
    done = true;
    writer.join();
    EXPECT_GT(saved, 0);
    (void)stale;
}

// Commits from four threads fill their entries outside the engine mutex: a save waits for the
// ones in progress, so each file still holds exactly the entries it was asked for, every one
// written whole.
TEST(SnapshotConcurrency, CommitsFromManyThreadsDuringSavesGiveStaleOrConsistentFiles) {
    TempDir dir;
    Index h = smallIndex(12, 100);
    std::atomic<bool> done{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 300 && !done.load(); ++i) {
                std::vector<std::string> names;
                for (int k = 0; k < 1 + (i + t) % 30; ++k)
                    names.push_back("w" + std::to_string(t) + " " + std::to_string(i) + "." + std::to_string(k % 9));
                commitNames(h.get(), names, 0);
            }
        });
    int saved = 0;
    for (int s = 0; s < 60; ++s) {
        const uint32_t expected = fidx_count(h.get());
        fidx_header_block block = blockFor(3);
        const int r = fidx_save(h.get(), (dir / "m.idx").c_str(), &block, expected, nullptr);
        ASSERT_TRUE(r == 0 || r == -2) << r;
        if (r == -2) continue;
        ++saved;
        Index back = load(dir / "m.idx");
        ASSERT_TRUE(back);
        ASSERT_EQ(fidx_count(back.get()), expected);
        EXPECT_EQ(arrays(back.get()), arrays(h.get(), expected, back->ext_count.load()));
    }
    done = true;
    for (std::thread& w : writers) w.join();
    const uint32_t all = fidx_count(h.get());
    fidx_header_block block = blockFor(3);
    ASSERT_EQ(fidx_save(h.get(), (dir / "m.idx").c_str(), &block, all, nullptr), 0) << "once the writers are done";
    Index back = load(dir / "m.idx");
    ASSERT_TRUE(back);
    EXPECT_EQ(arrays(back.get()), arrays(h.get()));
    (void)saved;
}

// Two indexes saved to one path over and over from two threads while a third loads it: every
// load succeeds and equals one of them, and each index keeps its own arrays (its remap reads the
// file it wrote, not whatever the path names by then).
TEST(SnapshotConcurrency, TwoWritersOfOnePath) {
    TempDir dir;
    Index x = smallIndex(12, 300), y = smallIndex(13, 500);
    const std::vector<std::string> ax = arrays(x.get()), ay = arrays(y.get());
    const fs::path path = dir / "shared.idx";
    ASSERT_EQ(save(x.get(), path), 0);
    std::atomic<int> running{2};
    auto writer = [&](fidx* h) {
        for (int i = 0; i < 15; ++i) EXPECT_EQ(save(h, path), 0);
        running.fetch_sub(1);
    };
    std::thread tx(writer, x.get()), ty(writer, y.get());
    int loads = 0;
    while (running.load() > 0 || loads == 0) {
        Index back = load(path);
        ASSERT_TRUE(back) << "load " << loads;
        const std::vector<std::string> got = arrays(back.get());
        ASSERT_TRUE(got == ax || got == ay) << "load " << loads << " is neither index";
        ++loads;
    }
    tx.join();
    ty.join();
    EXPECT_EQ(arrays(x.get()), ax);
    EXPECT_EQ(arrays(y.get()), ay);
    EXPECT_EQ(folderEntries(dir.path()).size(), 1u) << "no temporary file left";
}

}  // namespace
}  // namespace quorvanta::index_engine::test
