// Text for JSON and display from bytes that need not be UTF-8 (Linux file names are raw bytes).
// Each ill-formed sequence becomes one U+FFFD, replacing its maximal subpart as Unicode
// recommends, so that a truncated multi-byte character costs one replacement, not several.
// Only for output: names on their way to the file system are never repaired.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::core {

// True when the bytes are well-formed UTF-8 (no surrogates, no overlong forms, at most U+10FFFF).
bool isValidUTF8(std::string_view bytes);

// The bytes with every ill-formed sequence replaced by U+FFFD (EF BF BD); valid input unchanged.
std::string repairUTF8(std::string_view bytes);

}  // namespace quorvanta::core
