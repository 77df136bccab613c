// The hasher's one-time set-up; this unit also gives the library a translation unit that links
// BLAKE3.
#include "audio/hash/Blake3.h"

namespace quorvanta::audio {

void Blake3::settleCpuFeatures() {
    static const bool settled = [] {
        blake3_hasher hasher;
        blake3_hasher_init(&hasher);
        const std::uint8_t byte = 0;
        blake3_hasher_update(&hasher, &byte, 1);
        std::uint8_t out[16];
        blake3_hasher_finalize(&hasher, out, sizeof out);  // compresses: the choice is made here
        return true;
    }();
    (void)settled;
}

}  // namespace quorvanta::audio
