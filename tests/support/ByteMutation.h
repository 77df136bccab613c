// Seeded corruption of a well-formed file, for the robustness tests of parsers of outside input
// (the unit-test side of the fuzz harnesses in tests/fuzz/): bit flips, edge bytes, truncation,
// inserted bytes, a 32-bit field set to an extreme, and a range repeated elsewhere.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace quorvanta::test {

// One to four edits of seed, drawn from rng; the same rng state gives the same result.
inline std::vector<std::uint8_t> mutateBytes(const std::vector<std::uint8_t>& seed, std::mt19937& rng) {
    std::vector<std::uint8_t> b = seed;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        const std::size_t at = rng() % b.size();
        switch (rng() % 6) {
            case 0:
                b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1: {
                static const std::uint8_t kEdges[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
                b[at] = kEdges[rng() % 6];
                break;
            }
            case 2:
                b.resize(at);
                break;
            case 3:
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), rng() % 16, static_cast<std::uint8_t>(rng()));
                break;
            case 4: {  // a 32-bit field set to an extreme
                const std::uint32_t v = rng() % 2 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(rng() % 64);
                for (int i = 0; i < 4 && at + i < b.size(); ++i)
                    b[at + i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
                break;
            }
            default: {  // a range repeated
                const std::size_t len = std::min<std::size_t>(b.size() - at, 1 + rng() % 64);
                const std::vector<std::uint8_t> piece(b.begin() + static_cast<std::ptrdiff_t>(at),
                                                      b.begin() + static_cast<std::ptrdiff_t>(at + len));
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(rng() % b.size()), piece.begin(), piece.end());
            }
        }
    }
    return b;
}

}  // namespace quorvanta::test
