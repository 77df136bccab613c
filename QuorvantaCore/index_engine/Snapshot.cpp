// Saving an index as a snapshot file and loading one back (layout in SnapshotFormat.h).
//
// A save writes everything under the engine mutex, then maps sections 0-8 of the new file over
// the live arrays, copy-on-write, so their unchanged pages are backed by the file. A load checks
// the header, maps the same sections over a new handle's arrays and checks the entries (name
// offsets, name ends, parent links, extension ids) before anything reads them: the file may come
// from anywhere (the tool's snapshot commands take any path).
#include "QuorvantaCore/index_engine/CacheFiles.h"
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace quorvanta::index_engine {
namespace {

using namespace snapshot;

uint64_t roundUpSection(uint64_t len) { return (len + kAlign - 1) / kAlign * kAlign; }

bool readAt(int fd, void* out, uint64_t len, uint64_t offset) {
    auto* at = static_cast<char*>(out);
    while (len > 0) {
        const ssize_t got = pread(fd, at, std::min<uint64_t>(len, 1u << 30), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += got;
        len -= static_cast<uint64_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

// The exact length of every section for the header's counts.
void expectedLengths(const SnapshotHeader& hdr, uint64_t out[kSectionCount]) {
    const uint64_t count = hdr.entry_count;
    const uint64_t perEntry[kMappedSections] = {0, 0, 4, 4, 8, 4, 4, 1, 2};
    for (uint32_t s = 0; s < kMappedSections; ++s) out[s] = perEntry[s] * count;
    out[kSecNames] = out[kSecFolded] = hdr.name_bytes;
    out[kSecNameOff] += 4;
    out[kSecExtTable] = uint64_t(kExtSlotBytes) * hdr.ext_count;
    for (uint32_t key = 0; key < FIDX_SORT_KEYS; ++key) {
        out[kSecPerm0 + key] = 4ull * hdr.block.n[key];
        out[kSecMoved0 + key] = 8ull * hdr.block.moved_n[key];
    }
}

bool permCountsValid(uint32_t n, uint32_t k, uint32_t movedN, uint32_t count) {
    return n <= k && k <= count && movedN <= k / 64 + 1;
}

// Fills offsets and the file size from the section lengths by the placement rule.
void place(SnapshotHeader& hdr) {
    uint64_t offset = kAlign;
    for (SectionEntry& s : hdr.sections) {
        s.offset = offset;
        offset += roundUpSection(s.length);
    }
    hdr.file_size = offset;
    for (uint32_t key = 0; key < FIDX_SORT_KEYS; ++key) {
        hdr.block.perm_off[key] = hdr.sections[kSecPerm0 + key].offset;
        hdr.block.moved_off[key] = hdr.sections[kSecMoved0 + key].offset;
    }
}

bool headerValid(const SnapshotHeader& hdr, uint64_t realSize, uint32_t maxEntries, uint64_t maxNameBytes) {
    if (std::memcmp(hdr.magic, kMagic, 8) != 0 || std::memcmp(hdr.end_magic, kEndMagic, 8) != 0 ||
        hdr.version != kVersion || hdr.header_size != kHeaderSize || hdr.file_size != realSize)
        return false;
    // Name offsets are 32-bit, so no valid store is longer than that whatever the limit says.
    if (hdr.entry_count > maxEntries || hdr.name_bytes > maxNameBytes || hdr.name_bytes > UINT32_MAX ||
        hdr.ext_count < 1 || hdr.ext_count > kExtLimit || hdr.block.deleted > hdr.entry_count)
        return false;
    for (uint32_t key = 0; key < FIDX_SORT_KEYS; ++key)
        if (!permCountsValid(hdr.block.n[key], hdr.block.k[key], hdr.block.moved_n[key], hdr.entry_count)) return false;

    uint64_t lengths[kSectionCount];
    expectedLengths(hdr, lengths);
    SectionEntry used[kSectionCount];
    uint32_t nUsed = 0;
    for (uint32_t s = 0; s < kSectionCount; ++s) {
        const SectionEntry& e = hdr.sections[s];
        // Lengths are below 2^36 here, so the rounding cannot wrap; the offset is compared by
        // subtraction for the same reason.
        const uint64_t room = roundUpSection(e.length);
        if (e.length != lengths[s] || e.offset % kAlign != 0 || e.offset < kAlign || room > realSize ||
            e.offset > realSize - room)
            return false;
        if (e.length > 0) used[nUsed++] = {e.offset, room};
    }
    std::sort(used, used + nUsed, [](const SectionEntry& a, const SectionEntry& b) { return a.offset < b.offset; });
    for (uint32_t i = 1; i < nUsed; ++i)
        if (used[i - 1].offset + used[i - 1].length > used[i].offset) return false;
    return true;
}

// One pass over the entries: every name lies inside the stores and ends with a NUL in both,
// parents come before their children (so every chain ends at a root), an entry has no parent
// exactly when it carries the root flag, extension ids name slots of the table, and every table
// slot is NUL-terminated.
bool entriesValid(const fidx* h, const SnapshotHeader& hdr) {
    const uint32_t count = hdr.entry_count;
    const uint64_t nameBytes = hdr.name_bytes;
    const uint32_t extCount = hdr.ext_count;
    if (h->name_off[0] != 0) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t start = h->name_off[i], end = h->name_off[i + 1];
        if (end <= start || end > nameBytes || h->names[end - 1] != 0 || h->folded[end - 1] != 0) return false;
        const uint32_t parent = h->parent[i];
        const bool root = (h->flags[i] & FIDX_ROOT) != 0;
        if (root ? parent != FIDX_NONE : parent >= i) return false;
        if (h->ext[i] >= extCount) return false;
    }
    if (h->name_off[count] != nameBytes) return false;
    for (uint32_t id = 0; id < extCount; ++id)
        if (!std::memchr(h->ext_names[id], 0, sizeof(fidx_ext_text))) return false;
    return true;
}

// Maps a section of the file over the start of an array, copy-on-write; the mapped range then
// counts as writable.
bool mapSection(Region& r, int fd, const SectionEntry& s) {
    const uint64_t len = roundUpSection(s.length);
    if (mmap(r.base, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, static_cast<off_t>(s.offset)) ==
        MAP_FAILED)
        return false;
    r.writable = std::max<size_t>(r.writable, len);
    return true;
}

// Reads a section into the start of an array (when its pages cannot be mapped).
bool copySection(Region& r, int fd, const SectionEntry& s) {
    return makeWritable(r, s.length) && readAt(fd, r.base, s.length, s.offset);
}

bool sameFile(int a, int b) {
    struct stat sa {
    }, sb{};
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// After a save: the arrays' pages become the new file's. The file holds exactly the bytes in
// memory (the engine mutex is held), so readers see no change. A failed fixed mapping may leave
// the range unmapped; it is then filled again from the file, and when even that fails the
// arrays are gone and the process cannot go on.
void remapArrays(fidx* h, int fd, const SnapshotHeader& hdr) {
    for (uint32_t a = 0; a < kMappedSections; ++a) {
        const SectionEntry& s = hdr.sections[a];
        Region& r = h->priv->regions[a];
        if (s.length == 0 || mapSection(r, fd, s)) continue;
        const uint64_t len = roundUpSection(s.length);
        if (mmap(r.base, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED ||
            !readAt(fd, r.base, s.length, s.offset)) {
            std::perror("mmap");
            std::abort();
        }
    }
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

// The header of an open snapshot (fd may be -1), when the file is a regular one of at least one
// section's alignment and the header passes `headerValid` against the file's length.
bool readHeader(int fd, uint32_t maxEntries, uint64_t maxNameBytes, SnapshotHeader& hdr) {
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < static_cast<off_t>(kAlign)) return false;
    return readAt(fd, &hdr, sizeof hdr, 0) &&
           headerValid(hdr, static_cast<uint64_t>(st.st_size), maxEntries, maxNameBytes);
}

// The caller's view of a checked header: its block, with the permutation lengths and offsets
// taken from the section table.
fidx_header_block blockOf(const SnapshotHeader& hdr) {
    fidx_header_block block = hdr.block;
    for (uint32_t key = 0; key < FIDX_SORT_KEYS; ++key) {
        block.n[key] = static_cast<uint32_t>(hdr.sections[kSecPerm0 + key].length / 4);
        block.moved_n[key] = static_cast<uint32_t>(hdr.sections[kSecMoved0 + key].length / 8);
        block.perm_off[key] = hdr.sections[kSecPerm0 + key].offset;
        block.moved_off[key] = hdr.sections[kSecMoved0 + key].offset;
    }
    return block;
}

}  // namespace

bool snapshotPagesMappable() { return sysconf(_SC_PAGESIZE) <= static_cast<long>(kAlign); }

int saveSnapshot(fidx* h, const char* path, fidx_header_block* block, uint32_t expected, const snap_perm* perms,
                 bool remap) {
    if (!path_ok(path)) return -3;
    fidx_priv& p = *h->priv;
    std::lock_guard lock(p.engine);
    // The caller's count is one it read as published, so equal to the entries handed out only when
    // no commit is filling: no entry is written while the arrays are saved and remapped.
    if (p.committed != expected) return -2;

    SnapshotHeader hdr{};
    std::memcpy(hdr.magic, kMagic, 8);
    std::memcpy(hdr.end_magic, kEndMagic, 8);
    hdr.version = kVersion;
    hdr.header_size = kHeaderSize;
    if (block) hdr.block = *block;
    hdr.block.zero0 = hdr.block.zero1 = 0;
    hdr.entry_count = p.committed;
    // Never more deleted entries than entries: the loader refuses such a file.
    hdr.block.deleted = std::min(hdr.block.deleted, p.committed);
    hdr.ext_count = h->ext_count.load(std::memory_order_relaxed);
    hdr.name_bytes = p.nameBytes;
    const void* data[kSectionCount] = {h->names, h->folded, h->name_off, h->parent, h->size,
                                       h->mtime, h->ctime,  h->flags,    h->ext,    h->ext_names};
    for (uint32_t key = 0; key < FIDX_SORT_KEYS; ++key) {
        const snap_perm none{};
        const snap_perm& in = perms ? perms[key] : none;
        const uint32_t movedN = in.moved ? in.moved_n : 0;
        // A record the loader would refuse is not written: the key is saved without permutation.
        const bool keep = in.p && permCountsValid(in.n, in.k, movedN, hdr.entry_count);
        hdr.block.n[key] = keep ? in.n : 0;
        hdr.block.k[key] = keep ? in.k : 0;
        hdr.block.moved_n[key] = keep ? movedN : 0;
        data[kSecPerm0 + key] = in.p;
        data[kSecMoved0 + key] = in.moved;
    }
    uint64_t lengths[kSectionCount];
    expectedLengths(hdr, lengths);
    for (uint32_t s = 0; s < kSectionCount; ++s) hdr.sections[s].length = lengths[s];
    place(hdr);

    std::error_code error;
    auto file = platform::AtomicFile::create(path, 0600, error);
    if (!file) {
        errno = error.value();
        return -1;
    }
    // The remap reads the file just written through its own descriptor: by name it might
    // already be another writer's file.
    Fd reader{remap ? open(file->tempPath().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1};
    if (reader.fd >= 0 && !sameFile(reader.fd, file->fd())) {
        close(reader.fd);
        reader.fd = -1;
    }
    for (uint32_t s = 0; s < kSectionCount; ++s)
        if (lengths[s] > 0 && put(*file, data[s], lengths[s], hdr.sections[s].offset) != 0) return -1;
    if (ftruncate(file->fd(), static_cast<off_t>(hdr.file_size)) != 0) return -1;
    if (put(*file, &hdr, sizeof hdr, 0) != 0) return -1;
    if ((error = file->commit())) {
        errno = error.value();
        return -1;
    }
    if (reader.fd >= 0) remapArrays(h, reader.fd, hdr);
    if (block) *block = hdr.block;
    return 0;
}

fidx* loadSnapshot(const char* path, uint32_t maxEntries, uint64_t maxNameBytes, fidx_header_block* block,
                   LoadOptions options) {
    Fd file{open(path, O_RDONLY | O_CLOEXEC)};
    SnapshotHeader hdr;
    if (!readHeader(file.fd, maxEntries, maxNameBytes, hdr)) return nullptr;

    fidx* h = fidx_new(maxEntries, maxNameBytes);
    fidx_priv& p = *h->priv;
    bool ok = true;
    for (uint32_t a = 0; a < kMappedSections && ok; ++a) {
        const SectionEntry& s = hdr.sections[a];
        if (s.length > 0)
            ok = options.mapArrays ? mapSection(p.regions[a], file.fd, s) : copySection(p.regions[a], file.fd, s);
    }
    const SectionEntry& table = hdr.sections[kSecExtTable];
    ok = ok && readAt(file.fd, h->ext_names, table.length, table.offset);
    ok = ok && (!options.checkContents || entriesValid(h, hdr));
    if (!ok) {
        fidx_free(h);
        return nullptr;
    }

    h->ext_count.store(hdr.ext_count, std::memory_order_release);
    for (uint32_t id = 1; id < hdr.ext_count; ++id) fidx_ext_insert(h, id);
    {
        std::lock_guard lock(p.engine);
        p.committed = hdr.entry_count;
        p.nameBytes = hdr.name_bytes;
        for (uint32_t i = 0; i < hdr.entry_count; ++i)
            if (h->flags[i] & FIDX_ROOT) p.roots.push_back(i);
        h->count.store(hdr.entry_count, std::memory_order_seq_cst);
    }
    if (block) *block = blockOf(hdr);
    return h;
}

}  // namespace quorvanta::index_engine

using namespace quorvanta::index_engine;

int fidx_save(fidx* h, const char* path, fidx_header_block* block, uint32_t expected, const snap_perm* perms) {
    return saveSnapshot(h, path, block, expected, perms, snapshotPagesMappable());
}

fidx* fidx_load(const char* path, uint32_t maxEntries, uint64_t maxNameBytes, fidx_header_block* block) {
    return loadSnapshot(path, maxEntries, maxNameBytes, block, {snapshotPagesMappable(), true});
}

int fidx_read_header(const char* path, uint32_t maxEntries, uint64_t maxNameBytes, fidx_header_block* block,
                     uint32_t* entries) {
    Fd file{open(path, O_RDONLY | O_CLOEXEC)};
    SnapshotHeader hdr;
    if (!readHeader(file.fd, maxEntries, maxNameBytes, hdr)) return -1;
    if (block) *block = blockOf(hdr);
    if (entries) *entries = hdr.entry_count;
    return 0;
}
