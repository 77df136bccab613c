// Snapshot files: the layout byte by byte (read with offsets of its own, not the engine's
// structs), round trips, the remap after a save, refused files and paths, failed writes, saves
// beside updates and other writers, and seeded corruptions through the fuzz harness's checks.
#include "tests/QuorvantaCore/index_engine/SnapshotTestSupport.h"
#include "tests/QuorvantaCore/index_engine/TreeFixture.h"
#include "tests/fuzz/SnapshotOracle.h"
#include "tests/support/RunProgram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>

namespace quorvanta::index_engine::test {
namespace {

// Checks a saved file with offsets of its own: header fields, section placement, zero gaps,
// contents equal to the index's arrays and the permutations given.
void checkLayout(const std::string& b, const fidx* h, const Perms* perms) {
    const uint32_t count = fidx_count(h);
    ASSERT_GE(b.size(), 1672u);
    EXPECT_EQ(b.substr(0, 8), "QUORVANT");
    EXPECT_EQ(u32(b, 8), 3u);
    EXPECT_EQ(u32(b, 12), 1672u);
    EXPECT_EQ(std::string(b.data() + 16), "6F1E2D3C-0000-4000-8000-00000000ABCD");
    EXPECT_EQ(std::string(b.data() + 112), "/data/root");
    EXPECT_EQ(u64(b, 1136), 99u);
    EXPECT_EQ(u64(b, 1144), 1760000000u);
    EXPECT_EQ(u64(b, 1152), 0x1234567890ABCDEFull);
    EXPECT_EQ(u32(b, 1160), std::min(3u, count)) << "deleted count, kept to the entry count";
    EXPECT_EQ(u32(b, 1164), 0u) << "zero field";
    EXPECT_EQ(u64(b, 1168), 7u);
    EXPECT_EQ(u32(b, 1236), 0u) << "zero field";
    EXPECT_EQ(u32(b, 1320), count);
    EXPECT_EQ(u32(b, 1324), h->ext_count.load());
    EXPECT_EQ(u64(b, 1328), h->name_off[count]);
    EXPECT_EQ(u64(b, 1656), b.size()) << "stored file size";
    EXPECT_EQ(b.substr(1664, 8), "ENDQRVTU");

    const std::vector<std::string> mem = arrays(h);
    std::vector<bool> inSection(b.size(), false);
    for (size_t i = 0; i < 1672; ++i) inSection[i] = true;
    uint64_t expectOff = kAlign;
    for (int s = 0; s < 20; ++s) {
        std::string want;
        if (s < 10) {
            want = mem[s];
        } else if (s < 15) {
            const int key = s - 10;
            if (perms && !perms->p[key].empty()) want = bytesOf(perms->p[key].data(), 4 * perms->p[key].size());
            EXPECT_EQ(u32(b, 1176 + 4 * key), want.size() / 4) << "n of key " << key;
            EXPECT_EQ(u32(b, 1196 + 4 * key), want.empty() ? 0 : count) << "k of key " << key;
            EXPECT_EQ(u64(b, 1240 + 8 * key), secOff(b, s)) << "permutation offset of key " << key;
        } else {
            const int key = s - 15;
            if (perms && !perms->moved[key].empty())
                want = bytesOf(perms->moved[key].data(), 8 * perms->moved[key].size());
            EXPECT_EQ(u32(b, 1216 + 4 * key), want.size() / 8) << "moved_n of key " << key;
            EXPECT_EQ(u64(b, 1280 + 8 * key), secOff(b, s)) << "moved offset of key " << key;
        }
        EXPECT_EQ(secOff(b, s), expectOff) << "offset of section " << s;
        ASSERT_EQ(secLen(b, s), want.size()) << "length of section " << s;
        ASSERT_LE(expectOff + want.size(), b.size());
        EXPECT_TRUE(b.compare(expectOff, want.size(), want) == 0) << "contents of section " << s;
        for (size_t i = 0; i < want.size(); ++i) inSection[expectOff + i] = true;
        expectOff += roundUp(want.size());
    }
    EXPECT_EQ(b.size(), expectOff) << "file ends after the last section";
    for (size_t i = 0; i < b.size(); ++i) {
        if (!inSection[i]) {
            ASSERT_EQ(b[i], 0) << "byte " << i << " between sections";
        }
    }
}

TEST(SnapshotLayout, SavedFileMatchesTheFormatByteByByte) {
    TempDir dir;
    Index h = smallIndex(1);
    const Perms perms = makePerms(h.get(), 2);
    ASSERT_EQ(save(h.get(), dir / "a.idx", &perms), 0);
    checkLayout(readFile(dir / "a.idx"), h.get(), &perms);
    EXPECT_EQ(fs::status(dir / "a.idx").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(folderEntries(dir.path()).size(), 1u) << "no temporary file left";
}

TEST(SnapshotLayout, NoPermutationsGiveEmptySectionsAndLoadWithZeroCounts) {
    TempDir dir;
    for (const bool empty : {false, true}) {
        Index h = empty ? newIndex() : smallIndex(3);
        fidx_header_block saved{};
        ASSERT_EQ(save(h.get(), dir / "b.idx", nullptr, &saved), 0);
        const std::string b = readFile(dir / "b.idx");
        checkLayout(b, h.get(), nullptr);
        for (int s = 10; s < 20; ++s) EXPECT_EQ(secLen(b, s), 0u);
        fidx_header_block block{};
        Index back = load(dir / "b.idx", &block);
        ASSERT_TRUE(back) << "empty=" << empty;
        EXPECT_EQ(fidx_count(back.get()), fidx_count(h.get()));
        for (uint32_t key = 0; key < FIDX_SORT_KEYS; ++key) {
            EXPECT_EQ(block.n[key], 0u);
            EXPECT_EQ(block.moved_n[key], 0u);
        }
        EXPECT_EQ(std::memcmp(&block, &saved, sizeof block), 0) << "the block comes back as saved";
    }
}

TEST(SnapshotLayout, InconsistentPermutationRecordsAreSavedAsNone) {
    TempDir dir;
    Index h = smallIndex(4);
    Perms perms = makePerms(h.get(), 5);
    perms.recs[0].k = fidx_count(h.get()) + 1;             // covers entries that do not exist
    perms.recs[1].n = perms.recs[1].k + 1;                 // longer than what it covers
    perms.recs[2].moved_n = fidx_count(h.get()) / 64 + 2;  // bitset past the covered entries
    fidx_header_block block = blockFor(7);
    ASSERT_EQ(fidx_save(h.get(), (dir / "c.idx").c_str(), &block, fidx_count(h.get()), perms.recs.data()), 0);
    for (uint32_t key : {0u, 1u, 2u}) EXPECT_EQ(block.n[key] + block.k[key] + block.moved_n[key], 0u) << key;
    EXPECT_EQ(block.n[3], perms.recs[3].n);
    EXPECT_TRUE(load(dir / "c.idx"));
}

// A scanned random tree with permutations, loaded by mapping and by reading: every array, the
// roots and the block come back; the loaded index takes new extensions, appends and updates
// without touching the file.
TEST(SnapshotRoundTrip, ScannedTreeComesBackIdentical) {
    WithTestFold fold;
    TempDir dir;
    const std::string root = (dir / "tree").string();
    makeDir(root);
    std::mt19937 rng(11);
    std::vector<std::string> folders{root};
    const char* exts[] = {".mp3", ".flac", ".JPG", ".txt", "", ".tar.gz"};
    for (int i = 0; i < 400; ++i) {
        const std::string& parent = folders[rng() % folders.size()];
        const std::string name = parent + "/" + (i % 5 ? "f" : "Été ") + std::to_string(i);
        if (i % 6 == 0) {
            makeDir(name);
            folders.push_back(name);
        } else {
            const std::string file = name + exts[rng() % 6];
            makeFile(file, rng() % 5000);
            setTimes(file, rng() % 2000000000);
        }
    }
    Index h = newIndex();
    ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 4, nullptr), 0);
    ASSERT_EQ(fidx_scan(h.get(), (dir / "tree").c_str(), 1, nullptr), 0) << "a second root";
    fidx_set_deleted(h.get(), 5);
    const Perms perms = makePerms(h.get(), 12, {0, 2, 3});
    fidx_header_block saved{};
    const fs::path path = dir / "tree.idx";
    ASSERT_EQ(save(h.get(), path, &perms, &saved), 0);
    const std::string fileBytes = readFile(path);

    for (const bool mapArrays : {true, false}) {
        SCOPED_TRACE(mapArrays ? "mapped" : "read");
        fidx_header_block block{};
        Index back(loadSnapshot(path.c_str(), 1u << 20, 64u << 20, &block, {mapArrays, true}));
        ASSERT_TRUE(back);
        EXPECT_EQ(arrays(back.get()), arrays(h.get()));
        EXPECT_EQ(rootsOf(back.get()), rootsOf(h.get()));
        EXPECT_EQ(std::memcmp(&block, &saved, sizeof block), 0);
        for (uint32_t key : {0u, 2u, 3u}) {
            EXPECT_EQ(block.n[key], perms.p[key].size());
            const std::string section = fileBytes.substr(block.perm_off[key], 4ull * block.n[key]);
            EXPECT_EQ(section, bytesOf(perms.p[key].data(), 4 * perms.p[key].size()));
        }
        EXPECT_EQ(block.n[1], 0u);

        // A new extension gets the next free id; an append and updates work on private pages.
        const uint32_t nextId = back->ext_count.load();
        const uint32_t folder = rootsOf(back.get())[0];
        const uint32_t added = commitNames(back.get(), {"new.brandnewext", "again.mp3"}, folder);
        ASSERT_NE(added, FIDX_NONE);
        EXPECT_EQ(back->ext[added], nextId);
        EXPECT_EQ(extOf(back.get(), added + 1), "mp3");
        EXPECT_EQ(back->ext[added + 1],
                  h->ext[std::find_if(h->ext, h->ext + fidx_count(h.get()),
                                      [&](uint16_t e) { return e && std::string(h->ext_names[e]) == "mp3"; }) -
                         h->ext]);
        fidx_set_meta(back.get(), 1, 123456789, 5, 6);
        EXPECT_EQ(fidx_set_deleted(back.get(), 2), (h->flags[2] & FIDX_DELETED) ? 0 : 1);
        EXPECT_EQ(back->size[1], 123456789u);
        EXPECT_EQ(nameOf(back.get(), added), "new.brandnewext");
        EXPECT_EQ(readFile(path), fileBytes) << "the file is never written through the mapping";
    }
}

TEST(SnapshotRemap, SaveBacksTheArraysWithTheFileAndTheHandleKeepsWorking) {
    TempDir dir;
    Index h = smallIndex(21, 20000);  // several 16 KiB pages per array
    const fs::path path = dir / "r.idx";
    ASSERT_EQ(save(h.get(), path), 0);
    const std::string maps = readFile("/proc/self/maps");
    for (const void* base :
         {static_cast<const void*>(h->names), static_cast<const void*>(h->folded),
          static_cast<const void*>(h->name_off), static_cast<const void*>(h->parent), static_cast<const void*>(h->size),
          static_cast<const void*>(h->flags), static_cast<const void*>(h->ext)}) {
        char addr[32];
        std::snprintf(addr, sizeof addr, "%lx-", reinterpret_cast<unsigned long>(base));
        const size_t at = maps.find(addr);
        ASSERT_NE(at, std::string::npos) << "no mapping starts at " << base;
        const std::string line = maps.substr(at, maps.find('\n', at) - at);
        EXPECT_NE(line.find(path.string()), std::string::npos) << line;
    }
    const std::vector<std::string> before = arrays(h.get());
    const uint32_t count = fidx_count(h.get());
    const uint32_t added = commitNames(h.get(), {"after.save"}, 0);
    ASSERT_EQ(added, count);
    fidx_set_meta(h.get(), 3, 42, 43, 44);
    EXPECT_EQ(h->size[3], 42u);
    std::vector<uint32_t> out(count + 1);
    const uint8_t needle[] = {'s', 'a', 'v', 'e'};
    EXPECT_EQ(fidx_find(h.get(), h->names, needle, 4, 0, count + 1, 0, out.data(), nullptr), 1u);
    EXPECT_EQ(out[0], added);
    Index back = load(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(arrays(back.get()), before) << "the file keeps what was saved";
}

// Rows that each break one rule of the format; every one is refused and leaves no mapping.
TEST(SnapshotReject, BrokenFilesGiveNullAndLeaveNothingMapped) {
    TempDir dir;
    Index h = smallIndex(31);
    const Perms perms = makePerms(h.get(), 32);
    ASSERT_EQ(save(h.get(), dir / "good.idx", &perms), 0);
    const std::string good = readFile(dir / "good.idx");
    const uint32_t count = fidx_count(h.get());
    const uint64_t nameBytes = u64(good, 1328);
    auto sec = [&](int s) { return secOff(good, s); };
    uint32_t secondRoot = 1;
    while (secondRoot < count && !(h->flags[secondRoot] & FIDX_ROOT)) ++secondRoot;
    ASSERT_LT(secondRoot, count) << "a second root";
    ASSERT_EQ(h->parent[1], 0u) << "entry 1 is an inner folder of the first root";

    struct Row {
        const char* what;
        std::function<void(std::string&)> edit;
        uint32_t maxEntries = 1u << 20;
    };
    const std::vector<Row> rows = {
        {"one byte short", [](std::string& b) { b.pop_back(); }},
        {"stored size differs",
         [](std::string& b) {
             setU64(b, 1656, b.size() + kAlign);
             b.resize(b.size() + 1);
         }},
        {"shorter than 16 KiB", [](std::string& b) { b.resize(kAlign - 1); }},
        {"version 2", [](std::string& b) { setU32(b, 8, 2); }},
        {"wrong magic", [](std::string& b) { b[0] = 'X'; }},
        {"wrong end magic", [](std::string& b) { b[1671] = 'X'; }},
        {"header size", [](std::string& b) { setU32(b, 12, 1671); }},
        {"extension count 0", [](std::string& b) { setU32(b, 1324, 0); }},
        {"extension count 65,536", [](std::string& b) { setU32(b, 1324, 65536); }},
        {"section offset 16,385", [](std::string& b) { setU64(b, 1336, 16385); }},
        {"entry count above maxEntries", [](std::string&) {}, count - 1},
        {"section offset 0", [&](std::string& b) { setU64(b, 1336 + 16 * 3, 0); }},
        {"section past the end", [&](std::string& b) { setU64(b, 1336 + 16 * 3, b.size()); }},
        {"section offset wraps", [&](std::string& b) { setU64(b, 1336 + 16 * 3, ~0ull << 14); }},
        {"sections overlap", [&](std::string& b) { setU64(b, 1336 + 16 * 1, sec(0)); }},
        {"names length", [&](std::string& b) { setU64(b, 1336 + 8, nameBytes + 1); }},
        {"parent length", [&](std::string& b) { setU64(b, 1336 + 16 * 3 + 8, 4ull * count - 4); }},
        {"extension table length", [&](std::string& b) { setU64(b, 1336 + 16 * 9 + 8, 16); }},
        {"entry count against lengths", [&](std::string& b) { setU32(b, 1320, count + 1); }},
        {"name bytes above the limit", [&](std::string& b) { setU64(b, 1328, (64u << 20) + 1); }},
        {"n above k", [&](std::string& b) { setU32(b, 1196, u32(b, 1176) - 1); }},
        {"k above the entry count", [&](std::string& b) { setU32(b, 1196, count + 1); }},
        {"permutation length not 4 n", [&](std::string& b) { setU64(b, 1336 + 16 * 10 + 8, 4ull * count); }},
        {"moved_n above k / 64 + 1",
         [&](std::string& b) {
             setU32(b, 1216, count / 64 + 2);
             setU64(b, 1336 + 16 * 15 + 8, 8ull * (count / 64 + 2));
         }},
        {"moved length not 8 moved_n", [&](std::string& b) { setU64(b, 1336 + 16 * 15 + 8, 8 * u32(b, 1216) + 8); }},
        {"deleted above the entry count", [&](std::string& b) { setU32(b, 1160, count + 1); }},
        {"name_off[0] not 0", [&](std::string& b) { setU32(b, sec(2), 1); }},
        {"name offsets decrease", [&](std::string& b) { setU32(b, sec(2) + 8, u32(b, sec(2) + 4) - 1); }},
        {"name offsets repeat", [&](std::string& b) { setU32(b, sec(2) + 8, u32(b, sec(2) + 4)); }},
        {"closing offset not the name bytes", [&](std::string& b) { setU32(b, sec(2) + 4 * count, nameBytes - 1); }},
        {"name offset past the store", [&](std::string& b) { setU32(b, sec(2) + 4 * (count - 1), 0xFFFFFF00u); }},
        {"name without NUL", [&](std::string& b) { b[sec(0) + u32(b, sec(2) + 4) - 1] = 'x'; }},
        {"folded name without NUL", [&](std::string& b) { b[sec(1) + nameBytes - 1] = 'x'; }},
        {"parent is the entry itself", [&](std::string& b) { setU32(b, sec(3) + 4 * 5, 5); }},
        {"parent cycle",
         [&](std::string& b) {
             setU32(b, sec(3) + 4 * 2, 3);
             setU32(b, sec(3) + 4 * 3, 2);
         }},
        {"no parent without the root flag", [&](std::string& b) { setU32(b, sec(3) + 4 * 4, FIDX_NONE); }},
        {"root flag with a parent past it", [&](std::string& b) { setU32(b, sec(3), 1); }},
        {"root flag on an inner entry", [&](std::string& b) { b[sec(7) + 1] |= char(FIDX_ROOT); }},
        {"root with a parent before it", [&](std::string& b) { setU32(b, sec(3) + 4 * secondRoot, 0); }},
        {"extension id past the table", [&](std::string& b) { setU32(b, sec(8) + 2 * 6, u32(b, 1324)); }},
        {"extension slot without NUL", [&](std::string& b) { std::memset(&b[sec(9) + 16], 'a', 16); }},
    };
    for (const Row& row : rows) {
        std::string bytes = good;
        row.edit(bytes);
        const fs::path path = dir / "bad.idx";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        fidx_header_block block{};
        fidx* loaded = fidx_load(path.c_str(), row.maxEntries, 64u << 20, &block);
        EXPECT_EQ(loaded, nullptr) << row.what;
        fidx_free(loaded);
        EXPECT_FALSE(mapsMention(path)) << row.what << ": a mapping is left";
        EXPECT_EQ(quorvanta::test::snapshotProblem(path.c_str()), "") << row.what;
    }
    std::ofstream(dir / "good2.idx", std::ios::binary) << good;
    EXPECT_TRUE(load(dir / "good2.idx")) << "the unedited copy loads";
    EXPECT_FALSE(load(dir / "missing.idx"));
    EXPECT_FALSE(load(dir.path())) << "a folder";
}

// Bit flips, truncations and edits of counts, offsets and entries of small saved indexes, each
// loaded and, when accepted, walked whole.
TEST(SnapshotReject, SurvivesSeededCorruptions) {
    TempDir dir;
    std::vector<std::string> seeds;
    for (uint32_t s = 0; s < 3; ++s) {
        Index h = s == 0 ? newIndex() : smallIndex(40 + s, 10 * s);
        const Perms perms = makePerms(h.get(), s);
        ASSERT_EQ(save(h.get(), dir / "seed.idx", s == 2 ? &perms : nullptr), 0);
        seeds.push_back(readFile(dir / "seed.idx"));
    }
    std::mt19937_64 rng(2026);
    auto pick = [&](uint64_t n) { return n == 0 ? 0 : rng() % n; };
    int loaded = 0;
    constexpr int kInputs = 600;
    for (int i = 0; i < kInputs; ++i) {
        std::string b = seeds[pick(seeds.size())];
        const uint64_t count = u32(b, 1320);
        for (int e = 0, edits = 1 + int(pick(3)); e < edits; ++e) {
            switch (pick(6)) {
                case 0:  // bit flips anywhere, mostly in the header
                    for (int f = 0, n = 1 + int(pick(4)); f < n; ++f)
                        b[pick(2) ? pick(1672) : pick(b.size())] ^= char(1u << pick(8));
                    break;
                case 1:  // truncation or growth
                    b.resize(pick(2) ? pick(b.size() + 1) : b.size() + pick(2 * kAlign));
                    break;
                case 2: {  // a count set to a boundary value
                    const size_t fields[] = {1160, 1176, 1196, 1216, 1320, 1324};
                    const uint32_t values[] = {
                        0,     1,    uint32_t(count), uint32_t(count + 1), uint32_t(count / 64 + 2), 0xFFFFFFFFu,
                        65535, 65536};
                    setU32(b, fields[pick(6)] + (pick(2) ? 4 * pick(5) : 0), values[pick(8)]);
                    break;
                }
                case 3: {  // a section offset or length set to a boundary value
                    const uint64_t values[] = {0,
                                               kAlign,
                                               kAlign + 1,
                                               b.size(),
                                               b.size() - kAlign,
                                               ~0ull,
                                               ~0ull - kAlign + 1,
                                               uint64_t(1) << 62,
                                               pick(b.size())};
                    setU64(b, 1336 + 16 * pick(20) + 8 * pick(2), values[pick(9)]);
                    break;
                }
                case 4: {  // an entry's name offset, parent, flags or extension id
                    if (count == 0 || b.size() < 1672) break;
                    const int s = pick(4) == 0 ? 7 : pick(3) == 0 ? 2 : pick(2) ? 3 : 8;
                    const uint64_t at = secOff(b, s) + (s == 7 ? 1 : s == 8 ? 2 : 4) * pick(count);
                    if (at + 4 > b.size()) break;
                    const uint32_t values[] = {0, 1, uint32_t(pick(count + 2)), 0xFFFFFFFFu, 0xFFFFu};
                    if (s == 7)
                        b[at] ^= char(FIDX_ROOT);
                    else if (s == 8)
                        b[at] = char(values[pick(5)]);
                    else
                        setU32(b, at, values[pick(5)]);
                    break;
                }
                default:  // a byte of a section set to NUL or not
                    if (b.size() > kAlign) b[kAlign + pick(b.size() - kAlign)] = pick(2) ? 0 : char(rng());
                    break;
            }
        }
        if (b.size() >= 1672 && pick(2)) setU64(b, 1656, b.size());  // keep the size check passing
        const fs::path path = dir / "m.idx";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << b;
        ASSERT_EQ(quorvanta::test::snapshotProblem(path.c_str()), "") << "input " << i;
        Index h = load(path);
        loaded += h != nullptr;
    }
    EXPECT_GT(loaded, 0) << "some corruptions leave a loadable file";
    EXPECT_LT(loaded, kInputs);
}

#ifdef QUORVANTA_SNAPSHOT_REPLAY
// The fuzz target's replay program over saved indexes and broken copies of them.
TEST(SnapshotReject, FuzzReplayRunsOverSeeds) {
    TempDir dir;
    std::vector<std::string> args;
    for (uint32_t s = 0; s < 2; ++s) {
        Index h = s == 0 ? newIndex() : smallIndex(60, 30);
        const Perms perms = makePerms(h.get(), 61);
        const std::string name = "seed" + std::to_string(s);
        ASSERT_EQ(save(h.get(), dir / (name + ".idx"), &perms), 0);
        const std::string b = readFile(dir / (name + ".idx"));
        std::string flipped = b;
        flipped[1320] ^= 1;
        args.push_back((dir / (name + ".idx")).string());
        args.push_back(dir.write(name + "-cut", b.substr(0, b.size() - 1)).string());
        args.push_back(dir.write(name + "-flip", flipped).string());
        if (fidx_count(h.get()) > 1) {  // an inner entry marked as a root
            std::string rooted = b;
            rooted[secOff(b, 7) + 1] |= char(FIDX_ROOT);
            args.push_back(dir.write(name + "-rooted", rooted).string());
        }
    }
    const auto run = quorvanta::test::runProgram(QUORVANTA_SNAPSHOT_REPLAY, args);
    EXPECT_EQ(run.status, 0) << run.err;
    for (const std::string& a : args) EXPECT_NE(run.out.find(a + ": ok"), std::string::npos) << a;
}
#endif

}  // namespace
}  // namespace quorvanta::index_engine::test
