// Engine-internal state and primitives shared by the scan, listing, append and snapshot code:
// the virtual-memory reservation of the entry arrays, the batch (a listing being built), the
// commit of a batch as new entries, and the extension rule.
//
// Locks: `fidx_priv::engine` (the engine mutex) guards the entries and name bytes handed out to
// commits, the writable extent of every array and the root list. A commit takes it only to hand
// out room; it fills that room outside, and publishes it (raises the count) under
// `fidx_priv::publish` once every commit handed out room before it has done so too, so that
// commits from many threads fill at once while readers still see whole entries in order.
// `fidx_priv::extensions` serialises additions to the extension table, which is read without a
// lock. `fidx_priv::settings` guards the exclusions, include-only extensions and the folder hook;
// a scan copies them when it starts. Lock order: engine, then publish or extensions.
#pragma once

#include "QuorvantaCore/index_engine/fidx.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace quorvanta::index_engine {

inline constexpr size_t kReserveGranule = 16384;  // file remaps use 16 KiB-aligned sections
inline constexpr uint32_t kExtSlots = 65536;      // extension table slots (id 0 unused)
inline constexpr uint32_t kExtLimit = 65535;      // ext_count never passes this: ids 1..65534
inline constexpr uint32_t kExtHashSlots = 131072;
inline constexpr size_t kExtMaxBytes = 15;

// The entry arrays in the order of the handle's fields.
enum Array { kNames, kFolded, kNameOff, kParent, kSize, kMtime, kCtime, kFlags, kExt, kArrayCount };

// One reserved array: `reserved` bytes of address space, the first `writable` of them usable.
struct Region {
    void* base = nullptr;
    size_t reserved = 0;
    size_t writable = 0;
};

}  // namespace quorvanta::index_engine

struct fidx_priv {
    uint32_t maxEntries = 0;
    uint64_t maxNameBytes = 0;
    uint32_t committed = 0;  // engine mutex; entries handed out, those below `count` published
    uint64_t nameBytes = 0;  // engine mutex; name bytes handed out
    std::atomic<uint32_t> overflowed{0};
    std::mutex engine;
    quorvanta::index_engine::Region regions[quorvanta::index_engine::kArrayCount];  // engine mutex

    // Commits handed out room and not yet published, in entry order: the end of each one's
    // entries and whether it is filled. Guarded by `publish`.
    struct Fill {
        uint32_t end;
        bool done;
    };
    std::mutex publish;
    std::deque<Fill> filling;

    // kExtHashSlots slots, 0 or an extension id: read through atomic_ref (acquire), written
    // under `extensions` (release) after the id's text.
    uint16_t* extHash = nullptr;
    std::mutex extensions;

    std::mutex settings;
    std::vector<std::string> excludes;     // settings mutex
    std::vector<std::string> includeExts;  // settings mutex
    fidx_dir_hook dirHook = nullptr;       // settings mutex
    void* dirHookCtx = nullptr;            // settings mutex

    std::vector<uint32_t> roots;  // engine mutex
    std::atomic<uint32_t> stop{0};
    std::atomic<uint32_t> pauseMicros{0};
};

namespace quorvanta::index_engine {

// Reserves `len` bytes (rounded up to 16 KiB, or to the page size where larger; 0 counts as 1)
// as inaccessible, private, anonymous address space without swap reservation, advised for huge
// pages. Aborts with "mmap" and the error text when the system refuses.
Region fidx_reserve_vm(size_t len);
// Rounds a length up as `fidx_reserve_vm` does.
size_t reservedLength(size_t len);

// Makes the first `bytes` of the region readable and writable, growing in 16 KiB multiples, or
// to a 2 MiB boundary of the address space once past 2 MiB. False when the system refuses (the
// region keeps what it had). Caller holds the engine mutex.
bool makeWritable(Region& r, size_t bytes);

// The process-wide fold hook, or null.
fidx_fold_fn foldHook();

// Empties a batch, keeping its buffers.
void resetBatch(fidx_listing& b);
// Appends a record whose name starts at `nameOffset` of the batch's name buffer.
void brec(fidx_listing& b, uint32_t nameOffset, uint64_t size, uint32_t mtime, uint32_t ctime, uint8_t flags);
// Appends a name and its folded copy (ASCII lowered inline; the fold hook for names with a byte
// of 0x80 or above). Gives FIDX_NON_ASCII when such a byte was seen, else 0.
uint8_t bname(fidx_listing& b, const uint8_t* name, size_t len);
// bname + brec: the record's flags get the non-ASCII bit from its name.
void addRecord(fidx_listing& b, const char* name, size_t len, uint64_t size, uint32_t mtime, uint32_t ctime,
               uint8_t flags);

// Commits every record of the batch as new consecutive entries under `parent` and gives the
// first new entry index. A batch that does not fit (or whose arrays cannot grow) is refused
// whole: the overflowed flag is set and the result is FIDX_NONE. An empty batch adds nothing
// and gives FIDX_NONE without touching the flag. Commits may run on many threads at once; when
// one returns its entries are written, and published as soon as those of every commit that
// began before it are.
uint32_t commit(fidx* h, const fidx_listing& b, uint32_t parent);

// The extension id for a committed file's folded name (without its NUL), entering a new
// extension into the table when there is room. Any thread, any lock but `extensions`.
uint16_t extensionId(fidx* h, const uint8_t* folded, size_t len);
// 32-bit FNV-1a.
uint32_t fnv1a(const uint8_t* bytes, size_t len);

// fidx_find with the block compare in plain C++, with SSE2 where the target has it, and on x86-64
// also with the popcount instruction and with AVX2 (fidx_find uses the last the processor runs);
// all are tested against one oracle.
uint32_t findScalar(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                    uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel);
#if defined(__SSE2__)
uint32_t findSse2(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                  uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel);
#endif
#if defined(__x86_64__) && defined(__SSE2__)
uint32_t findSse2Popcnt(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo,
                        uint32_t hi, uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel);
uint32_t findAvx2(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                  uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel);
// Whether the processor has the popcount instruction; AVX2 and the popcount instruction.
bool hasPopcnt();
bool hasAvx2();
#endif

// The number of scan workers for a requested thread count: 1 to 256.
uint32_t scanWorkerCount(int threads);

// Whether snapshot sections (16 KiB-aligned) can be mapped: the page size is at most 16 KiB.
bool snapshotPagesMappable();
// fidx_save, remapping the arrays onto the new file only when `remap` is set.
int saveSnapshot(fidx* h, const char* path, fidx_header_block* block, uint32_t expected, const snap_perm* perms,
                 bool remap);
struct LoadOptions {
    bool mapArrays = true;      // map sections 0-8 (else read them into the arrays)
    bool checkContents = true;  // the pass over the entries (the header is always checked)
};
// fidx_load with the choices made explicit.
fidx* loadSnapshot(const char* path, uint32_t maxEntries, uint64_t maxNameBytes, fidx_header_block* block,
                   LoadOptions options);

}  // namespace quorvanta::index_engine
