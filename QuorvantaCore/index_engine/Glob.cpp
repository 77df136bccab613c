// Wildcard match: "*" any run of bytes (none included), "?" any one byte, everything else
// literal; byte-wise, anchored at both ends, no escapes and no classes.
#include "QuorvantaCore/index_engine/fidx.h"

bool fidx_glob_match(const uint8_t* pattern, size_t plen, const uint8_t* text, size_t tlen) {
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t p = 0, t = 0;
    size_t star = kNone;  // the last "*" seen
    size_t resume = 0;    // the text position where that "*" began to match
    while (t < tlen) {
        // "*" is tested first: a "*" in the pattern is a wildcard even against a "*" in the text.
        if (p < plen && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < plen && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (star != kNone) {
            p = star + 1;
            t = ++resume;  // the "*" absorbs one more byte
        } else {
            return false;
        }
    }
    while (p < plen && pattern[p] == '*') ++p;
    return p == plen;
}
