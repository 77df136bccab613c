// Batches: the records and names of one folder (or one append) before they are committed.
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <cstdlib>
#include <cstring>

namespace quorvanta::index_engine {

void resetBatch(fidx_listing& b) {
    b.count = 0;
    b.used = 0;
}

void brec(fidx_listing& b, uint32_t nameOffset, uint64_t size, uint32_t mtime, uint32_t ctime, uint8_t flags) {
    if (b.count == b.cap) {
        const uint32_t cap = b.cap ? b.cap * 2 : 256;
        auto* recs = static_cast<fidx_rec*>(std::realloc(b.recs, sizeof(fidx_rec) * cap));
        if (!recs || cap <= b.cap) std::abort();
        b.recs = recs;
        b.cap = cap;
    }
    b.recs[b.count++] = fidx_rec{nameOffset, size, mtime, ctime, flags};
}

uint8_t bname(fidx_listing& b, const uint8_t* name, size_t len) {
    if (b.used + len + 1 > b.name_cap) {
        const uint64_t cap = 2 * (b.name_cap + len) + 2;
        auto* names = static_cast<uint8_t*>(std::realloc(b.names, cap));
        if (!names) std::abort();
        b.names = names;
        auto* folded = static_cast<uint8_t*>(std::realloc(b.folded, cap));
        if (!folded) std::abort();
        b.folded = folded;
        b.name_cap = cap;
    }
    uint8_t* n = b.names + b.used;
    uint8_t* f = b.folded + b.used;
    uint8_t high = 0;
    for (size_t i = 0; i < len; ++i) {
        const uint8_t c = name[i];
        n[i] = c;
        f[i] = static_cast<uint8_t>(c - 'A') < 26 ? c + ('a' - 'A') : c;
        high |= c;
    }
    n[len] = 0;
    f[len] = 0;
    b.used += len + 1;
    if (!(high & 0x80)) return 0;
    if (fidx_fold_fn fold = foldHook()) fold(name, len, f);
    return FIDX_NON_ASCII;
}

void addRecord(fidx_listing& b, const char* name, size_t len, uint64_t size, uint32_t mtime, uint32_t ctime,
               uint8_t flags) {
    const auto offset = static_cast<uint32_t>(b.used);
    flags = (flags & ~FIDX_NON_ASCII) | bname(b, reinterpret_cast<const uint8_t*>(name), len);
    brec(b, offset, size, mtime, ctime, flags);
}

}  // namespace quorvanta::index_engine

void fidx_listing_free(fidx_listing* l) {
    if (!l) return;
    std::free(l->recs);
    std::free(l->names);
    std::free(l->folded);
    *l = fidx_listing{};
}
