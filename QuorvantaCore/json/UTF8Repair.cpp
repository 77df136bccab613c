#include "QuorvantaCore/json/UTF8Repair.h"

#include <cstddef>
#include <cstdint>

namespace quorvanta::core {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed sequence starting at `at`, or 0 when it is ill-formed; then
// `consumed` holds the length of its maximal subpart (at least 1), the bytes one U+FFFD replaces.
std::size_t sequenceLength(std::string_view s, std::size_t at, std::size_t& consumed) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = byte(at);
    std::size_t length = 0;
    std::uint8_t lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        consumed = 1;
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const bool fits =
            at + k < s.size() && byte(at + k) >= (k == 1 ? lo : 0x80) && byte(at + k) <= (k == 1 ? hi : 0xBF);
        if (!fits) {
            consumed = k;
            return 0;
        }
    }
    return length;
}

}  // namespace

bool isValidUTF8(std::string_view bytes) {
    for (std::size_t i = 0, consumed = 0; i < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, i, consumed);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string repairUTF8(std::string_view bytes) {
    if (isValidUTF8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (std::size_t i = 0; i < bytes.size();) {
        const UTF8Unit unit = utf8UnitAt(bytes, i);
        if (unit.wellFormed)
            out.append(bytes.substr(i, unit.length));
        else
            out += kReplacement;
        i += unit.length;
    }
    return out;
}

UTF8Unit utf8UnitAt(std::string_view bytes, std::size_t at) {
    std::size_t consumed = 0;
    const std::size_t length = sequenceLength(bytes, at, consumed);
    return length == 0 ? UTF8Unit{consumed, false} : UTF8Unit{length, true};
}

}  // namespace quorvanta::core
