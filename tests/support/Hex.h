// Bytes as lower-case hexadecimal and back, for golden images and digests in tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::test {

inline std::string hex(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (auto b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Pairs of hexadecimal digits; an odd last digit is ignored.
inline std::vector<std::uint8_t> fromHex(std::string_view text) {
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(value(text[i]) * 16 + value(text[i + 1])));
    return out;
}

}  // namespace quorvanta::test
