// Digest128: the first 16 bytes of a BLAKE3 output as two 64-bit words, `a` from bytes 0-7 and
// `b` from bytes 8-15, each read little-endian. The duplicate finder groups files by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quorvanta::audio {

struct Digest128 {
    std::uint64_t a = 0;
    std::uint64_t b = 0;

    friend bool operator==(const Digest128&, const Digest128&) = default;
};

}  // namespace quorvanta::audio

template <>
struct std::hash<quorvanta::audio::Digest128> {
    std::size_t operator()(const quorvanta::audio::Digest128& d) const noexcept {
        // The words are already uniformly distributed; mixing b in keeps a's collisions apart.
        return static_cast<std::size_t>(d.a ^ (d.b * 0x9E3779B97F4A7C15ull));
    }
};
