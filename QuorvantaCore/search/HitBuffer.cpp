#include "QuorvantaCore/search/HitBuffer.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace quorvanta::core {
namespace {

struct Kept {
    std::unique_ptr<std::uint32_t[]> slots;
    std::size_t size = 0;
};

struct Pool {
    std::mutex lock;
    std::vector<Kept> buffers;  // lock
};

Pool& pool() {
    static Pool* const shared = new Pool;  // never destroyed: searches may end during exit
    return *shared;
}

}  // namespace

HitBuffer::HitBuffer(std::size_t slots) {
    {
        Pool& p = pool();
        std::lock_guard guard(p.lock);
        // The smallest kept buffer that fits leaves the larger ones to larger indexes.
        auto best = p.buffers.end();
        for (auto it = p.buffers.begin(); it != p.buffers.end(); ++it)
            if (it->size >= slots && (best == p.buffers.end() || it->size < best->size)) best = it;
        if (best != p.buffers.end()) {
            slots_ = std::move(best->slots);
            size_ = best->size;
            p.buffers.erase(best);
            return;
        }
    }
    size_ = slots + slots / 16;
    slots_ = std::make_unique_for_overwrite<std::uint32_t[]>(size_);
}

HitBuffer::~HitBuffer() {
    if (!slots_) return;
    Pool& p = pool();
    std::lock_guard guard(p.lock);
    p.buffers.push_back(Kept{std::move(slots_), size_});
    if (p.buffers.size() > kept) {
        const auto smallest = std::min_element(p.buffers.begin(), p.buffers.end(),
                                               [](const Kept& a, const Kept& b) { return a.size < b.size; });
        p.buffers.erase(smallest);
    }
}

void HitBuffer::dropKept() {
    Pool& p = pool();
    std::lock_guard guard(p.lock);
    p.buffers.clear();
}

}  // namespace quorvanta::core
