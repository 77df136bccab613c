// UTF-8 at the byte level: decoding one sequence strictly, validating a text, and cutting a text
// to a byte budget without splitting a sequence.
//
// Linux file names need not be UTF-8, so every walker in this folder treats a byte that does not
// start a well-formed sequence (a lone continuation byte, an overlong form, an encoded surrogate,
// a value above U+10FFFF, a sequence cut short) as a unit of its own and never drops or replaces
// it. All functions are pure and safe from any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvanta::core::text {

// Decodes the well-formed sequence that starts at p (n bytes available): stores its code point in
// cp and returns its length, 1 to 4. Returns 0, leaving cp alone, when n is 0 or the bytes at p do
// not start a well-formed sequence.
inline std::size_t decodeUtf8(const unsigned char* p, std::size_t n, char32_t& cp) {
    if (n == 0) return 0;
    const unsigned b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    auto cont = [](unsigned b) { return (b & 0xC0) == 0x80; };
    if (b0 < 0xC2) return 0;  // continuation byte, or the overlong leads C0 and C1
    if (b0 < 0xE0) {
        if (n < 2 || !cont(p[1])) return 0;
        cp = ((b0 & 0x1Fu) << 6) | (p[1] & 0x3Fu);
        return 2;
    }
    if (b0 < 0xF0) {
        if (n < 3 || !cont(p[1]) || !cont(p[2])) return 0;
        if (b0 == 0xE0 && p[1] < 0xA0) return 0;   // overlong
        if (b0 == 0xED && p[1] >= 0xA0) return 0;  // UTF-16 surrogate
        cp = ((b0 & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
        return 3;
    }
    if (b0 < 0xF5) {
        if (n < 4 || !cont(p[1]) || !cont(p[2]) || !cont(p[3])) return 0;
        if (b0 == 0xF0 && p[1] < 0x90) return 0;   // overlong
        if (b0 == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
        cp = ((b0 & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
        return 4;
    }
    return 0;
}

inline std::size_t decodeUtf8(std::string_view text, std::size_t at, char32_t& cp) {
    return decodeUtf8(reinterpret_cast<const unsigned char*>(text.data()) + at, text.size() - at, cp);
}

// The well-formed sequence that ends exactly at byte `end` of text: stores its code point and
// returns its length, or 0 when the byte before `end` does not end one (or end is 0).
std::size_t decodeUtf8Before(std::string_view text, std::size_t end, char32_t& cp);

// Whether the whole text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// The longest prefix of text of at most maxBytes bytes that does not split a well-formed
// sequence. Ill-formed bytes count one byte each, so they may end the prefix.
std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace quorvanta::core::text
