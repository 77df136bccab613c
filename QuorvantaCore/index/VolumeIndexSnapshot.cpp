// The snapshot members of VolumeIndex: save and load through the engine's snapshot file, peek
// (whole file or header only), and the audio side file.
//
// Permutations read from a file are mapped from a descriptor this code holds, never by name
// after the fact: another writer may have renamed a new file over the path meanwhile. After a
// save, a mapped permutation is used only when its bytes equal the ones just saved; after a
// load, only when the file is still the one the engine loaded and the permutation covers every
// entry it claims to cover.
#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/index/CatalogFiles.h"
#include "QuorvantaCore/text/Utf8.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>

namespace quorvanta::core {
namespace {

using std::chrono::system_clock;

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

bool hasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// The field zero-filled, then the longest prefix of whole characters that leaves a zero byte at
// the end (a byte that is not part of well-formed UTF-8 counts as one character).
template <std::size_t N>
void putText(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    const std::string_view kept = text::utf8Prefix(text, N - 1);
    std::memcpy(field, kept.data(), kept.size());
}

// The bytes before the first zero byte, as they are: a root need not be UTF-8.
template <std::size_t N>
std::string getText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Whole seconds since 1970, fractions dropped; a time before 1970 saves as 0.
std::uint64_t unixSeconds(system_clock::time_point t) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
    return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

// The stored seconds as a time point; beyond what the clock holds, its last whole second.
system_clock::time_point fromUnixSeconds(std::uint64_t seconds) {
    constexpr auto maxSeconds = std::chrono::floor<std::chrono::seconds>(system_clock::duration::max()).count();
    const auto kept =
        static_cast<std::int64_t>(std::min<std::uint64_t>(seconds, static_cast<std::uint64_t>(maxSeconds)));
    return system_clock::time_point(std::chrono::seconds(kept));
}

SnapshotInfo infoFrom(const fidx_header_block& block) {
    SnapshotInfo info;
    info.uuid = getText(block.volume_uuid);
    info.fseUUID = getText(block.fse_uuid);
    info.root = getText(block.root);
    info.eventID = block.last_event_id;
    info.savedAt = fromUnixSeconds(block.save_time);
    info.exclHash = block.excl_hash;
    info.deleted = block.deleted;
    info.storeID = block.store_id;
    return info;
}

// A read-only private mapping of `bytes` bytes at `offset` of the file, inside the file and at
// a page boundary, as a Perm that unmaps it when released. Null when it cannot be made.
PermRef mapPerm(int fd, std::uint64_t offset, std::uint32_t n) {
    const std::uint64_t bytes = std::uint64_t(n) * 4;
    struct stat st {};
    const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    if (n == 0 || fstat(fd, &st) != 0 || offset % page != 0 || offset > static_cast<std::uint64_t>(st.st_size) ||
        bytes > static_cast<std::uint64_t>(st.st_size) - offset)
        return nullptr;
    void* base = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(offset));
    if (base == MAP_FAILED) return nullptr;
    return std::make_shared<const Perm>(
        static_cast<const std::uint32_t*>(base), n,
        [bytes](const std::uint32_t* at, std::size_t) { munmap(const_cast<std::uint32_t*>(at), bytes); });
}

bool readAt(int fd, void* out, std::uint64_t bytes, std::uint64_t offset) {
    auto* at = static_cast<char*>(out);
    while (bytes > 0) {
        const ssize_t got = pread(fd, at, bytes, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += got;
        bytes -= static_cast<std::uint64_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

// Whether `ids` holds every entry below k that is not a root exactly once, and nothing else:
// what a permutation built over the first k entries holds.
bool coversItsEntries(const fidx* h, const Perm& ids, std::uint32_t k) {
    if (k > fidx_count(h) || ids.count() > k) return false;
    std::vector<bool> seen(k);
    for (const std::uint32_t id : ids) {
        if (id >= k || seen[id] || (h->flags[id] & FIDX_ROOT)) return false;
        seen[id] = true;
    }
    std::size_t nonRoot = 0;
    for (std::uint32_t i = 0; i < k; ++i) nonRoot += (h->flags[i] & FIDX_ROOT) == 0;
    return nonRoot == ids.count();
}

// The saved entry of one key from the loaded file, or none when the key has none, its
// permutation cannot be mapped or is not whole. Moved bits at or above k are dropped; a bitset
// that cannot be read is empty.
std::optional<PermEntry> savedPermEntry(int fd, const fidx* h, const fidx_header_block& block, std::size_t key) {
    const std::uint32_t k = block.k[key];
    PermRef perm = mapPerm(fd, block.perm_off[key], block.n[key]);
    if (!perm || !coversItsEntries(h, *perm, k)) return std::nullopt;
    PermEntry entry{k, std::move(perm), {}, 0};
    const std::uint32_t words = block.moved_n[key];
    if (words == 0) return entry;
    entry.moved.resize(words);
    if (!readAt(fd, entry.moved.data(), std::uint64_t(words) * 8, block.moved_off[key])) {
        entry.moved.clear();
        return entry;
    }
    for (std::uint32_t w = 0; w < words; ++w) {
        const std::uint64_t first = std::uint64_t(w) * 64;
        if (first >= k)
            entry.moved[w] = 0;
        else if (k - first < 64)
            entry.moved[w] &= (std::uint64_t(1) << (k - first)) - 1;
        entry.movedCount += static_cast<std::uint32_t>(std::popcount(entry.moved[w]));
    }
    return entry;
}

// Whether the descriptor's file is the one at the path now.
bool stillAtPath(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

std::optional<VolumeIndex::Peeked> peeked(const std::string& path, fidx_header_block& block,
                                          VolumeIndex::EngineHandle& handle) {
    if (hasNul(path)) return std::nullopt;
    handle.reset(fidx_load(path.c_str(), VolumeIndex::defaultMaxEntries, VolumeIndex::defaultMaxNameBytes, &block));
    if (!handle) return std::nullopt;
    return VolumeIndex::Peeked{infoFrom(block), fidx_count(handle.get())};
}

}  // namespace

bool VolumeIndex::save(const std::string& path, const SnapshotInfo& info) {
    if (hasNul(path)) return false;
    std::lock_guard saving(saveLock_);

    // Mutations are read before the write: a change counted after this point may be missing
    // from the file, so it must still count as unsaved afterwards. A change counted before it
    // was made to the entries before it, hence before the engine writes them.
    std::int64_t mutationsBefore = 0;
    std::int64_t deleted = 0;
    {
        std::lock_guard guard(lock_);
        if (scansRunning_ > 0) return false;
        mutationsBefore = mutations_;
        deleted = deletedCount_;
    }
    const std::uint32_t expected = count();

    const SortOrderCache::Entries saved = isScanning() ? SortOrderCache::Entries{} : orders_.installed();

    fidx_header_block block{};
    putText(block.volume_uuid, info.uuid);
    putText(block.fse_uuid, info.fseUUID);
    putText(block.root, info.root);
    block.last_event_id = info.eventID;
    block.save_time = unixSeconds(info.savedAt);
    block.excl_hash = info.exclHash;
    block.deleted = static_cast<std::uint32_t>(std::clamp<std::int64_t>(deleted, 0, UINT32_MAX));
    block.store_id = storeID_;
    std::array<snap_perm, allSortKeys.size()> records{};
    for (std::size_t key = 0; key < saved.size(); ++key) {
        if (!saved[key]) continue;
        const PermEntry& entry = *saved[key];
        records[key] = snap_perm{entry.perm->base(), static_cast<std::uint32_t>(entry.perm->count()), entry.count,
                                 entry.moved.data(), static_cast<std::uint32_t>(entry.moved.size())};
    }
    if (fidx_save(s_.get(), path.c_str(), &block, expected, records.data()) != 0) return false;

    // The saved permutations move onto the file's pages, each only while the key still holds the
    // very permutation that was saved; its covered count and moved bits stay.
    const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    for (std::size_t key = 0; key < saved.size() && file.fd >= 0; ++key) {
        if (!saved[key] || block.n[key] == 0) continue;
        const PermRef& old = saved[key]->perm;
        PermRef mapped = mapPerm(file.fd, block.perm_off[key], block.n[key]);
        if (!mapped || mapped->count() != old->count() ||
            std::memcmp(mapped->base(), old->base(), old->count() * sizeof(std::uint32_t)) != 0)
            continue;
        orders_.replacePermutation(allSortKeys[key], old, std::move(mapped));
    }

    std::lock_guard guard(lock_);
    savedMutations_ = std::max(savedMutations_, mutationsBefore);
    return true;
}

bool VolumeIndex::hasUnsavedChanges() const {
    std::lock_guard guard(lock_);
    return mutations_ != savedMutations_;
}

std::optional<VolumeIndex::Loaded> VolumeIndex::load(const std::string& path, std::vector<std::string> excludes) {
    // Opened first and compared after the load, so the permutations are mapped from the very
    // file the engine loaded.
    const Fd file(hasNul(path) ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC));
    fidx_header_block block{};
    EngineHandle handle;
    std::optional<Peeked> found = peeked(path, block, handle);
    if (!found) return std::nullopt;

    auto index = adopting(std::move(handle), block.store_id, std::move(excludes));
    SortOrderCache::Entries entries;
    if (file.fd >= 0 && stillAtPath(file.fd, path))
        for (std::size_t key = 0; key < entries.size(); ++key)
            entries[key] = savedPermEntry(file.fd, index->s(), block, key);
    index->orders_.install(std::move(entries));
    {
        std::lock_guard guard(index->lock_);
        index->deletedCount_ = block.deleted;
    }
    return Loaded{std::move(index), std::move(found->info)};
}

std::optional<VolumeIndex::Peeked> VolumeIndex::peek(const std::string& path) {
    fidx_header_block block{};
    EngineHandle handle;
    return peeked(path, block, handle);
}

std::optional<VolumeIndex::Peeked> VolumeIndex::peekHeader(const std::string& path) {
    fidx_header_block block{};
    std::uint32_t entries = 0;
    if (hasNul(path) || fidx_read_header(path.c_str(), defaultMaxEntries, defaultMaxNameBytes, &block, &entries) != 0)
        return std::nullopt;
    return Peeked{infoFrom(block), entries};
}

bool VolumeIndex::saveAudio(const std::string& snapshotPath) {
    const std::shared_ptr<AudioTable> table = audio();
    if (!table || table->count() == 0) return false;
    const std::vector<std::uint8_t> image = table->serialize(storeID_);
    return writeCache(std::string_view(reinterpret_cast<const char*>(image.data()), image.size()),
                      audioPath(snapshotPath));
}

void VolumeIndex::loadAudio(const std::string& snapshotPath) {
    const std::string path = audioPath(snapshotPath);
    const Fd file(hasNul(path) ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return;
    const auto bytes = static_cast<std::size_t>(st.st_size);
    void* image = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, file.fd, 0);
    if (image == MAP_FAILED) return;
    std::unique_ptr<AudioTable> table =
        AudioTable::deserialize(std::span(static_cast<const std::uint8_t*>(image), bytes), storeID_);
    munmap(image, bytes);
    if (table) setAudio(std::move(table));
}

void VolumeIndex::countChangesForTesting(std::int64_t changes, std::int64_t deleted) {
    std::lock_guard guard(lock_);
    mutations_ += changes;
    deletedCount_ += deleted;
}

}  // namespace quorvanta::core
