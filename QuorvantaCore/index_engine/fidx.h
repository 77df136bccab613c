// The file-name index engine: one `fidx` handle per indexed volume (or catalog). It owns flat,
// parallel entry arrays indexed by entry index (an unsigned 32-bit number given in order of
// creation), a name store with a folded copy for case- and accent-insensitive matching, and a
// table of file-name extensions.
//
// Threads: commits (scan batches, appends) serialise on the engine mutex. Readers never lock:
// they load the published count with `fidx_count` (acquire) and read entries below it; those
// entries are fully written before the count is raised, and their names never change.
// Results follow one convention: 0 or a count on success, -1 for a system failure, and
// FIDX_NONE (0xFFFFFFFF) where an entry index is refused.
#pragma once

#include "QuorvantaCore/index_engine/SnapshotFormat.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// The parent of a root entry, and the engine's "refused" entry index.
inline constexpr uint32_t FIDX_NONE = 0xFFFFFFFFu;

// Entry flags, one byte per entry.
enum : uint8_t {
    FIDX_FOLDER = 1,
    FIDX_HIDDEN = 2,         // the name starts with "." or the entry is inside a hidden folder
    FIDX_SYMLINK = 4,        // never followed
    FIDX_JUNK = 8,           // system junk, or inside a junk folder
    FIDX_ROOT = 16,          // a scan root; its name is the full root path
    FIDX_NON_ASCII = 32,     // the name holds a byte >= 0x80; its folded copy came from the fold hook
    FIDX_OTHER_DEVICE = 64,  // only in a scan's records: a folder on another device; never stored
    FIDX_DELETED = 128,      // removed from the file system; the slot stays
};

// Counters of one scan, overwritten (not added to) in the caller's record.
struct scan_stats {
    uint64_t files;   // regular files recorded
    uint64_t dirs;    // folders recorded
    uint64_t other;   // other objects recorded, symbolic links included
    uint64_t errors;  // folders not opened or read (other than vanished) + batches refused at capacity
    uint64_t enoent;  // folders that had vanished
    uint64_t bytes;   // sum of the sizes of the recorded files
    uint64_t nested;  // folders not entered because of the loop guard
};

// Adds every counter of `from` to `to` (summing the scans of several roots or calls).
inline void scan_stats_add(scan_stats* to, const scan_stats* from) {
    to->files += from->files;
    to->dirs += from->dirs;
    to->other += from->other;
    to->errors += from->errors;
    to->enoent += from->enoent;
    to->bytes += from->bytes;
    to->nested += from->nested;
}

// One persisted sort permutation: `n` entry indexes covering the first `k` entries, and a
// bitset of `moved_n` 64-bit words. A null `p` means the key has no permutation.
struct snap_perm {
    const uint32_t* p;
    uint32_t n;
    uint32_t k;
    const uint64_t* moved;
    uint32_t moved_n;
};

// One record of a folder listing (and of the engine's internal batches).
struct fidx_rec {
    uint32_t name;  // offset of the NUL-terminated name in the listing's name buffer
    uint64_t size;
    uint32_t mtime;
    uint32_t ctime;
    uint8_t flags;
};

// A folder listing: records with their names and folded names. Free with `fidx_listing_free`.
struct fidx_listing {
    fidx_rec* recs;
    uint32_t count;
    uint32_t cap;
    uint8_t* names;
    uint8_t* folded;
    uint64_t used;  // name bytes in use, NULs included
    uint64_t name_cap;
};

// The fold hook: writes exactly `len` folded bytes of `name` to `out`, padding with 0x01 when
// the folded text is shorter. Called concurrently from scan threads; it must be thread-safe.
typedef void (*fidx_fold_fn)(const uint8_t* name, size_t len, uint8_t* out);

// Called with a folder's path before the folder is opened for listing (scan workers, the
// root included, and `fidx_list`), possibly from many threads at once.
typedef void (*fidx_dir_hook)(void* ctx, const char* path);

typedef char fidx_ext_text[16];

struct fidx_priv;

struct fidx {
    uint8_t* names;      // every entry's name, NUL-terminated, back to back
    uint8_t* folded;     // folded copy; same offsets and lengths as `names`
    uint32_t* name_off;  // count + 1 slots; the last holds the name bytes in use
    uint32_t* parent;    // FIDX_NONE for a root entry
    uint64_t* size;      // regular files only; 0 otherwise
    uint32_t* mtime;     // Unix seconds clamped to 0..0xFFFFFFFF
    uint32_t* ctime;     // creation time, same clamp; 0 where unknown
    uint8_t* flags;
    uint16_t* ext;                    // extension id, 0 = none
    fidx_ext_text* ext_names;         // slot i holds the text of extension id i; slot 0 stays empty
    std::atomic<uint32_t> ext_count;  // next free extension id; ids 1..ext_count-1 are in use
    std::atomic<uint32_t> count;      // published entries
    fidx_priv* priv;
};

// A new empty handle able to hold maxEntries - 1 entries and maxNameBytes name bytes. The arrays
// are reserved in virtual memory at full capacity; a refused reservation prints "mmap" and aborts.
fidx* fidx_new(uint32_t maxEntries, uint64_t maxNameBytes);
// Releases every array and the private state; a null handle is ignored.
void fidx_free(fidx* h);
// The published entry count (acquire load).
uint32_t fidx_count(const fidx* h);
// Non-zero once any batch was refused for capacity; stays set for the handle's life.
uint32_t fidx_overflowed(const fidx* h);
// Installs the process-wide fold hook (null: names with non-ASCII bytes keep ASCII-only folding).
void fidx_set_fold(fidx_fold_fn fn);
// Frees a listing's buffers and zeroes it; a null listing is ignored.
void fidx_listing_free(fidx_listing* l);
// Enters an existing extension id of the table into the extension hash (after a load).
void fidx_ext_insert(fidx* h, uint32_t id);

// Scans `root` and everything below it into the index: the root gets an entry named by the path
// exactly as given (flags folder + root), then max(1, min(threads, 256)) workers list the folders.
// A root may be a symbolic link; nothing below it is ever followed. Gives 0, or -1 with errno set
// when the root cannot be opened as a folder or its entry does not fit (nothing added then).
// `stats`, when given, receives this scan's totals. Scans of one handle may overlap.
int fidx_scan(fidx* h, const char* root, int threads, scan_stats* stats);
// Scans the folder `path`, whose entry is `entry`, adding its contents below that entry; its
// records inherit the hidden and junk bits of `inherited`. Gives -1 with errno set when the path
// is not an openable folder (a symbolic link counts as gone: ENOTDIR) or `entry` is not a
// published entry (EINVAL), else 0.
int fidx_scan_under(fidx* h, const char* path, uint32_t entry, uint8_t inherited, int threads, scan_stats* stats);
// Folders in or below one of these paths (compared by whole components, repeated and trailing "/"
// ignored) are recorded, not entered; a starting folder of `fidx_scan` or `fidx_scan_under` too.
void fidx_set_excludes(fidx* h, const char* const* paths, uint32_t n);
// Keeps only files whose extension (ignoring case) is one of these; 0 clears the list.
void fidx_set_include_exts(fidx* h, const char* const* exts, uint32_t n);
// Non-zero `stop` makes running and later scans finish early; `pauseMicros` sleeps after each folder.
void fidx_scan_control(fidx* h, uint32_t stop, uint32_t pauseMicros);
// Sets (or with a null `fn` clears) the folder hook of the handle.
void fidx_set_dir_hook(fidx* h, fidx_dir_hook fn, void* ctx);

// Lists one folder into `out` (overwritten; free it with `fidx_listing_free`), no recursion.
// Subfolders on another device than the folder get FIDX_OTHER_DEVICE. With a handle its
// include-only list filters files and its folder hook is called; with a null handle every file
// is kept. Gives 0, or -1 with errno kept (ENOENT and ENOTDIR mean the folder is gone; a
// symbolic link is not listed and gives ENOTDIR) and `out` empty.
int fidx_list(fidx* h, const char* path, uint8_t inherited, fidx_listing* out);

// Appends the listing records named by idx[0..n-1], in that order, as consecutive new entries
// under `parent` (their folded names and non-ASCII bits recomputed, the deleted bit dropped).
// Gives the first new entry, or FIDX_NONE with nothing added when n is 0, an index is outside
// the listing, `parent` is not a published entry, or the batch does not fit (only the last of
// these sets the overflowed flag).
uint32_t fidx_append(fidx* h, uint32_t parent, const fidx_listing* l, const uint32_t* idx, uint32_t n);
// Flags entry i deleted; its other bits, name and parent stay. Gives 1 when this call set the
// bit, 0 when it was set already or i is not a published entry (then nothing happens).
int fidx_set_deleted(fidx* h, uint32_t i);
// Rewrites the size, modification and creation time of entry i; ignored for an i at or above
// the published count. Readers may briefly see a mix of old and new values.
void fidx_set_meta(fidx* h, uint32_t i, uint64_t size, uint32_t mtime, uint32_t ctime);
// Copies up to `max` root entries, in the order the roots were added, and gives how many.
uint32_t fidx_roots(const fidx* h, uint32_t* out, uint32_t max);

// Writes to `out` (room for hi - lo indexes), ascending and each once, the entries of lo..hi-1
// whose name in `store` (the handle's `names` or `folded`) contains the needle (len bytes, no
// NUL), leaving out entries whose flags share a bit with `skip`. `hi` is clamped to the published
// count. A non-zero `*cancel` (read once per 1,024 entries) ends the search early with an
// ascending prefix of the result. Gives the number written. Never allocates; safe beside commits.
uint32_t fidx_find(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                   uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel);

// Whether the whole text matches the whole pattern: "*" any run of bytes, "?" any one byte.
bool fidx_glob_match(const uint8_t* pattern, size_t plen, const uint8_t* text, size_t tlen);

// A wildcard pattern taken apart once for matching many texts: where its first "*" is and where
// the bytes after its last one start (both plen without a "*"), and whether pieces lie between.
// It refers to the pattern's bytes, which must outlive it.
struct fidx_glob {
    const uint8_t* pattern;
    size_t plen;
    size_t head;       // bytes before the first "*"
    size_t tailStart;  // first byte after the last "*"
    bool star;
    bool middle;  // bytes other than "*" between the first and the last "*"
};
fidx_glob fidx_glob_compile(const uint8_t* pattern, size_t plen);
// fidx_glob_match with a compiled pattern; the piece after the last "*" is compared first.
bool fidx_glob_test(const fidx_glob* glob, const uint8_t* text, size_t tlen);

// Snapshot files and cache files. Results: 0 done, -3 path refused (nothing touched), -2 the
// index's entry count is not the expected one (nothing written), -1 a system failure (errno set;
// no file and no temporary file left behind, a previous file unchanged).
//
// Cache paths (snapshots, audio tables, the global order) must be 5 to 1,015 bytes long and end in
// ".idx", ".ord" or ".aud" (exact case); export paths 6 to 1,015 bytes, ending in ".csv", ".tsv",
// ".m3u" or ".m3u8" in any case. Either way the folder must exist and, with its links resolved,
// must not be one of the external-drive folders (platform/volumes/ExternalDrives.h) or lie below
// one. Files are written to a unique temporary file beside the target and renamed over it.

// Saves the index to `path`: the caller's header block (its permutation counts and offsets are
// filled in, and the finished block copied back), the arrays, the extension table and the five
// permutations in sort-key order (`perms` may be null: no permutations). A record whose `n`
// exceeds `k`, whose `k` exceeds `expected` or whose bitset is longer than k / 64 + 1 words is
// saved as no permutation, and a deleted count is kept to the entry count. Holds the engine mutex throughout, so no commit, append or in-place
// update falls between the write and the remap that follows it: afterwards the unchanged pages of
// the entry arrays are backed by the new file (copy-on-write). Callers serialise saves of one index.
int fidx_save(fidx* h, const char* path, fidx_header_block* block, uint32_t expected, const snap_perm* perms);
// Loads a snapshot as a new handle with the given capacity, its entry arrays mapped copy-on-write
// from the file, and fills `block` (the permutation lengths and offsets from the section table).
// Every header field, section and entry link is checked first; a file that fails any check, or
// cannot be read or mapped, gives null and leaves nothing behind.
fidx* fidx_load(const char* path, uint32_t maxEntries, uint64_t maxNameBytes, fidx_header_block* block);
// Reads only a snapshot's header (1,672 bytes): magic, version, counts and the section table,
// checked as fidx_load checks them against the file's length and the capacity, and none of the
// sections themselves. Fills `block` as fidx_load does and `entries` with the entry count (either
// may be null). 0, or -1 when the file cannot be read or its header fails a check. A file that
// passes may still fail fidx_load.
int fidx_read_header(const char* path, uint32_t maxEntries, uint64_t maxNameBytes, fidx_header_block* block,
                     uint32_t* entries);
// Maps `length` bytes of the file at `offset` read-only (private; the length rounded up to 16 KiB).
// Null when the length is 0, the range lies outside the file, or opening or mapping fails.
void* fidx_map_ro(const char* path, uint64_t offset, uint64_t length);
// Unmaps a range from fidx_map_ro given the same length; a null pointer is ignored.
void fidx_unmap(void* p, uint64_t length);
// Atomically writes a whole cache file, mode 0600. 0, -3 or -1.
int fidx_write_file(const char* path, const void* bytes, uint64_t length);
// Atomically writes a whole user export, mode 0644. 0, -3 or -1.
int fidx_export_file(const char* path, const void* bytes, uint64_t length);
// Deletes a ".idx" or ".aud" cache file: -3 when the path is refused, else 0 or -1 (errno set).
int fidx_remove_cache(const char* path);
