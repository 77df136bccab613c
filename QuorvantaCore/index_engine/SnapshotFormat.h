// The ".idx" snapshot file, version 3: one volume index as it lies on disk. Little-endian
// throughout; every field sits at its natural alignment, so the structs below are the bytes.
//
//   0      header (SnapshotHeader, 1,672 bytes), zero up to 16,384
//   16384  section 0, then each next section at the previous offset plus its length rounded up
//          to 16 KiB; a section of length 0 takes no room and shares the next one's offset.
//          The bytes between sections are zero; the file ends at the offset after the last one.
//
// Sections, in table order (count = entry count):
//   0 names       name bytes          5 mtime   4 x count     10-14 permutation per sort key, 4 x n
//   1 folded      name bytes          6 ctime   4 x count     15-19 moved bitset per sort key, 8 x moved_n
//   2 name_off    4 x count + 4       7 flags   count
//   3 parent      4 x count           8 ext     2 x count
//   4 size        8 x count           9 extension table, 16 x extension count
// Sort keys are in the order name, path, size, date, created.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t FIDX_SORT_KEYS = 5;

// Header bytes 16 to 1319: what the engine and its callers exchange on save and load.
struct fidx_header_block {
    char volume_uuid[48];  // UTF-8, zero-padded, at most 47 bytes kept
    char fse_uuid[48];     // event-log identity, same encoding
    char root[1024];       // root path, UTF-8, zero-padded, at most 1,023 bytes kept
    uint64_t last_event_id;
    uint64_t save_time;  // Unix seconds
    uint64_t excl_hash;  // configuration hash
    uint32_t deleted;    // deleted-entry count
    uint32_t zero0;
    uint64_t store_id;
    uint32_t n[FIDX_SORT_KEYS];        // permutation lengths
    uint32_t k[FIDX_SORT_KEYS];        // entries covered by each permutation
    uint32_t moved_n[FIDX_SORT_KEYS];  // moved-bitset lengths in 64-bit words
    uint32_t zero1;
    uint64_t perm_off[FIDX_SORT_KEYS];   // file offsets of sections 10-14
    uint64_t moved_off[FIDX_SORT_KEYS];  // file offsets of sections 15-19
};

namespace quorvanta::index_engine::snapshot {

static_assert(std::endian::native == std::endian::little, "the snapshot structs are the file's bytes");

inline constexpr char kMagic[8] = {'Q', 'U', 'O', 'R', 'V', 'A', 'N', 'T'};
inline constexpr char kEndMagic[8] = {'E', 'N', 'D', 'Q', 'R', 'V', 'T', 'U'};
inline constexpr uint32_t kVersion = 3;
inline constexpr uint64_t kAlign = 16384;  // section alignment; section 0 starts here
inline constexpr uint32_t kSectionCount = 20;
inline constexpr uint32_t kExtSlotBytes = 16;

enum Section : uint32_t {
    kSecNames,
    kSecFolded,
    kSecNameOff,
    kSecParent,
    kSecSize,
    kSecMtime,
    kSecCtime,
    kSecFlags,
    kSecExt,
    kSecExtTable,
    kSecPerm0,
    kSecMoved0 = kSecPerm0 + FIDX_SORT_KEYS,
};
inline constexpr uint32_t kMappedSections = kSecExtTable;  // sections 0-8 are the entry arrays

struct SectionEntry {
    uint64_t offset;
    uint64_t length;
};

struct SnapshotHeader {
    char magic[8];            // "QUORVANT"
    uint32_t version;         // 3
    uint32_t header_size;     // 1672
    fidx_header_block block;  // bytes 16 to 1319
    uint32_t entry_count;
    uint32_t ext_count;   // the engine's ext_count: ids in use are 1 to this - 1
    uint64_t name_bytes;  // length of the name store, terminating NULs included
    SectionEntry sections[kSectionCount];
    uint64_t file_size;
    char end_magic[8];  // "ENDQRVTU"
};

static_assert(sizeof(fidx_header_block) == 1304);
static_assert(offsetof(fidx_header_block, last_event_id) == 1136 - 16);
static_assert(offsetof(fidx_header_block, store_id) == 1168 - 16);
static_assert(offsetof(fidx_header_block, n) == 1176 - 16);
static_assert(offsetof(fidx_header_block, moved_n) == 1216 - 16);
static_assert(offsetof(fidx_header_block, perm_off) == 1240 - 16);
static_assert(offsetof(fidx_header_block, moved_off) == 1280 - 16);
static_assert(offsetof(SnapshotHeader, block) == 16);
static_assert(offsetof(SnapshotHeader, entry_count) == 1320);
static_assert(offsetof(SnapshotHeader, name_bytes) == 1328);
static_assert(offsetof(SnapshotHeader, sections) == 1336);
static_assert(offsetof(SnapshotHeader, file_size) == 1656);
static_assert(offsetof(SnapshotHeader, end_magic) == 1664);
static_assert(sizeof(SnapshotHeader) == 1672);

inline constexpr uint32_t kHeaderSize = sizeof(SnapshotHeader);

}  // namespace quorvanta::index_engine::snapshot
