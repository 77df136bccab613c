// Case mapping without a locale: lower-casing per code point, and caseless comparison that also
// treats canonically equivalent texts as equal. Ill-formed UTF-8 bytes are kept as they are and
// compare only with themselves. Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::core::text {

// A-Z to a-z; every other byte as it is.
constexpr unsigned char asciiLower(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// Each code point replaced by its lower-case mapping, with no context rule (a final capital
// sigma gives σ) and no locale ("İ" gives "i" and U+0307, as in every locale but Turkish).
std::string lowercased(std::string_view text);

// Whether a and b are equal ignoring case (full case folding: "Straße" equals "STRASSE") and
// canonical equivalence (precomposed "é" equals "e" and U+0301). Diacritics still count.
bool caselessEqual(std::string_view a, std::string_view b);

}  // namespace quorvanta::core::text
