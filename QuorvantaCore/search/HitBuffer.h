// The buffer a full evaluation writes its hits into before they are copied out at their size.
// Buffers are shared by every searcher of the process and kept between searches, so a keystroke,
// or the one search of a searcher made for a single request, writes to memory already mapped
// instead of faulting in four bytes per entry of a large index each time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvanta::core {

class HitBuffer {
public:
    // A buffer of at least `slots` slots, uninitialised: a kept one when one is large enough,
    // else a new one with room for some growth of the index.
    explicit HitBuffer(std::size_t slots);
    // Hands the buffer back for the next search; the process keeps a few, the largest.
    ~HitBuffer();
    HitBuffer(const HitBuffer&) = delete;
    HitBuffer& operator=(const HitBuffer&) = delete;

    std::uint32_t* data() const { return slots_.get(); }
    std::size_t size() const { return size_; }

    // How many buffers the process keeps at most: one per search running at the same time.
    static constexpr std::size_t kept = 4;
    // Lets every kept buffer go.
    static void dropKept();

private:
    std::unique_ptr<std::uint32_t[]> slots_;
    std::size_t size_ = 0;
};

}  // namespace quorvanta::core
