// A thin C++ face on the BLAKE3 hasher: init on construction, update with any number of byte
// ranges, finalize to the number of output bytes asked for. The state is a plain value that
// lives where the caller puts it (usually the stack); one hasher is used by one thread.
#pragma once

#include <blake3.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quorvanta::audio {

class Blake3 {
public:
    Blake3() {
        settleCpuFeatures();
        blake3_hasher_init(&state_);
    }

    void update(const void* data, std::size_t size) { blake3_hasher_update(&state_, data, size); }
    void update(std::span<const std::uint8_t> bytes) { update(bytes.data(), bytes.size()); }
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

    // Writes out.size() output bytes. Shorter outputs are prefixes of longer ones.
    void finalize(std::span<std::uint8_t> out) const { blake3_hasher_finalize(&state_, out.data(), out.size()); }
    std::vector<std::uint8_t> finalize(std::size_t size) const {
        std::vector<std::uint8_t> out(size);
        finalize(std::span<std::uint8_t>(out));
        return out;
    }

private:
    // The C library picks its SIMD code on first use and records the choice in a plain global;
    // two hashers starting at once on different threads would race on it. The first hasher of
    // the process makes that choice under a once-only initialisation that every later one waits
    // for.
    static void settleCpuFeatures();

    blake3_hasher state_;
};

}  // namespace quorvanta::audio
