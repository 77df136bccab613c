// Text for JSON and display from bytes that need not be UTF-8 (Linux file names are raw bytes).
// Each ill-formed sequence becomes one U+FFFD, replacing its maximal subpart as Unicode
// recommends, so that a truncated multi-byte character costs one replacement, not several.
// Only for output: names on their way to the file system are never repaired.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvanta::core {

// True when the bytes are well-formed UTF-8 (no surrogates, no overlong forms, at most U+10FFFF).
bool isValidUTF8(std::string_view bytes);

// The bytes with every ill-formed sequence replaced by U+FFFD (EF BF BD); valid input unchanged.
std::string repairUTF8(std::string_view bytes);

// The unit of `bytes` that starts at byte `at` (below bytes.size()), as repairUTF8 reads it: a
// well-formed sequence, kept, or a maximal ill-formed subpart, replaced by one U+FFFD. For callers
// that map offsets in the bytes to offsets in the repaired text.
struct UTF8Unit {
    std::size_t length;  // bytes, 1 to 4
    bool wellFormed;
};
UTF8Unit utf8UnitAt(std::string_view bytes, std::size_t at);

}  // namespace quorvanta::core
