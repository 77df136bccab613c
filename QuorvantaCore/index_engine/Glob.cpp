// Wildcard match: "*" any run of bytes (none included), "?" any one byte, everything else
// literal; byte-wise, anchored at both ends, no escapes and no classes.
//
// The pattern is taken as pieces between its "*"s: the first piece must match the start of the
// text, the last one its end, and the ones between are found left to right, each at its first
// place after the one before. Taking the first place is never wrong: a later one leaves less text
// for the pieces that follow. So a match costs one pass over the text, without backtracking.
#include "QuorvantaCore/index_engine/fidx.h"

#include <cstring>

namespace {

// Whether the piece (no "*" in it) matches the text at `at`, "?" matching any byte.
bool pieceAt(const uint8_t* piece, size_t n, const uint8_t* at) {
    for (size_t i = 0; i < n; ++i)
        if (piece[i] != '?' && piece[i] != at[i]) return false;
    return true;
}

// The first position at or after `from` where the piece matches inside text[0..tlen), or tlen
// + 1 when there is none.
size_t findPiece(const uint8_t* piece, size_t n, const uint8_t* text, size_t from, size_t tlen) {
    if (n > tlen - from) return tlen + 1;
    const size_t last = tlen - n;
    if (piece[0] == '?') {
        for (size_t t = from; t <= last; ++t)
            if (pieceAt(piece, n, text + t)) return t;
        return tlen + 1;
    }
    for (size_t t = from; t <= last;) {
        const auto* hit = static_cast<const uint8_t*>(std::memchr(text + t, piece[0], last - t + 1));
        if (!hit) break;
        t = static_cast<size_t>(hit - text);
        if (pieceAt(piece + 1, n - 1, hit + 1)) return t;
        ++t;
    }
    return tlen + 1;
}

}  // namespace

fidx_glob fidx_glob_compile(const uint8_t* pattern, size_t plen) {
    fidx_glob glob{pattern, plen, plen, plen, false, false};
    const auto* star = static_cast<const uint8_t*>(std::memchr(pattern, '*', plen));
    if (!star) return glob;
    glob.star = true;
    glob.head = static_cast<size_t>(star - pattern);
    while (pattern[glob.tailStart - 1] != '*') --glob.tailStart;
    for (size_t p = glob.head + 1; p + 1 < glob.tailStart && !glob.middle; ++p) glob.middle = pattern[p] != '*';
    return glob;
}

bool fidx_glob_test(const fidx_glob* glob, const uint8_t* text, size_t tlen) {
    const uint8_t* pattern = glob->pattern;
    if (!glob->star) return glob->plen == tlen && pieceAt(pattern, glob->plen, text);

    // The first piece, before the first "*", is anchored at the start, and the last piece, after
    // the last "*", at the end, after the first piece. The last is the one that most often fails
    // (an extension), so it is compared first.
    const size_t head = glob->head;
    const size_t tail = glob->plen - glob->tailStart;
    if (head > tlen || tail > tlen - head) return false;
    if (!pieceAt(pattern + glob->tailStart, tail, text + tlen - tail) || !pieceAt(pattern, head, text)) return false;
    if (!glob->middle) return true;

    // The pieces between, each at its first place in what is left between the two.
    const size_t end = tlen - tail;
    size_t t = head;
    for (size_t p = head + 1; p < glob->tailStart;) {
        if (pattern[p] == '*') {
            ++p;
            continue;
        }
        size_t q = p;
        while (pattern[q] != '*') ++q;
        const size_t at = findPiece(pattern + p, q - p, text, t, end);
        if (at > end) return false;
        t = at + (q - p);
        p = q;
    }
    return true;
}

bool fidx_glob_match(const uint8_t* pattern, size_t plen, const uint8_t* text, size_t tlen) {
    const fidx_glob glob = fidx_glob_compile(pattern, plen);
    return fidx_glob_test(&glob, text, tlen);
}
