// Snapshots of a VolumeIndex: save and load of a scanned tree with its sort orders, the header
// texts and times, failed saves, damaged permutations, the page backing after a save, saves
// beside concurrent changes, and peek (whole file or header only).
#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/index_engine/SnapshotFormat.h"
#include "tests/QuorvantaCore/index/IndexTestSupport.h"
#include "tests/QuorvantaCore/index_engine/SnapshotTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvanta::test::readFile;
using quorvanta::test::TempDir;
using std::chrono::system_clock;
using test::commitRecords;
using test::Record;

// A tree of folders and files with sizes, extensions, hidden and non-ASCII names.
void writeTree(const fs::path& root) {
    const std::vector<std::string> files = {
        "a.txt",
        "B.TXT",
        "song.mp3",
        "Café.jpg",
        ".hidden",
        "README",
        "music/x.flac",
        "music/y.FLAC",
        "music/deep/z.tar.gz",
        "docs/report.pdf",
        "docs/Résumé.docx",
        "docs/old/notes.md",
        "docs/old/notes2.md",
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path path = root / files[i];
        fs::create_directories(path.parent_path());
        std::ofstream(path) << std::string(i * 37, 'x');
    }
    fs::create_directories(root / "empty");
}

std::shared_ptr<VolumeIndex> scannedIndex(const fs::path& root) {
    auto index = VolumeIndex::create(VolumeIndex::defaultMaxEntries, VolumeIndex::defaultMaxNameBytes, {});
    index->scan({root.string()}, 4, 0);
    return index;
}

std::vector<std::uint32_t> idsOf(const Perm& perm) { return {perm.begin(), perm.end()}; }

// Entries, extension table and roots of two indexes compared as bytes.
void expectSameEntries(const VolumeIndex& a, const VolumeIndex& b) {
    ASSERT_EQ(a.count(), b.count());
    EXPECT_EQ(index_engine::test::arrays(a.s()), index_engine::test::arrays(b.s()));
    EXPECT_EQ(index_engine::test::rootsOf(a.s()), index_engine::test::rootsOf(b.s()));
    for (std::uint32_t i = 0; i < a.count(); ++i) EXPECT_EQ(a.path(i), b.path(i)) << i;
}

void expectSamePerms(const VolumeIndex& a, const VolumeIndex& b) {
    for (const SortKey key : allSortKeys) {
        const auto pa = a.usablePerm(key), pb = b.usablePerm(key);
        ASSERT_EQ(pa.has_value(), pb.has_value()) << rawValue(key);
        if (!pa) continue;
        EXPECT_EQ(pa->count, pb->count) << rawValue(key);
        EXPECT_EQ(idsOf(*pa->perm), idsOf(*pb->perm)) << rawValue(key);
        EXPECT_EQ(pa->moved, pb->moved) << rawValue(key);
        EXPECT_EQ(pa->movedCount, pb->movedCount) << rawValue(key);
    }
}

SnapshotInfo infoFor(const std::string& root) {
    SnapshotInfo info;
    info.uuid = "1234-ABCD";
    info.fseUUID = "";
    info.root = root;
    info.eventID = 987654321;
    info.savedAt = system_clock::time_point(1'700'000'000s + 750ms);
    info.exclHash = 0xFEEDFACECAFEBEEFull;
    info.deleted = 999;  // the index's own count is saved
    info.storeID = 42;   // as is its own store id
    return info;
}

TEST(SnapshotRoundTrip, ScannedTreeWithOrdersMovesAndDeletions) {
    TempDir dir;
    writeTree(dir / "tree");
    auto index = scannedIndex(dir / "tree");
    ASSERT_GT(index->count(), 15u);
    for (const SortKey key : {SortKey::name, SortKey::path, SortKey::size, SortKey::date})
        index->rebuildPermutation(key);
    // `created` keeps no permutation: it comes back without one.
    const std::vector<std::uint32_t> moved = {2, 5, 7};
    index->markMoved(SortKey::size, moved);
    index->markMoved(SortKey::date, std::vector<std::uint32_t>{3});
    ASSERT_EQ(fidx_set_deleted(index->s(), 4), 1);
    ASSERT_EQ(fidx_set_deleted(index->s(), 9), 1);
    index->countChangesForTesting(2, 2);
    EXPECT_TRUE(index->hasUnsavedChanges());

    const std::string path = (dir / "vol.idx").string();
    const SnapshotInfo info = infoFor((dir / "tree").string());
    ASSERT_TRUE(index->save(path, info));
    EXPECT_FALSE(index->hasUnsavedChanges());

    const auto loaded = VolumeIndex::load(path, {"/excluded/"});
    ASSERT_TRUE(loaded);
    const VolumeIndex& back = *loaded->index;
    expectSameEntries(*index, back);
    expectSamePerms(*index, back);
    EXPECT_FALSE(back.usablePerm(SortKey::created));
    EXPECT_EQ(back.usablePerm(SortKey::size)->movedCount, 3u);
    EXPECT_EQ(back.storeID(), index->storeID());
    EXPECT_EQ(back.deletedCount(), 2);
    EXPECT_EQ(back.excludes(), std::vector<std::string>{"/excluded"});
    EXPECT_FALSE(back.hasUnsavedChanges());

    const SnapshotInfo& got = loaded->info;
    EXPECT_EQ(got.uuid, info.uuid);
    EXPECT_EQ(got.fseUUID, "");
    EXPECT_EQ(got.root, info.root);
    EXPECT_EQ(got.eventID, info.eventID);
    EXPECT_EQ(got.savedAt, system_clock::time_point(1'700'000'000s)) << "the fraction is dropped";
    EXPECT_EQ(got.exclHash, info.exclHash);
    EXPECT_EQ(got.deleted, 2) << "the index's deleted count, not the caller's";
    EXPECT_EQ(got.storeID, index->storeID()) << "the index's store id, not the caller's";

    // Ordered hits through the loaded permutations equal those of the original.
    std::vector<std::uint32_t> all(index->count());
    for (std::uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    for (const SortKey key : allSortKeys)
        EXPECT_EQ(index->ordered(all, key, false, all.size(), all.size()),
                  back.ordered(all, key, false, all.size(), all.size()))
            << rawValue(key);

    const auto peeked = VolumeIndex::peek(path);
    ASSERT_TRUE(peeked);
    EXPECT_EQ(peeked->entries, index->count());
    EXPECT_EQ(peeked->info.storeID, index->storeID());
    EXPECT_EQ(peeked->info.root, info.root);

    // With `created` built too, all five orders come back. Its moved bits differ from those of
    // `date`, whose ids may be the same when no file's status changed after its last write.
    index->rebuildPermutation(SortKey::created);
    index->markMoved(SortKey::created, std::vector<std::uint32_t>{1, 6});
    const std::string allFive = (dir / "five.idx").string();
    ASSERT_TRUE(index->save(allFive, info));
    const auto loadedFive = VolumeIndex::load(allFive, {});
    ASSERT_TRUE(loadedFive);
    ASSERT_TRUE(loadedFive->index->usablePerm(SortKey::created));
    EXPECT_EQ(loadedFive->index->usablePerm(SortKey::created)->movedCount, 2u);
    expectSamePerms(*index, *loadedFive->index);
}

// Where an address lies in /proc/self/maps: the mapped file's path, "" for anonymous memory.
std::string mappedFileOf(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        std::istringstream in(line);
        std::string range, perms, offset, device, inode, file;
        in >> range >> perms >> offset >> device >> inode;
        std::getline(in >> std::ws, file);
        const auto dash = range.find('-');
        const auto lo = std::stoull(range.substr(0, dash), nullptr, 16),
                   hi = std::stoull(range.substr(dash + 1), nullptr, 16);
        if (at >= lo && at < hi) return file;
    }
    return "?";
}

// Each save moves the sort orders onto the file just written, with the same contents. Where a
// freshly built order lived before (the heap or an anonymous mapping) is the allocator's choice.
TEST(SnapshotRoundTrip, SavedPermutationsAreBackedByTheNewFile) {
    TempDir dir;
    writeTree(dir / "tree");
    auto index = scannedIndex(dir / "tree");
    for (const SortKey key : allSortKeys) index->rebuildPermutation(key);
    std::vector<std::vector<std::uint32_t>> built;
    for (const SortKey key : allSortKeys) built.push_back(idsOf(*index->usablePerm(key)->perm));

    const std::string first = (dir / "first.idx").string(), second = (dir / "second.idx").string();
    for (const std::string& file : {first, second}) {
        for (const SortKey key : allSortKeys)
            ASSERT_NE(mappedFileOf(index->usablePerm(key)->perm->base()), file) << "before saving " << file;
        ASSERT_TRUE(index->save(file, infoFor("/r")));
        for (std::size_t k = 0; k < allSortKeys.size(); ++k) {
            const auto entry = index->usablePerm(allSortKeys[k]);
            ASSERT_TRUE(entry) << rawValue(allSortKeys[k]);
            EXPECT_EQ(mappedFileOf(entry->perm->base()), file) << rawValue(allSortKeys[k]);
            EXPECT_EQ(idsOf(*entry->perm), built[k]) << rawValue(allSortKeys[k]);
        }
    }

    const auto loaded = VolumeIndex::load(second, {});
    ASSERT_TRUE(loaded);
    for (const SortKey key : allSortKeys)
        EXPECT_EQ(mappedFileOf(loaded->index->usablePerm(key)->perm->base()), second) << rawValue(key);
}

TEST(SnapshotHeaderText, CutAtWholeCharactersAndReadBackAsBytes) {
    TempDir dir;
    auto index = scannedIndex(dir.path());
    // 1,022 bytes, then "é" (2 bytes) across the 1,023-byte limit, then more.
    const std::string longRoot = "/" + std::string(1021, 'r') + "é" + std::string(75, 's');
    ASSERT_EQ(longRoot.size(), 1099u);
    const std::string notUtf8 = "/mnt/caf\xE9/\xFF\xFE/x";
    struct Case {
        std::string uuid, root;
        std::string wantUUID, wantRoot;
    };
    const std::string id47(47, 'u'), id48(48, 'v');
    const std::vector<Case> cases = {
        {"plain", longRoot, "plain", longRoot.substr(0, 1022)},
        {id47, notUtf8, id47, notUtf8},
        {id48, "/x", id48.substr(0, 47), "/x"},
        {std::string(46, 'w') + "é", "/", std::string(46, 'w'), "/"},
        {std::string(46, 'w') + "\xE9"
                                "ab",
         "/", std::string(46, 'w') + "\xE9", "/"},
        {"a\0b", "/", "a", "/"},
    };
    for (const Case& c : cases) {
        SnapshotInfo info = infoFor(c.root);
        info.uuid = c.uuid;
        info.fseUUID = c.uuid;
        const std::string path = (dir / "h.idx").string();
        ASSERT_TRUE(index->save(path, info));
        const auto peeked = VolumeIndex::peek(path);
        ASSERT_TRUE(peeked);
        EXPECT_EQ(peeked->info.uuid, c.wantUUID) << c.uuid;
        EXPECT_EQ(peeked->info.fseUUID, c.wantUUID) << c.uuid;
        EXPECT_EQ(peeked->info.root, c.wantRoot) << c.root.size();
    }
}

TEST(SnapshotHeaderText, SaveTimesOutsideTheFileRangeAreClamped) {
    TempDir dir;
    auto index = scannedIndex(dir.path());
    const std::string path = (dir / "t.idx").string();
    struct Case {
        system_clock::time_point savedAt;
        std::uint64_t stored;
    };
    const auto maxSeconds =
        std::chrono::floor<std::chrono::seconds>(system_clock::time_point::max().time_since_epoch());
    const std::vector<Case> cases = {
        {system_clock::time_point(-1000s), 0},
        {system_clock::time_point(-1ns), 0},
        {system_clock::time_point::min(), 0},
        {system_clock::time_point(1999ms), 1},
        {system_clock::time_point::max(), static_cast<std::uint64_t>(maxSeconds.count())},
    };
    for (const Case& c : cases) {
        SnapshotInfo info = infoFor("/");
        info.savedAt = c.savedAt;
        ASSERT_TRUE(index->save(path, info));
        EXPECT_EQ(index_engine::test::u64(readFile(path), 1144), c.stored);
        EXPECT_EQ(VolumeIndex::peek(path)->info.savedAt, system_clock::time_point(std::chrono::seconds(c.stored)));
    }
    // A stored time beyond what the clock holds reads as its last whole second.
    std::string bytes = readFile(path);
    index_engine::test::setU64(bytes, 1144, UINT64_MAX);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(VolumeIndex::peek(path)->info.savedAt, system_clock::time_point(maxSeconds));
}

TEST(SnapshotFailures, RefusedSavesWriteNothingAndKeepChangesUnsaved) {
    TempDir dir;
    writeTree(dir / "tree");
    auto index = scannedIndex(dir / "tree");
    const std::string good = (dir / "good.idx").string();
    ASSERT_TRUE(index->save(good, infoFor("/")));
    const std::string before = readFile(good);
    index->countChangesForTesting(1, 0);

    fs::create_directory(dir / "x.idx");
    for (const fs::path& path : {dir / "missing/a.idx", dir / "x.idx", dir / "a.IDX", dir / "a.txt"}) {
        EXPECT_FALSE(index->save(path.string(), infoFor("/"))) << path;
        EXPECT_TRUE(index->hasUnsavedChanges()) << path;
    }
    EXPECT_FALSE(index->save((dir / "nul\0.idx").string(), infoFor("/")));
    EXPECT_TRUE(fs::is_directory(dir / "x.idx"));
    EXPECT_EQ(readFile(good), before);
    std::vector<fs::path> left;
    for (const auto& e : fs::directory_iterator(dir.path())) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<fs::path>{"good.idx", "tree", "x.idx"})) << "no temporary files";
}

TEST(SnapshotFailures, SaveWhileScanningWritesNothing) {
    TempDir dir;
    writeTree(dir / "tree");
    auto index = VolumeIndex::create(1u << 16, 1u << 20, {});
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool entered = false, open = false;
    } gate;
    fidx_set_dir_hook(
        index->s(),
        [](void* ctx, const char*) {
            auto& g = *static_cast<Gate*>(ctx);
            std::unique_lock lock(g.m);
            g.entered = true;
            g.cv.notify_all();
            g.cv.wait(lock, [&] { return g.open; });
        },
        &gate);
    std::thread scanner([&] { index->scan({(dir / "tree").string()}, 2, 0); });
    {
        std::unique_lock lock(gate.m);
        gate.cv.wait(lock, [&] { return gate.entered; });
    }
    EXPECT_TRUE(index->isScanning());
    EXPECT_FALSE(index->save((dir / "s.idx").string(), infoFor("/")));
    EXPECT_FALSE(fs::exists(dir / "s.idx"));
    {
        std::lock_guard lock(gate.m);
        gate.open = true;
    }
    gate.cv.notify_all();
    scanner.join();
    fidx_set_dir_hook(index->s(), nullptr, nullptr);
    EXPECT_TRUE(index->save((dir / "s.idx").string(), infoFor("/")));
}

TEST(SnapshotFailures, DamagedFilesGiveNone) {
    TempDir dir;
    writeTree(dir / "tree");
    auto index = scannedIndex(dir / "tree");
    const std::string path = (dir / "v.idx").string();
    ASSERT_TRUE(index->save(path, infoFor("/")));
    const std::string bytes = readFile(path);

    const std::string cut = (dir / "cut.idx").string();
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 1);
    EXPECT_FALSE(VolumeIndex::peek(cut));
    EXPECT_FALSE(VolumeIndex::load(cut, {}));
    const std::string garbage = (dir / "garbage.idx").string();
    std::ofstream(garbage, std::ios::binary) << std::string(40000, 'Q');
    EXPECT_FALSE(VolumeIndex::load(garbage, {}));
    EXPECT_FALSE(VolumeIndex::peek(garbage));
    EXPECT_FALSE(VolumeIndex::load((dir / "none.idx").string(), {}));
    EXPECT_FALSE(VolumeIndex::peek(dir.path().string()));
}

// The header-only read gives what `peek` gives from a sound file, refuses what fails the header's
// own checks, and reads no section: a file whose entries are damaged passes it (and only `load`
// and `peek` refuse it).
TEST(SnapshotPeekHeader, ReadsTheHeaderAlone) {
    TempDir dir;
    writeTree(dir / "tree");
    auto index = scannedIndex(dir / "tree");
    const std::string path = (dir / "v.idx").string();
    ASSERT_TRUE(index->save(path, infoFor("/media/usb/Disk")));
    const std::string bytes = readFile(path);

    const auto header = VolumeIndex::peekHeader(path);
    const auto whole = VolumeIndex::peek(path);
    ASSERT_TRUE(header);
    ASSERT_TRUE(whole);
    EXPECT_EQ(header->entries, index->count());
    EXPECT_EQ(header->info.root, "/media/usb/Disk");
    EXPECT_EQ(header->info.uuid, whole->info.uuid);
    EXPECT_EQ(header->info.storeID, index->storeID());
    EXPECT_EQ(header->info.savedAt, whole->info.savedAt);
    EXPECT_EQ(header->info.exclHash, whole->info.exclHash);

    index_engine::snapshot::SnapshotHeader hdr;
    std::memcpy(&hdr, bytes.data(), sizeof hdr);
    const auto variant = [&](const std::string& name, std::size_t at, std::string_view with) {
        std::string changed = bytes;
        changed.replace(at, with.size(), with);
        const std::string file = (dir / name).string();
        std::ofstream(file, std::ios::binary) << changed;
        return file;
    };
    // Every name offset past the name store: only a pass over the entries sees it.
    const std::uint64_t offsets = hdr.sections[index_engine::snapshot::kSecNameOff].offset;
    const std::string damagedEntries = variant("entries.idx", offsets + 4, std::string(4 * 4, '\xFF'));
    EXPECT_TRUE(VolumeIndex::peekHeader(damagedEntries)) << "no section is read";
    EXPECT_FALSE(VolumeIndex::peek(damagedEntries));
    EXPECT_FALSE(VolumeIndex::load(damagedEntries, {}));

    const std::string cut = (dir / "cut.idx").string();
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 1);
    const std::string garbage = (dir / "garbage.idx").string();
    std::ofstream(garbage, std::ios::binary) << std::string(40000, 'Q');
    struct Case {
        const char* what;
        std::string path;
    };
    const Case refused[] = {
        {"a file one byte short", cut},
        {"garbage", garbage},
        {"another magic", variant("magic.idx", 0, "QUORVANX")},
        {"another version", variant("version.idx", 8, std::string("\x04\0\0\0", 4))},
        {"a section table past the file",
         variant("table.idx", offsetof(index_engine::snapshot::SnapshotHeader, sections), std::string(8, '\x7F'))},
        {"a folder", dir.path().string()},
        {"a missing file", (dir / "none.idx").string()},
        {"a path with a NUL byte", path + std::string(1, '\0')},
    };
    for (const Case& c : refused) EXPECT_FALSE(VolumeIndex::peekHeader(c.path)) << c.what;
}

// Permutations saved through the engine directly, so that the file holds what the index would
// never write: only whole permutations of the entries they cover are installed on load.
TEST(SnapshotFailures, PermutationsThatAreNotWholeAreLeftOut) {
    TempDir dir;
    auto index = VolumeIndex::create(1u << 16, 1u << 20, {});
    const std::uint32_t root = commitRecords(*index, FIDX_NONE, {{"/r", 0, 0, 0, test::kRootFlags}});
    commitRecords(*index, root, {{"a"}, {"b"}, {"c"}, {"d"}});  // entries 1..4
    struct Case {
        const char* what;
        std::vector<std::uint32_t> ids;
        std::uint32_t k;
        bool installed;
    };
    const std::vector<Case> cases = {
        {"whole", {4, 2, 3, 1}, 5, true},       {"whole over a prefix", {2, 1}, 3, true},
        {"an id at k", {1, 2, 3, 5}, 5, false}, {"an id repeated", {1, 2, 2, 4}, 5, false},
        {"the root", {0, 1, 2, 3}, 5, false},   {"one missing", {1, 2, 3}, 5, false},
    };
    for (const Case& c : cases) {
        std::array<snap_perm, 5> perms{};
        const auto n = static_cast<std::uint32_t>(c.ids.size());
        const std::uint64_t moved[1] = {~std::uint64_t(0)};
        perms[1] = snap_perm{c.ids.data(), n, c.k, nullptr, 0};
        perms[2] = snap_perm{c.ids.data(), n, c.k, moved, 1};
        fidx_header_block block{};
        const std::string path = (dir / "p.idx").string();
        ASSERT_EQ(fidx_save(index->s(), path.c_str(), &block, index->count(), perms.data()), 0);
        const auto loaded = VolumeIndex::load(path, {});
        ASSERT_TRUE(loaded) << c.what;
        for (const SortKey key : {SortKey::path, SortKey::size}) {
            const auto entry = loaded->index->usablePerm(key);
            EXPECT_EQ(entry.has_value(), c.installed) << c.what << " " << rawValue(key);
            if (entry) {
                EXPECT_EQ(idsOf(*entry->perm), c.ids) << c.what;
            }
        }
        if (const auto sized = loaded->index->usablePerm(SortKey::size)) {
            EXPECT_EQ(sized->movedCount, c.k) << "bits at or above k are dropped";
        }
        EXPECT_FALSE(loaded->index->usablePerm(SortKey::name));
    }
}

// A writer thread appends, deletes and rewrites entries, counting each change after making it
// as a refresh does, while saves run. Whenever the index reports no unsaved changes, the file
// holds every change: checked with the writer held between two changes, after saves that ran
// beside the writer and after saves made while it was held.
TEST(SnapshotConcurrentSaves, NoChangeLooksSavedBeforeItIs) {
    TempDir dir;
    writeTree(dir / "tree");
    auto index = scannedIndex(dir / "tree");
    index->rebuildPermutation(SortKey::name);
    const std::uint32_t root = 0;
    const std::string path = (dir / "c.idx").string();

    std::mutex between;  // held by the writer over one change and its count
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (std::uint32_t step = 0; !stop.load(); ++step) {
            {
                std::lock_guard lock(between);
                const std::uint32_t n = index->count();
                switch (step % 3) {
                    case 0:
                        commitRecords(*index, root, {{"f" + std::to_string(step) + ".dat", step, step, step, 0}});
                        index->countChangesForTesting(1, 0);
                        break;
                    case 1:
                        index->countChangesForTesting(1, fidx_set_deleted(index->s(), 1 + step % (n - 1)));
                        break;
                    case 2:
                        fidx_set_meta(index->s(), 1 + step % (n - 1), step * 7ull, step, step);
                        index->countChangesForTesting(1, 0);
                        break;
                }
            }
            // Bursts of changes with quiet spells, so that some saves end with none unsaved.
            std::this_thread::sleep_for(step % 16 == 15 ? 5ms : 50us);
        }
    });

    const auto expectFileHoldsEverything = [&] {
        const auto loaded = VolumeIndex::load(path, {});
        ASSERT_TRUE(loaded);
        expectSameEntries(*index, *loaded->index);
        EXPECT_EQ(loaded->index->deletedCount(), index->deletedCount());
    };
    for (int round = 0; round < 40; ++round) {
        index->save(path, infoFor("/r"));
        std::lock_guard lock(between);
        if (!index->hasUnsavedChanges()) expectFileHoldsEverything();
        if (round % 8 != 7) continue;
        ASSERT_TRUE(index->save(path, infoFor("/r"))) << "nothing changes while the writer is held";
        EXPECT_FALSE(index->hasUnsavedChanges());
        expectFileHoldsEverything();
    }
    stop = true;
    writer.join();
    EXPECT_GT(index->deletedCount(), 0);

    ASSERT_TRUE(index->save(path, infoFor("/r")));
    EXPECT_FALSE(index->hasUnsavedChanges());
    expectFileHoldsEverything();
}

}  // namespace
}  // namespace quorvanta::core
