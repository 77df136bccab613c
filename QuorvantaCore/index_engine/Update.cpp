// Changes to an index between scans: appending listed records under a folder, flagging
// entries deleted, rewriting size and times, and reading the root list.
//
// The in-place writers take the engine mutex, so that they never fall between the two halves
// of a snapshot save (which holds it throughout); readers see their stores through relaxed
// atomics and may meet a mix of an entry's old and new values.
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <algorithm>
#include <cstring>

using namespace quorvanta::index_engine;

uint32_t fidx_append(fidx* h, uint32_t parent, const fidx_listing* l, const uint32_t* idx, uint32_t n) {
    if (n == 0 || parent >= fidx_count(h)) return FIDX_NONE;
    for (uint32_t k = 0; k < n; ++k)
        if (idx[k] >= l->count || l->recs[idx[k]].name >= l->used) return FIDX_NONE;
    fidx_listing batch{};
    for (uint32_t k = 0; k < n; ++k) {
        const fidx_rec& r = l->recs[idx[k]];
        const char* name = reinterpret_cast<const char*>(l->names + r.name);
        // The name's non-ASCII bit is recomputed by addRecord; the deleted bit never comes along.
        addRecord(batch, name, strnlen(name, l->used - r.name), r.size, r.mtime, r.ctime,
                  r.flags & ~(FIDX_NON_ASCII | FIDX_DELETED));
    }
    const uint32_t first = commit(h, batch, parent);
    fidx_listing_free(&batch);
    return first;
}

int fidx_set_deleted(fidx* h, uint32_t i) {
    std::lock_guard lock(h->priv->engine);
    if (i >= fidx_count(h)) return 0;
    const uint8_t old = std::atomic_ref<uint8_t>(h->flags[i]).fetch_or(FIDX_DELETED, std::memory_order_relaxed);
    return old & FIDX_DELETED ? 0 : 1;
}

void fidx_set_meta(fidx* h, uint32_t i, uint64_t size, uint32_t mtime, uint32_t ctime) {
    std::lock_guard lock(h->priv->engine);
    if (i >= fidx_count(h)) return;
    std::atomic_ref<uint64_t>(h->size[i]).store(size, std::memory_order_relaxed);
    std::atomic_ref<uint32_t>(h->mtime[i]).store(mtime, std::memory_order_relaxed);
    std::atomic_ref<uint32_t>(h->ctime[i]).store(ctime, std::memory_order_relaxed);
}

uint32_t fidx_roots(const fidx* h, uint32_t* out, uint32_t max) {
    std::lock_guard lock(h->priv->engine);
    const auto n = static_cast<uint32_t>(std::min<size_t>(max, h->priv->roots.size()));
    std::copy_n(h->priv->roots.begin(), n, out);
    return n;
}
