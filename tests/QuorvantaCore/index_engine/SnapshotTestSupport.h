// Helpers of the snapshot tests: reading little-endian fields at fixed offsets, a small index
// with roots, extensions, non-ASCII names and deleted entries, synthetic permutations, and
// saving and loading with a fixed header block.
#pragma once

#include "tests/QuorvantaCore/index_engine/EngineTestSupport.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace quorvanta::index_engine::test {

namespace fs = std::filesystem;
using quorvanta::test::readFile;
using quorvanta::test::TempDir;

inline constexpr uint64_t kAlign = 16384;

inline uint32_t u32(const std::string& b, size_t off) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(b.at(off + i));
    return v;
}
inline uint64_t u64(const std::string& b, size_t off) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | uint8_t(b.at(off + i));
    return v;
}
inline void setU32(std::string& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(off + i) = char(v >> (8 * i));
}
inline void setU64(std::string& b, size_t off, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.at(off + i) = char(v >> (8 * i));
}
inline uint64_t secOff(const std::string& b, int s) { return u64(b, 1336 + 16 * s); }
inline uint64_t secLen(const std::string& b, int s) { return u64(b, 1336 + 16 * s + 8); }
inline uint64_t roundUp(uint64_t v) { return (v + kAlign - 1) / kAlign * kAlign; }

// The bytes of one array of the index, for comparing with a file's section or another index.
inline std::string bytesOf(const void* p, uint64_t n) { return std::string(static_cast<const char*>(p), n); }

// The first `n` entries (all when FIDX_NONE) and the first `extCount` extension slots (all in use
// when 0).
inline std::vector<std::string> arrays(const fidx* h, uint32_t n = FIDX_NONE, uint32_t extCount = 0) {
    if (n == FIDX_NONE) n = fidx_count(h);
    if (extCount == 0) extCount = h->ext_count.load();
    const uint32_t nb = h->name_off[n];
    return {bytesOf(h->names, nb),
            bytesOf(h->folded, nb),
            bytesOf(h->name_off, 4ull * n + 4),
            bytesOf(h->parent, 4ull * n),
            bytesOf(h->size, 8ull * n),
            bytesOf(h->mtime, 4ull * n),
            bytesOf(h->ctime, 4ull * n),
            bytesOf(h->flags, n),
            bytesOf(h->ext, 2ull * n),
            bytesOf(h->ext_names, 16ull * extCount)};
}

inline std::vector<uint32_t> rootsOf(const fidx* h) {
    std::vector<uint32_t> r(64);
    r.resize(fidx_roots(h, r.data(), 64));
    return r;
}

// A small index: two roots, folders and files with extensions, non-ASCII names, sizes, times,
// deleted entries.
inline Index smallIndex(uint32_t seed, uint32_t files = 40) {
    WithTestFold fold;
    Index h = newIndex();
    std::mt19937 rng(seed);
    const char* exts[] = {".mp3", ".JPG", ".tar.gz", "", ".x", ".ÉTÉ"};
    const uint32_t root = commitNames(h.get(), {"/data/root"}, FIDX_NONE, FIDX_FOLDER | FIDX_ROOT);
    const uint32_t dir = commitNames(h.get(), {"Music", "Pïctures"}, root, FIDX_FOLDER);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < files; ++i)
        names.push_back((i % 3 ? "song " : "Café ") + std::to_string(rng() % 1000) + exts[rng() % 6]);
    commitNames(h.get(), names, dir);
    const uint32_t root2 = commitNames(h.get(), {"/other"}, FIDX_NONE, FIDX_FOLDER | FIDX_ROOT);
    commitNames(h.get(), {"a.txt", "b.TXT"}, root2);
    for (uint32_t i = 0; i < fidx_count(h.get()); ++i) {
        fidx_set_meta(h.get(), i, rng() % 100000, rng(), rng());
        if (rng() % 7 == 0) fidx_set_deleted(h.get(), i);
    }
    return h;
}

// Synthetic permutations: the non-root entries in a shuffled order, with moved bits.
struct Perms {
    std::array<std::vector<uint32_t>, FIDX_SORT_KEYS> p;
    std::array<std::vector<uint64_t>, FIDX_SORT_KEYS> moved;
    std::array<snap_perm, FIDX_SORT_KEYS> recs{};
};
inline Perms makePerms(const fidx* h, uint32_t seed, std::initializer_list<uint32_t> keys = {0, 1, 2, 3, 4}) {
    Perms out;
    std::mt19937 rng(seed);
    const uint32_t k = fidx_count(h);
    for (uint32_t key : keys) {
        for (uint32_t i = 0; i < k; ++i)
            if (!(h->flags[i] & FIDX_ROOT)) out.p[key].push_back(i);
        std::shuffle(out.p[key].begin(), out.p[key].end(), rng);
        if (key % 2 == 0) {
            out.moved[key].resize(k / 64 + 1);
            for (auto& w : out.moved[key]) w = uint64_t(rng()) << 32 | rng();
        }
        out.recs[key] = {out.p[key].data(), uint32_t(out.p[key].size()), k, out.moved[key].data(),
                         uint32_t(out.moved[key].size())};
    }
    return out;
}

inline fidx_header_block blockFor(uint64_t storeId) {
    fidx_header_block b{};
    std::strcpy(b.volume_uuid, "6F1E2D3C-0000-4000-8000-00000000ABCD");
    std::strcpy(b.root, "/data/root");
    b.last_event_id = 99;
    b.save_time = 1760000000;
    b.excl_hash = 0x1234567890ABCDEFull;
    b.deleted = 3;
    b.store_id = storeId;
    return b;
}

inline int save(fidx* h, const fs::path& path, const Perms* perms = nullptr, fidx_header_block* out = nullptr) {
    fidx_header_block b = blockFor(7);
    const int r = fidx_save(h, path.c_str(), &b, fidx_count(h), perms ? perms->recs.data() : nullptr);
    if (out) *out = b;
    return r;
}

inline Index load(const fs::path& path, fidx_header_block* block = nullptr, uint32_t maxEntries = 1u << 20) {
    fidx_header_block b{};
    return Index(fidx_load(path.c_str(), maxEntries, 64u << 20, block ? block : &b));
}

inline bool mapsMention(const fs::path& path) {
    return readFile("/proc/self/maps").find(path.string()) != std::string::npos;
}

inline std::vector<fs::path> folderEntries(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename());
    return out;
}

}  // namespace quorvanta::index_engine::test
