// The extension table: per index, ids 1 to 65,534 for lower-cased extensions of at most 15
// bytes, in order of first appearance, found through a 131,072-slot open-addressing hash that
// is read without a lock and added to under `fidx_priv::extensions`.
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <atomic>
#include <cstring>

namespace quorvanta::index_engine {
namespace {

constexpr uint32_t kHashMask = kExtHashSlots - 1;

}  // namespace

uint32_t fnv1a(const uint8_t* bytes, size_t len) {
    uint32_t h = 0x811C9DC5u;
    for (size_t i = 0; i < len; ++i) h = (h ^ bytes[i]) * 16777619u;
    return h;
}

namespace {

uint16_t slotId(const uint16_t* hash, uint32_t slot) {
    return std::atomic_ref<uint16_t>(const_cast<uint16_t&>(hash[slot])).load(std::memory_order_acquire);
}

bool sameText(const fidx* h, uint16_t id, const uint8_t* text, size_t n) {
    const char* known = h->ext_names[id];
    return strnlen(known, sizeof(fidx_ext_text)) == n && std::memcmp(known, text, n) == 0;
}

// Follows the probe sequence from `slot`: the id of the text, else 0 with `slot` at the empty
// slot that ends the sequence.
uint16_t probe(const fidx* h, const uint8_t* text, size_t n, uint32_t& slot) {
    const uint16_t* hash = h->priv->extHash;
    for (uint16_t id; (id = slotId(hash, slot)) != 0; slot = (slot + 1) & kHashMask)
        if (sameText(h, id, text, n)) return id;
    return 0;
}

}  // namespace

uint16_t extensionId(fidx* h, const uint8_t* folded, size_t len) {
    while (len > 0 && folded[len - 1] == 0x01) --len;  // the fold's padding
    const auto* dot = static_cast<const uint8_t*>(memrchr(folded, '.', len));
    if (!dot || dot == folded || dot == folded + len - 1) return 0;
    const uint8_t* text = dot + 1;
    const size_t n = folded + len - text;
    if (n > kExtMaxBytes) return 0;

    // Known extensions are found without the lock; a slot, once set, never changes.
    const uint32_t start = fnv1a(text, n) & kHashMask;
    uint32_t slot = start;
    if (const uint16_t id = probe(h, text, n, slot)) return id;
    fidx_priv& p = *h->priv;
    std::lock_guard lock(p.extensions);
    slot = start;  // another thread may have entered it meanwhile
    if (const uint16_t id = probe(h, text, n, slot)) return id;
    const uint32_t id = h->ext_count.load(std::memory_order_relaxed);
    if (id >= kExtLimit) return 0;
    std::memcpy(h->ext_names[id], text, n);
    h->ext_names[id][n] = 0;
    // Release: a thread that sees the slot or the new count also sees the slot's text.
    std::atomic_ref<uint16_t>(p.extHash[slot]).store(static_cast<uint16_t>(id), std::memory_order_release);
    h->ext_count.store(id + 1, std::memory_order_release);
    return static_cast<uint16_t>(id);
}

}  // namespace quorvanta::index_engine

void fidx_ext_insert(fidx* h, uint32_t id) {
    using namespace quorvanta::index_engine;
    fidx_priv& p = *h->priv;
    std::lock_guard lock(p.extensions);
    if (id == 0 || id >= kExtLimit || id >= h->ext_count.load(std::memory_order_relaxed)) return;
    const char* text = h->ext_names[id];
    uint32_t slot = fnv1a(reinterpret_cast<const uint8_t*>(text), strnlen(text, sizeof(fidx_ext_text))) & kHashMask;
    while (p.extHash[slot] != 0 && p.extHash[slot] != id) slot = (slot + 1) & kHashMask;
    std::atomic_ref<uint16_t>(p.extHash[slot]).store(static_cast<uint16_t>(id), std::memory_order_release);
}
