// The block search behind fidx_find, shared by its builds for each instruction set. The range's
// names are one contiguous block of bytes, scanned 64 positions at a time: one mask marks where
// the needle's first, second and last bytes all match (a candidate, confirmed by comparing the
// bytes between), another where a name ends (its NUL); a block type supplies the two masks with
// the instructions of one set. A match's entry is then the range's first entry plus the NULs before
// it, counted with popcount, so a hit costs a few instructions whether hits are rare or in every
// name, and an entry with several matches is reported once.
//
// Every name ends in its one NUL and the needle holds none, so a match never spans two names.
// The count is checked per piece of kPiece entries against the name offsets: a piece whose bytes
// hold another NUL (a store that breaks the rule) is searched again name by name. Reads stay
// inside the range's names; 64-position blocks whose reads would pass its end are built one byte
// at a time.
//
// Everything here has internal linkage and the header includes nothing: a unit includes it after
// its own includes and after selecting the instruction set its copy is compiled for.

namespace quorvanta::index_engine {
namespace {

constexpr uint32_t kPiece = 1024;  // entries between checks of the cancel word and of the count

// The needle's bytes that the masks compare: its first, its second (the first again in a needle
// of one byte) and its last, each with its offset in the needle. Comparing a third byte leaves
// far fewer candidates to confirm one by one where names share the first and last (an extension's
// dot and letter).
struct Probe {
    uint8_t first, second, last;
    uint32_t secondAt;  // 1, or 0 in a needle of one byte
    uint32_t lastAt;    // len - 1
};

inline Probe probeOf(const uint8_t* needle, uint32_t len) {
    const uint32_t secondAt = len > 1 ? 1 : 0;
    return Probe{needle[0], needle[secondAt], needle[len - 1], secondAt, len - 1};
}

// The masks of one block of 64 positions: bit i describes position i.
struct Masks {
    uint64_t candidates;  // the probe's three bytes at i (first), i + secondAt and i + lastAt
    uint64_t ends;        // block[i] == 0
};

// One byte at a time, reading only the first `avail` bytes of the block; positions whose reads
// would go further are left out of the masks.
inline Masks boundedMasks(const uint8_t* block, uint64_t avail, const Probe& p) {
    Masks m{0, 0};
    for (uint32_t i = 0; i < 64 && i < avail; ++i) {
        m.ends |= uint64_t(block[i] == 0) << i;
        if (i + p.lastAt < avail)
            m.candidates |=
                uint64_t(block[i] == p.first && block[i + p.secondAt] == p.second && block[i + p.lastAt] == p.last)
                << i;
    }
    return m;
}

// Whether the needle's bytes between its second and its last are at `at` + 2 onward.
[[gnu::always_inline]] inline bool innerMatches(const uint8_t* at, const uint8_t* needle, uint32_t len) {
    for (uint32_t i = 2; i + 1 < len; ++i)
        if (at[i] != needle[i]) return false;
    return true;
}

// The bits 0..n-1 set (n <= 64).
[[gnu::always_inline]] inline uint64_t lowBits(uint64_t n) { return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }
// The bits below bit i, and the bits above it (i < 64).
[[gnu::always_inline]] inline uint64_t below(int i) { return (uint64_t{1} << i) - 1; }
[[gnu::always_inline]] inline uint64_t above(int i) { return ~uint64_t{1} << i; }

template <class Blocks>
struct Search {
    const fidx* h;
    const uint8_t* store;
    const uint8_t* needle;
    uint32_t len;
    uint8_t skip;
    uint32_t* out;
    const uint8_t* rangeEnd;  // the end of the range's names: no read goes past it
    uint8_t* flags;
    uint32_t found = 0;

    [[gnu::always_inline]] void add(uint32_t e) {
        out[found] = e;
        found += !(platform::relaxed(flags[e]) & skip);
    }

    // The entries a..b-1; false (reports taken back) when their bytes hold a NUL inside a name.
    [[gnu::always_inline]] bool piece(uint32_t a, uint32_t b) {
        const uint32_t* off = h->name_off;
        const uint8_t* region = store + off[a];
        const uint64_t size = off[b] - off[a];
        const uint32_t mark = found;
        const Probe probe = probeOf(needle, len);
        uint64_t base = a;    // the entry at the start of the block: a + the NULs before it
        bool inside = false;  // the block starts inside a name already reported
        for (uint64_t pos = 0; pos < size; pos += 64) {
            const uint8_t* block = region + pos;
            const uint64_t left = size - pos;
            const Masks m =
                block + 64 + len - 1 <= rangeEnd ? Blocks::masks(block, probe) : boundedMasks(block, left, probe);
            const uint64_t ends = m.ends & lowBits(left);
            // A match starts at most at size - len (the bounded masks leave out later ones).
            uint64_t c = left >= len ? m.candidates & lowBits(left - len + 1) : 0;
            if (len >= 4)
                for (uint64_t t = c; t; t &= t - 1) {
                    const int i = __builtin_ctzll(t);
                    if (!innerMatches(block + i, needle, len)) c &= ~(uint64_t{1} << i);
                }
            if (c == 0) {
                // No match: a name that ends here was not reported in this block.
                if (ends != 0) inside = false;
            } else {
                // The first match of each name: with each name's NUL as a stop, subtracting a bit
                // at the start of every name clears the lowest set bit at or after that start
                // (the borrow runs over the clear bits between and stops there); those cleared
                // bits that are not NULs are the first matches.
                const uint64_t starts = ends << 1 | (inside ? 0 : 1);
                const uint64_t stops = c | ends;
                const uint64_t firsts = stops & ~(stops - starts) & ~ends;
                // Whether the name still open at the block's end has been reported.
                inside = ends == 0 ? inside || firsts != 0 : (firsts & above(63 - __builtin_clzll(ends))) != 0;
                for (uint64_t f = firsts; f; f &= f - 1)
                    add(static_cast<uint32_t>(base + __builtin_popcountll(ends & below(__builtin_ctzll(f)))));
            }
            base += __builtin_popcountll(ends);
        }
        if (base != b) {
            found = mark;
            return false;
        }
        return true;
    }

    // The same entries name by name.
    void pieceByName(uint32_t a, uint32_t b) {
        const uint32_t* off = h->name_off;
        for (uint32_t e = a; e < b; ++e)
            if (memmem(store + off[e], off[e + 1] - off[e] - 1, needle, len)) add(e);
    }
};

template <class Blocks>
[[gnu::always_inline]] inline uint32_t find(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len,
                                            uint32_t lo, uint32_t hi, uint8_t skip, uint32_t* out,
                                            const std::atomic<uint32_t>* cancel) {
    const uint32_t count = fidx_count(h);
    if (hi > count) hi = count;
    if (len == 0 || lo >= hi) return 0;
    Search<Blocks> s{h, store, needle, len, skip, out, store + h->name_off[hi], h->flags};
    for (uint32_t a = lo; a < hi;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        const uint32_t b = hi - a > kPiece ? a + kPiece : hi;
        if (!s.piece(a, b)) s.pieceByName(a, b);
        a = b;
    }
    return s.found;
}

}  // namespace
}  // namespace quorvanta::index_engine
