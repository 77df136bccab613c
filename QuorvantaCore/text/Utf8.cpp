#include "QuorvantaCore/text/Utf8.h"

namespace quorvanta::core::text {

std::size_t decodeUtf8Before(std::string_view text, std::size_t end, char32_t& cp) {
    // A sequence is at most 4 bytes: try each start that could end exactly at `end`.
    for (std::size_t len = 1; len <= 4 && len <= end; ++len) {
        const std::size_t start = end - len;
        const auto b = static_cast<unsigned char>(text[start]);
        if ((b & 0xC0) == 0x80) continue;  // a continuation byte starts nothing
        char32_t decoded = 0;
        if (decodeUtf8(text, start, decoded) != len) return 0;
        cp = decoded;
        return len;
    }
    return 0;
}

bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(p + i, n - i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = 0;
    while (end < text.size()) {
        char32_t cp = 0;
        std::size_t len = decodeUtf8(text, end, cp);
        if (len == 0) len = 1;
        if (end + len > maxBytes) break;
        end += len;
    }
    return text.substr(0, end);
}

}  // namespace quorvanta::core::text
