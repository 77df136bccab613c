// Character classes by Unicode general category (utf8proc, Unicode 15.0), and the trimming and
// splitting built on them. A "character" given as text is a grapheme cluster (Grapheme.h) and is
// judged by its first code point; an ill-formed byte belongs to no class. Pure functions, safe
// from any thread.
#pragma once

#include <string_view>
#include <vector>

namespace quorvanta::core::text {

// Numbers: categories Nd, Nl and No ("5", "٣", "½", "Ⅻ").
bool isNumeric(char32_t cp);
// Decimal digits: category Nd ("5", "٣", "３"), what a regular expression's \d matches.
bool isDecimalDigit(char32_t cp);
// Letters, marks and numbers: categories L*, M* and N*.
bool isAlphanumeric(char32_t cp);
// The White_Space property: Zs, U+0009-000D, U+0085, U+2028 and U+2029 (not U+200B).
bool isWhiteSpace(char32_t cp);
// White space without newlines: Zs and the tab.
bool isBlank(char32_t cp);

bool isNumeric(std::string_view character);
bool isAlphanumeric(std::string_view character);

// text without the white space and newlines at both ends.
std::string_view trimWhiteSpace(std::string_view text);
// text without the white space other than newlines (isBlank) at both ends.
std::string_view trimBlanks(std::string_view text);

// The pieces of text between white-space characters (newlines included) and any of the ASCII
// bytes in alsoAt, in order; empty pieces are left out.
std::vector<std::string_view> splitAtWhiteSpace(std::string_view text, std::string_view alsoAt = {});

}  // namespace quorvanta::core::text
