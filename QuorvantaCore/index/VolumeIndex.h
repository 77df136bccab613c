// VolumeIndex: the index of one volume or catalog, owned through std::shared_ptr. It wraps one
// engine handle (`s`), runs scans on it, and answers by entry index the name, full path, parent,
// size, times, flags and extension of every entry. It also carries what hangs on an index: the
// store id that binds side files to its snapshot, the optional audio table and content index,
// the counters of deleted entries and mutations, and the scan state and statistics.
//
// Threads: the entry accessors read the engine arrays without locking, from any thread, while
// scans and refreshes append; the entry index they take must be below `count()`. The columns
// that in-place updates rewrite (size, times, flags) are read with relaxed atomic loads. Every
// member is safe from any thread. The locks:
//   `lock_`         the scan state and statistics, the include-only list, the audio and content
//                   references, the deleted and mutation counters, the roots' mount facts and the
//                   root probe; it also orders the stores of the engine's scan control.
//   `dirLock_`      the folder cache.
//   `orders_`       the sort-order cache guards itself with a lock of its own (SortOrderCache.h).
//   `saveLock_`     held through each snapshot save, `refreshLock_` through each refresh; the
//                   locks above are taken inside them, never one inside another.
// The cancel request is an atomic flag (`cancelled_`) and needs no lock.
//
// Errors: only `scan` (and `scanned`) throw, and only IndexError. An engine handle that cannot
// be reserved ends the process.
//
// Times: `ctime` is the creation (birth) time of a file-system object everywhere in the index,
// never Linux's status-change time; 0 where the file system does not record it.
#pragma once

#include "QuorvantaCore/index/EntryFlags.h"
#include "QuorvantaCore/index/FileStatPass.h"
#include "QuorvantaCore/index/IndexError.h"
#include "QuorvantaCore/index/RefreshStats.h"
#include "QuorvantaCore/index/RootPresence.h"
#include "QuorvantaCore/index/SnapshotInfo.h"
#include "QuorvantaCore/index/SortOrderCache.h"
#include "QuorvantaCore/index/SortOrders.h"
#include "QuorvantaCore/index_engine/fidx.h"
#include "platform/dispatch/CancelFlag.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core {

class AudioTable;
class ContentIndex;

// The most hits that callers of `VolumeIndex::ordered` sort directly when no permutation serves
// the key; above it the hits stay in entry order (a search, the local API, the tool's listings).
inline constexpr std::size_t kDirectSortLimit = 300'000;

class VolumeIndex {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    struct EngineFree {
        void operator()(fidx* h) const noexcept { fidx_free(h); }
    };
    using EngineHandle = std::unique_ptr<fidx, EngineFree>;

    // The capacities of every volume index and every loaded snapshot.
    static constexpr std::uint32_t defaultMaxEntries = 0x4000000;
    static constexpr std::uint64_t defaultMaxNameBytes = 0xC0000000;

    // An empty index with room for maxEntries - 1 entries and maxNameBytes name bytes and a
    // fresh random store id (never 0). Each exclusion of two or more bytes ending in "/" loses
    // that one "/"; folders in or below one of these (platform::isSameOrUnder) are recorded but
    // not entered.
    static std::shared_ptr<VolumeIndex> create(std::uint32_t maxEntries, std::uint64_t maxNameBytes,
                                               std::vector<std::string> excludes);
    // Takes over a filled engine handle (a loaded snapshot) with the store id saved beside it.
    // The handle must not be null.
    static std::shared_ptr<VolumeIndex> adopting(EngineHandle handle, std::uint64_t storeID,
                                                 std::vector<std::string> excludes);
    // An index of default capacity without exclusions, with the roots scanned (no pause).
    // Throws what `scan` throws; the index is released then.
    static std::shared_ptr<VolumeIndex> scanned(const std::vector<std::string>& roots, int threads);

    VolumeIndex(Passkey, EngineHandle handle, std::uint64_t storeID, std::vector<std::string> excludes);
    VolumeIndex(const VolumeIndex&) = delete;
    VolumeIndex& operator=(const VolumeIndex&) = delete;
    ~VolumeIndex();

    // The include-only extensions of later scans, without the dot, any case; empty keeps every
    // file. Folders are always kept.
    void setIncludeExts(std::vector<std::string> exts);

    // Scans the roots in order, each with max(1, min(threads, 256)) workers, pausing
    // throttleMicros (a negative pause is none) after each folder. Entries appear while it runs.
    // Throws IndexError::cannotOpen(root) for the first root that cannot be opened (later roots
    // are not scanned; what the earlier ones added stays), and IndexError::cancelled once
    // `cancelScan` was called. A full index throws nothing: the scan ends with what fitted, no
    // further root is added, and `overflowed()` is true.
    void scan(const std::vector<std::string>& roots, int threads, int throttleMicros);
    // Stops a running scan and every later one; permanent for this index.
    void cancelScan();

    // Published entries, deleted ones included.
    std::uint32_t count() const;
    // Entries not flagged deleted.
    std::int64_t liveCount() const;

    // The stored name; a root entry's name is its full root path.
    std::string name(std::uint32_t i) const;
    // The root's path and the names below it joined by "/" where the text so far does not end
    // in "/" (under the root "/" the path of "Users" is "/Users").
    std::string path(std::uint32_t i) const;
    // `path` written into `out` (replaced), reusing its storage: for per-entry tests in searches.
    void pathInto(std::uint32_t i, std::string& out) const;
    // None for a root entry.
    std::optional<std::uint32_t> parent(std::uint32_t i) const;
    EntryFlags flags(std::uint32_t i) const;
    std::uint64_t size(std::uint32_t i) const;
    std::uint32_t mtime(std::uint32_t i) const;
    std::uint32_t ctime(std::uint32_t i) const;
    // The extension id, 0 for none; `ext` its text ("" for none).
    std::uint16_t extID(std::uint32_t i) const;
    std::string ext(std::uint32_t i) const;
    // The text of an extension id; "" for 0 and for ids the table does not hold.
    std::string extName(std::uint16_t id) const;
    // The ids of the given extensions (folded as names are), in the order given; extensions the
    // table does not hold are left out.
    std::vector<std::uint16_t> extIDs(const std::vector<std::string>& exts) const;
    // The folder entries (deleted ones included) below min(upTo, count()), ascending.
    std::vector<std::uint32_t> directories(std::uint32_t upTo) const;

    // Memory held by the entry columns: 2 x name bytes + 27 x count + 4.
    std::uint64_t arrayBytes() const;
    // True once any batch was refused because the index is full.
    bool overflowed() const;
    // The audio table's version counter; 0 without a table.
    std::uint64_t audioVersion() const;

    // The engine handle, for the searcher and the other operations on the raw arrays.
    fidx* s() const { return s_.get(); }
    std::uint64_t storeID() const { return storeID_; }
    std::shared_ptr<AudioTable> audio() const;
    void setAudio(std::shared_ptr<AudioTable> table);
    // The audio table, a new empty one attached first when there is none.
    std::shared_ptr<AudioTable> audioAttached();
    std::shared_ptr<ContentIndex> content() const;
    void setContent(std::shared_ptr<ContentIndex> index);
    std::int64_t deletedCount() const;
    std::int64_t mutations() const;
    const std::vector<std::string>& excludes() const { return excludes_; }
    std::vector<std::string> includeExts() const;
    bool isScanning() const;
    // Running totals over every scan of this index.
    scan_stats stats() const;
    // Wall time of every scan of this index, seconds.
    double scanSeconds() const;

    // The case- and diacritic-insensitive fold of the folded name store, without locale; callers
    // fold the texts they compare against it with the same function.
    static std::string fold(std::string_view text);

    // Sort orders, kept by the index's SortOrderCache (see there for builds and moves); while a
    // scan runs no permutation is usable. Later appends and moved entries are merged in by
    // `ordered` until the drift rule calls a permutation stale. Safe from any thread.

    // Builds and installs a fresh permutation of the key; gives it with the count it covers.
    std::pair<PermRef, std::uint32_t> rebuildPermutation(SortKey key);
    // The installed entry of the key; none while a scan runs, when there is none, or when it
    // covers more entries than the index holds (a damaged snapshot).
    std::optional<PermEntry> usablePerm(SortKey key) const;
    // The installed permutation when usable and within the drift bound, else none.
    PermRef cachedPermutation(SortKey key) const;
    // The usable installed permutation (however far it drifted), or a rebuilt one.
    PermRef permutation(SortKey key);
    // As `permutation`, with the count the permutation covers.
    std::pair<PermRef, std::uint32_t> permutationAndCount(SortKey key);
    // The keys, in SortKey order, whose permutation is missing, drifted past the bound, or
    // unusable because a scan runs.
    std::vector<SortKey> staleKeys() const;
    // Records that these entries' values for the key changed. Entries the installed
    // permutation does not cover are ignored; during a build of the key they are also kept
    // for the permutation that build installs.
    void markMoved(SortKey key, std::span<const std::uint32_t> ids);
    // A bitset of count() / 64 + 1 words with the bit of each hit set; hits at or above
    // count() are ignored.
    std::vector<std::uint64_t> hitBitset(std::span<const std::uint32_t> hits) const;
    // The hits (entries; those at or above count() are left out, repeats given once) in the
    // key's order, reversed when descending, at most `limit` of them. Without a usable
    // permutation they are sorted directly when there are at most `directSortLimit` of them;
    // with more, the result is none and the caller orders them its own way.
    std::optional<std::vector<std::uint32_t>> ordered(std::span<const std::uint32_t> hits, SortKey key, bool descending,
                                                      std::size_t limit, std::size_t directSortLimit) const;
    // Whether entry i of this index sorts strictly before entry j of `other`, for merging ordered
    // lists across volumes: folded names byte-wise for `name` and for `path`, sizes, modification
    // or creation times; no tie-break. For `path` only the leaf names are compared, not the tree
    // order: results ordered by path are joined volume by volume, never merged.
    bool less(std::uint32_t i, const VolumeIndex& other, std::uint32_t j, SortKey key) const;

    // Refresh and reconcile. One refresh of an index runs at a time (the watcher, file actions
    // and reconcile may ask at once); readers never wait for it. See VolumeIndexRefresh.cpp.

    // Lists each folder of `dirs` once more, and every known folder below each of `recursive`,
    // and brings their entries up to date: vanished ones flagged deleted (with their subtrees),
    // changed size or times rewritten, new ones appended and new folders scanned below with
    // 1..256 `threads`. Paths are raw bytes; paths outside every root, excluded, naming a file
    // or a folder the index does not know are ignored. Nothing changes when a root is not
    // present (`rootMissing`) or a recursive target equals a root path (`fullRescan`).
    RefreshStats refresh(const std::set<std::string>& dirs, const std::set<std::string>& recursive, int threads);
    // Checks every indexed folder's modification time in parallel, then refreshes the roots, the
    // changed folders and the parents of vanished ones (one level each). A file changed in place
    // in an otherwise unchanged folder is not seen. `threads` below 1 counts as 1. `listed`, when
    // given, receives the folders chosen for the refresh (their paths).
    RefreshStats reconcileByFolderMtime(int threads, std::set<std::string>* listed = nullptr);
    // Reads the metadata of every live entry that is not a folder, except those whose folder's
    // path is in `skipFolders`, and rewrites the size and times that changed, as a refresh
    // would (sort orders told through markMoved). Entries that vanished or became another kind
    // of object are left to a refresh of their folder. Nothing happens while a root is missing.
    // Reads run in parallel (`threads` below 1 counts as 1); the rewrites hold the refresh lock.
    FileStatStats statFilesInPlace(int threads, const std::set<std::string>& skipFolders);
    // Whether the root with this path was a mount point when scanned or adopted.
    bool rootWasMountPoint(const std::string& root) const;
    // The roots, in the order they were added, that fail the presence check of `refresh` (by the
    // same probe, the test seam's when one is set): gone, not a folder, or no longer the mount
    // point they were. Empty when every root is present.
    std::vector<std::string> missingRoots() const;
    // Test seam: replaces the probe of the root check (empty: the real one).
    void setRootProbeForTesting(RootProbe probe);

    // Snapshots and catalogs (VolumeIndexSnapshot.cpp). Failures are results (false, none),
    // never exceptions. Saves of one index are serialised by `saveLock_`; searches go on while a
    // snapshot is written.

    // Writes the snapshot: the header from `info` (its texts cut to whole characters within
    // 47, 47 and 1,023 bytes, `savedAt` as whole seconds clamped to 0..2^64-1) with the index's
    // own deleted count and store id, the entries and every key's permutation. Afterwards the
    // saved permutations are read from the file's pages. False, with nothing written and the
    // unsaved changes kept, while a scan runs, when entries were appended meanwhile, or when
    // the file cannot be written.
    bool save(const std::string& path, const SnapshotInfo& info);
    // Whether a change was counted after the last successful save started.
    bool hasUnsavedChanges() const;

    struct Loaded {
        std::shared_ptr<VolumeIndex> index;
        SnapshotInfo info;
    };
    struct Peeked {
        SnapshotInfo info;
        std::uint32_t entries = 0;
    };
    // A snapshot as a new index with its saved permutations (those that are whole permutations
    // of the entries they claim to cover) and its deleted count. The header texts come back as
    // the raw bytes before the first zero byte. None for a file that fails any check.
    static std::optional<Loaded> load(const std::string& path, std::vector<std::string> excludes);
    // The identity and entry count of a snapshot; the whole file is checked as by `load`.
    static std::optional<Peeked> peek(const std::string& path);
    // The identity and entry count from the snapshot's header alone (fidx_read_header): the
    // header is checked as `load` checks it, no section is read. For choosing among many files
    // before loading the few that qualify; a file it accepts may still fail `load`.
    static std::optional<Peeked> peekHeader(const std::string& path);

    // Writes the audio table beside the snapshot (at `audioPath`, CatalogFiles.h), stamped with
    // the store id. False, writing nothing, without a table or with an empty one.
    bool saveAudio(const std::string& snapshotPath);
    // Attaches the side file's table when it carries this index's store id and reads whole;
    // otherwise the current table stays. Call before the index is shared with other threads.
    void loadAudio(const std::string& snapshotPath);

    // Test seam: counts `changes` mutations and `deleted` more deleted entries, as a refresh does
    // after changing the entries.
    void countChangesForTesting(std::int64_t changes, std::int64_t deleted);

    // Test seam, told on the requesting thread as SortOrderCache::setBuildHook describes (on a
    // `wait` it must not call the index). Empty: nothing is told.
    using BuildEvent = SortOrderCache::BuildEvent;
    void setBuildHookForTesting(SortOrderCache::BuildHook hook);

private:
    // Adds the time since `start` to scanSeconds and ends one running scan.
    void finishScan(std::int64_t startNanos);

    const EngineHandle s_;
    mutable std::mutex lock_;
    std::mutex saveLock_;  // one snapshot save at a time
    SortOrderCache orders_;
    const std::uint64_t storeID_;
    std::shared_ptr<AudioTable> audio_;      // lock_
    std::shared_ptr<ContentIndex> content_;  // lock_
    std::int64_t deletedCount_ = 0;          // lock_
    std::int64_t mutations_ = 0;             // lock_; raised by every change of the entries
    std::int64_t savedMutations_ = 0;        // lock_; `mutations_` at the last snapshot save
    const std::vector<std::string> excludes_;
    std::vector<std::string> includeExts_;  // lock_

    // The folder entries among the first `count` entries, ascending.
    struct DirCache {
        std::uint32_t count = 0;
        std::vector<std::uint32_t> dirs;
    };
    mutable std::mutex dirLock_;
    mutable DirCache dirCache_;  // dirLock_

    // The root entries with their paths (at most 64), in the order they were added.
    std::vector<std::pair<std::uint32_t, std::string>> rootEntries() const;
    // Records, for roots not yet recorded, whether each is a mount point now.
    void noteRootMountPoints(const std::vector<std::string>& roots);
    // The given roots that fail the rule of RootPresence.h; whether every one passes.
    std::vector<std::string> missingRoots(const std::vector<std::pair<std::uint32_t, std::string>>& roots) const;
    bool rootsPresent(const std::vector<std::pair<std::uint32_t, std::string>>& roots) const;

    std::mutex refreshLock_;                  // held through each refresh
    std::map<std::string, bool> rootMounts_;  // lock_; root path -> a mount point when scanned or adopted
    RootProbe rootProbe_;                     // lock_; empty: probeRoot

    int scansRunning_ = 0;            // lock_; isScanning while above 0 (scans of one index may overlap)
    scan_stats stats_{};              // lock_
    double scanSeconds_ = 0;          // lock_
    platform::CancelFlag cancelled_;  // set by cancelScan, never cleared
};

}  // namespace quorvanta::core
