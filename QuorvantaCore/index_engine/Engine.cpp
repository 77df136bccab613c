// The handle's life cycle, the reservation of its arrays and the commit of a batch.
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorvanta::index_engine {
namespace {

std::atomic<fidx_fold_fn> gFold{nullptr};

size_t granule() {
    static const size_t g = std::max(kReserveGranule, static_cast<size_t>(sysconf(_SC_PAGESIZE)));
    return g;
}

size_t roundUp(size_t len, size_t to) { return (len + to - 1) / to * to; }

constexpr size_t kHugePage = 2 << 20;  // the huge page of x86-64 and arm64 with 4 KiB pages

[[noreturn]] void dieMmap() {
    std::perror("mmap");
    std::abort();
}

// Makes room for `count` entries and `nameBytes` name bytes in every array.
bool growFor(fidx_priv& p, uint64_t count, uint64_t nameBytes) {
    const uint64_t perEntry[kArrayCount] = {0, 0, 4, 4, 8, 4, 4, 1, 2};
    for (int a = 0; a < kArrayCount; ++a) {
        uint64_t need = a == kNames || a == kFolded ? nameBytes : a == kNameOff ? 4 * (count + 1) : perEntry[a] * count;
        if (!makeWritable(p.regions[a], need)) return false;
    }
    return true;
}

// Writes the batch's entries into the room handed out at entry `base` and name offset `nameBase`.
// The slots are above the published count, so no reader looks at them yet; name_off[base] is the
// closing slot of the entries before, written by their commit, and is not written again.
void fill(fidx* h, const fidx_listing& b, uint32_t parent, uint32_t base, uint64_t nameBase) {
    std::memcpy(h->names + nameBase, b.names, b.used);
    std::memcpy(h->folded + nameBase, b.folded, b.used);
    for (uint32_t j = 0; j < b.count; ++j) {
        const fidx_rec& r = b.recs[j];
        const uint32_t e = base + j;
        const uint64_t end = j + 1 < b.count ? b.recs[j + 1].name : b.used;
        h->name_off[e + 1] = static_cast<uint32_t>(nameBase + end);
        h->parent[e] = parent;
        h->size[e] = r.size;
        h->mtime[e] = r.mtime;
        h->ctime[e] = r.ctime;
        h->flags[e] = r.flags & ~FIDX_OTHER_DEVICE;
        h->ext[e] = r.flags & FIDX_FOLDER ? 0 : extensionId(h, b.folded + r.name, end - r.name - 1);
    }
}

// Marks the commit whose entries end at `end` filled, and raises the published count over every
// filled commit at the front of the queue.
void publish(fidx* h, uint32_t end) {
    fidx_priv& p = *h->priv;
    std::lock_guard lock(p.publish);
    for (fidx_priv::Fill& f : p.filling)
        if (f.end == end) f.done = true;
    uint32_t count = 0;
    while (!p.filling.empty() && p.filling.front().done) {
        count = p.filling.front().end;
        p.filling.pop_front();
    }
    if (count != 0) h->count.store(count, std::memory_order_seq_cst);
}

}  // namespace

fidx_fold_fn foldHook() { return gFold.load(std::memory_order_acquire); }

size_t reservedLength(size_t len) { return roundUp(std::max<size_t>(len, 1), granule()); }

Region fidx_reserve_vm(size_t len) {
    Region r;
    r.reserved = reservedLength(len);
    if (r.reserved < len) dieMmap();  // the rounding wrapped: no such reservation exists
    void* base = mmap(nullptr, r.reserved, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) dieMmap();
    // Huge pages where the system offers them on request: a growing index then faults in its
    // arrays 2 MiB at a time instead of 4 KiB at a time. Advice only; refused, nothing changes.
    madvise(base, r.reserved, MADV_HUGEPAGE);
    r.base = base;
    return r;
}

bool makeWritable(Region& r, size_t bytes) {
    if (bytes <= r.writable) return true;
    if (bytes > r.reserved) return false;
    // Grow by half again at least, so that a growing index calls mprotect rarely. Past the first
    // huge page the writable end lands on a huge-page boundary of the address space: a huge page
    // only backs a range wholly inside the writable part, and one touched while the end cut
    // through it would stay in small pages for good.
    const size_t exact = std::min(roundUp(bytes, granule()), r.reserved);
    size_t generous = roundUp(std::max(bytes, r.writable + r.writable / 2), granule());
    if (generous >= kHugePage) {
        const auto start = reinterpret_cast<uintptr_t>(r.base);
        generous = roundUp(start + generous, kHugePage) - start;
    }
    generous = std::min(generous, r.reserved);
    for (size_t target : {generous, exact}) {
        if (mprotect(static_cast<char*>(r.base) + r.writable, target - r.writable, PROT_READ | PROT_WRITE) == 0) {
            r.writable = target;
            return true;
        }
    }
    return false;
}

uint32_t commit(fidx* h, const fidx_listing& b, uint32_t parent) {
    if (b.count == 0) return FIDX_NONE;
    fidx_priv& p = *h->priv;
    uint32_t base;
    uint64_t nameBase;
    {
        std::lock_guard lock(p.engine);
        base = p.committed;
        nameBase = p.nameBytes;
        // Compared against the room left (committed < maxEntries and name bytes < maxNameBytes
        // hold whenever anything was committed), so no batch size can wrap around the test. Name
        // offsets are 32-bit, which bounds the store whatever maxNameBytes says.
        const bool fits =
            b.count < p.maxEntries - base && b.used < p.maxNameBytes - nameBase && b.used <= UINT32_MAX - nameBase;
        if (!fits || !growFor(p, uint64_t(base) + b.count, nameBase + b.used)) {
            p.overflowed.store(1, std::memory_order_relaxed);
            return FIDX_NONE;
        }
        p.committed = base + b.count;
        p.nameBytes = nameBase + b.used;
        std::lock_guard order(p.publish);
        p.filling.push_back({p.committed, false});
    }
    fill(h, b, parent, base, nameBase);
    publish(h, base + b.count);
    return base;
}

}  // namespace quorvanta::index_engine

using namespace quorvanta::index_engine;

fidx* fidx_new(uint32_t maxEntries, uint64_t maxNameBytes) {
    auto* h = new fidx{};
    auto* p = new fidx_priv;
    h->priv = p;
    p->maxEntries = maxEntries;
    p->maxNameBytes = maxNameBytes;
    const uint64_t slots = uint64_t(maxEntries) + 1;
    const uint64_t lengths[kArrayCount] = {maxNameBytes + 1, maxNameBytes + 1, 4 * slots, 4 * slots, 8 * slots,
                                           4 * slots,        4 * slots,        slots,     2 * slots};
    for (int a = 0; a < kArrayCount; ++a) p->regions[a] = fidx_reserve_vm(lengths[a]);
    // name_off[0] is readable from the start: an empty index has one valid slot.
    if (!makeWritable(p->regions[kNameOff], 4)) dieMmap();
    h->names = static_cast<uint8_t*>(p->regions[kNames].base);
    h->folded = static_cast<uint8_t*>(p->regions[kFolded].base);
    h->name_off = static_cast<uint32_t*>(p->regions[kNameOff].base);
    h->parent = static_cast<uint32_t*>(p->regions[kParent].base);
    h->size = static_cast<uint64_t*>(p->regions[kSize].base);
    h->mtime = static_cast<uint32_t*>(p->regions[kMtime].base);
    h->ctime = static_cast<uint32_t*>(p->regions[kCtime].base);
    h->flags = static_cast<uint8_t*>(p->regions[kFlags].base);
    h->ext = static_cast<uint16_t*>(p->regions[kExt].base);
    h->ext_names = static_cast<fidx_ext_text*>(std::calloc(kExtSlots, sizeof(fidx_ext_text)));
    p->extHash = static_cast<uint16_t*>(std::calloc(kExtHashSlots, sizeof(uint16_t)));
    if (!h->ext_names || !p->extHash) std::abort();
    h->ext_count.store(1, std::memory_order_relaxed);
    return h;
}

void fidx_free(fidx* h) {
    if (!h) return;
    fidx_priv* p = h->priv;
    for (const Region& r : p->regions) munmap(r.base, r.reserved);
    std::free(h->ext_names);
    std::free(p->extHash);
    delete p;
    delete h;
}

uint32_t fidx_count(const fidx* h) { return h->count.load(std::memory_order_acquire); }

uint32_t fidx_overflowed(const fidx* h) { return h->priv->overflowed.load(std::memory_order_relaxed); }

void fidx_set_fold(fidx_fold_fn fn) { gFold.store(fn, std::memory_order_release); }
