#include "tests/QuorvantaCore/index_engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fnmatch.h>

#include <cstring>
#include <random>

namespace quorvanta::index_engine::test {
namespace {

using FindFn = uint32_t (*)(const fidx*, const uint8_t*, const uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t,
                            uint32_t*, const std::atomic<uint32_t>*);

struct Path {
    const char* name;
    FindFn fn;
};

std::vector<Path> paths() {
    std::vector<Path> p = {{"scalar", findScalar}};
#if defined(__SSE2__)
    p.push_back({"sse2", findSse2});
#endif
#if defined(__x86_64__) && defined(__SSE2__)
    if (hasPopcnt()) p.push_back({"sse2+popcnt", findSse2Popcnt});
    if (hasAvx2()) p.push_back({"avx2", findAvx2});
#endif
    p.push_back({"fidx_find", fidx_find});
    return p;
}

std::vector<uint32_t> runFind(FindFn fn, const fidx* h, const uint8_t* store, const std::string& needle, uint32_t lo,
                              uint32_t hi, uint8_t skip = 0, const std::atomic<uint32_t>* cancel = nullptr) {
    std::vector<uint32_t> out(hi > lo ? hi - lo : 0);
    out.resize(fn(h, store, reinterpret_cast<const uint8_t*>(needle.data()), static_cast<uint32_t>(needle.size()), lo,
                  hi, skip, out.data(), cancel));
    return out;
}

std::vector<uint32_t> bruteForce(const fidx* h, const uint8_t* store, const std::string& needle, uint32_t lo,
                                 uint32_t hi, uint8_t skip) {
    std::vector<uint32_t> out;
    hi = std::min(hi, fidx_count(h));
    if (needle.empty()) return out;
    for (uint32_t e = lo; e < hi; ++e) {
        const uint8_t* name = store + h->name_off[e];
        const size_t len = h->name_off[e + 1] - h->name_off[e] - 1;
        if (!(h->flags[e] & skip) && memmem(name, len, needle.data(), needle.size())) out.push_back(e);
    }
    return out;
}

TEST(FidxFind, NamedCases) {
    Index h = newIndex();
    commitNames(h.get(), {"banana", "bandana", "x", "abc", "Needle in the haystack", "tail-match-zz"});
    struct Case {
        const char* what;
        std::string needle;
        uint32_t lo, hi;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {"twice in one name counts once", "ana", 0, 6, {0, 1}},
        {"a whole name", "bandana", 0, 6, {1}},
        {"one byte", "a", 0, 6, {0, 1, 3, 4, 5}},
        {"range shorter than the needle", "abcdef", 3, 4, {}},
        {"match at the very end of the region", "zz", 0, 6, {5}},
        {"long needle, match in the last bytes", "l-match-zz", 0, 6, {5}},
        {"empty range", "a", 4, 4, {}},
        {"lo above hi", "a", 5, 2, {}},
        {"hi past the count is clamped", "a", 3, 1000, {3, 4, 5}},
        {"empty needle", "", 0, 6, {}},
        {"no match", "q", 0, 6, {}},
    };
    for (const Path& p : paths())
        for (const Case& c : cases)
            EXPECT_EQ(runFind(p.fn, h.get(), h->names, c.needle, c.lo, c.hi), c.expected) << p.name << ": " << c.what;
}

TEST(FidxFind, MatchesBruteForceOnRandomStores) {
    WithTestFold fold;
    std::mt19937 rng(7);
    for (const bool highBytes : {false, true}) {
        Index h = newIndex();
        const std::string alphabet = highBytes ? std::string("ab\xC3\xA9\xC3\x89\x80\xFF") : std::string("abc");
        uint32_t total = 0;
        for (int batch = 0; batch < 60; ++batch) {
            std::vector<std::string> names;
            for (int i = 0; i < 50; ++i) {
                std::string n;
                for (int k = rng() % 40 + 1; k > 0; --k) n += alphabet[rng() % alphabet.size()];
                names.push_back(n);
            }
            commitNames(h.get(), names, FIDX_NONE, static_cast<uint8_t>(rng() % 4 == 0 ? FIDX_JUNK : 0));
            total += 50;
        }
        for (uint32_t e = 0; e < total; e += 7) fidx_set_deleted(h.get(), e);
        for (int round = 0; round < 400; ++round) {
            const uint32_t lengths[] = {1, 2, 3, 15, 16, 17, 40, 1 + static_cast<uint32_t>(rng() % 40)};
            const uint32_t len = lengths[round % 8];
            // Needles taken from a stored name where possible, so that they do occur.
            const uint32_t source = rng() % total;
            std::string needle(reinterpret_cast<const char*>(h->names + h->name_off[source]));
            if (needle.size() >= len)
                needle = needle.substr(rng() % (needle.size() - len + 1), len);
            else
                while (needle.size() < len) needle += alphabet[rng() % alphabet.size()];
            uint32_t lo = rng() % total, hi = rng() % (total + 20);
            if (round % 5 == 0) lo = 0, hi = total;
            if (round % 9 == 0) lo = total - 1 - rng() % 3, hi = total;  // matches near the region's end
            const uint8_t skips[] = {0, FIDX_DELETED, FIDX_JUNK, FIDX_DELETED | FIDX_JUNK};
            const uint8_t skip = skips[round % 4];
            const uint8_t* store = round % 2 ? h->folded : h->names;
            const std::vector<uint32_t> expected = bruteForce(h.get(), store, needle, lo, hi, skip);
            for (const Path& p : paths())
                ASSERT_EQ(runFind(p.fn, h.get(), store, needle, lo, hi, skip), expected)
                    << p.name << " needle length " << len << " lo " << lo << " hi " << hi << " skip " << int(skip);
        }
    }
}

// Names from 1 to 300 bytes, so that names start, end and span the 64-byte blocks the search
// reads in every way, matches several times in one name and in names that run past a block, in
// runs of names where every name matches and runs where almost none does.
TEST(FidxFind, LongNamesAndRunsOfDenseAndSparseHits) {
    std::mt19937 rng(11);
    Index h = newIndex();
    std::vector<std::string> names;
    for (int run = 0; run < 40; ++run) {
        const bool dense = run % 2 == 0;
        for (int i = 0; i < 300; ++i) {
            const size_t len = 1 + (rng() % 4 == 0 ? rng() % 300 : rng() % 30);
            std::string n;
            for (size_t k = 0; k < len; ++k) n += "xyz"[rng() % 3];
            if (dense || rng() % 50 == 0) n.insert(rng() % (n.size() + 1), rng() % 2 ? "ab" : "abqab");
            names.push_back(n);
        }
    }
    commitNames(h.get(), names);
    const uint32_t n = fidx_count(h.get());
    for (uint32_t e = 3; e < n; e += 11) fidx_set_deleted(h.get(), e);
    for (const std::string needle : {"a", "ab", "abq", "abqab", "x", "xyzx", "zzzzzzzz", "bqa"})
        for (const uint8_t skip : {uint8_t{0}, uint8_t{FIDX_DELETED}})
            for (const uint32_t lo : {0u, 1u, 777u, n - 5})
                for (const Path& p : paths())
                    ASSERT_EQ(runFind(p.fn, h.get(), h->names, needle, lo, n, skip),
                              bruteForce(h.get(), h->names, needle, lo, n, skip))
                        << p.name << " needle " << needle << " lo " << lo << " skip " << int(skip);
}

// A fold that writes a NUL into a name breaks the one-NUL-per-name rule the block search counts
// entries by; the search still gives each entry whose folded bytes hold the needle.
void foldWithNul(const uint8_t* name, size_t len, uint8_t* out) {
    for (size_t i = 0; i < len; ++i) out[i] = name[i] >= 0x80 ? 0 : name[i];
}

TEST(FidxFind, ANulInsideAFoldedNameIsSearchedNameByName) {
    fidx_set_fold(foldWithNul);
    Index h = newIndex();
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
        names.push_back(i % 97 == 0 ? "caf\xC3\xA9 name " + std::to_string(i) : "name " + std::to_string(i));
    commitNames(h.get(), names);
    fidx_set_fold(nullptr);
    const uint32_t n = fidx_count(h.get());
    for (const std::string needle : {"name", "caf", "e 1", "9"})
        for (const Path& p : paths()) {
            const std::vector<uint32_t> expected = bruteForce(h.get(), h->folded, needle, 0, n, 0);
            ASSERT_FALSE(expected.empty()) << needle;
            ASSERT_EQ(runFind(p.fn, h.get(), h->folded, needle, 0, n), expected) << p.name << " needle " << needle;
        }
}

// A name ending in the start of the needle followed by a name starting with its rest: the bytes
// of the store hold the needle but for the NUL between, which no search may step over. The
// pairs are cut at every place of the needle and shifted through the 64-byte blocks the search
// reads; every fifth pair is followed by a name holding the whole needle, and a name ending in
// the needle is followed by one starting with it, each found once.
TEST(FidxFind, NoMatchSpansTwoNames) {
    const std::string alphabet = "abcdefghijklmnop";
    for (const size_t len : {size_t{2}, size_t{3}, size_t{17}, size_t{64}, size_t{70}}) {
        std::string needle;
        for (size_t i = 0; i < len; ++i) needle += alphabet[i % alphabet.size()];
        Index h = newIndex();
        std::vector<std::string> names;
        std::vector<uint32_t> whole;
        int pair = 0;
        for (size_t cut = 1; cut < len; ++cut)
            for (size_t pad = 0; pad < 70; pad += 1 + (pad + cut) % 5, ++pair) {
                names.push_back(std::string(pad, 'x') + needle.substr(0, cut));
                names.push_back(needle.substr(cut) + std::string(pad % 3, 'y'));
                if (pair % 5 == 0) {
                    whole.push_back(static_cast<uint32_t>(names.size()));
                    names.push_back(std::string(pad % 7, 'x') + needle);
                    whole.push_back(static_cast<uint32_t>(names.size()));
                    names.push_back(needle + "y");
                }
            }
        commitNames(h.get(), names);
        const uint32_t n = fidx_count(h.get());
        ASSERT_EQ(bruteForce(h.get(), h->names, needle, 0, n, 0), whole) << "the oracle sees no match across names";
        for (const uint32_t lo : {0u, 1u, n / 2})
            for (const Path& p : paths()) {
                std::vector<uint32_t> expected;
                for (const uint32_t e : whole)
                    if (e >= lo) expected.push_back(e);
                ASSERT_EQ(runFind(p.fn, h.get(), h->names, needle, lo, n), expected)
                    << p.name << " needle length " << len << " lo " << lo;
            }
    }
}

TEST(FidxFind, CancelGivesAnAscendingPrefix) {
    Index h = newIndex();
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) names.push_back("some longer file name number " + std::to_string(i) + ".txt");
    commitNames(h.get(), names);
    ASSERT_GT(h->name_off[fidx_count(h.get())], 2u << 20) << "the region is larger than 2 MiB";
    const uint32_t n = fidx_count(h.get());
    for (const Path& p : paths()) {
        const std::vector<uint32_t> full = runFind(p.fn, h.get(), h->names, "number 9", 0, n);
        ASSERT_EQ(full, bruteForce(h.get(), h->names, "number 9", 0, n, 0));
        std::atomic<uint32_t> noCancel{0}, cancelled{1};
        EXPECT_EQ(runFind(p.fn, h.get(), h->names, "number 9", 0, n, 0, &noCancel), full) << p.name;
        const std::vector<uint32_t> cut = runFind(p.fn, h.get(), h->names, "number 9", 0, n, 0, &cancelled);
        EXPECT_LT(cut.size(), full.size()) << p.name;
        EXPECT_TRUE(std::equal(cut.begin(), cut.end(), full.begin())) << p.name << ": a prefix of the full result";
    }
}

TEST(FidxGlob, MatchesThePatternTable) {
    struct Case {
        std::string pattern, text;
        bool match;
    };
    const Case cases[] = {
        {"*.jp?g", "photo.jpeg", true},
        {"a*b", "ab", true},
        {"a*b", "abc", false},
        {"", "", true},
        {"", "a", false},
        {"**", "", true},
        {"?", "", false},
        {"?", "x", true},
        {"*", "**", true},
        {"a*", "a*b", true},
        {"*b", "a*b", true},
        {"a?c", "a?c", true},
        {"*.mp3", "song.mp3", true},
        {"*.mp3", "song.mp3.part", false},
        {"a*a*a", "aaaa", true},
        {"*a*b*c*", "xaxbxcx", true},
        {"*a*b*c*", "xaxcxbx", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fidx_glob_match(reinterpret_cast<const uint8_t*>(c.pattern.data()), c.pattern.size(),
                                  reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size()),
                  c.match)
            << "'" << c.pattern << "' vs '" << c.text << "'";
}

// Every string over `alphabet` up to `maxLen` bytes.
std::vector<std::string> allStrings(const std::string& alphabet, size_t maxLen) {
    std::vector<std::string> out = {""};
    for (size_t start = 0; start < out.size(); ++start)
        if (out[start].size() < maxLen)
            for (char c : alphabet) out.push_back(out[start] + c);
    return out;
}

TEST(FidxGlob, AgreesWithFnmatch) {
    const std::vector<std::string> patterns = allStrings("ab*?\xC3", 4);
    const std::vector<std::string> texts = allStrings("ab\xC3", 5);
    for (const std::string& pat : patterns)
        for (const std::string& text : texts) {
            const bool expected = fnmatch(pat.c_str(), text.c_str(), FNM_NOESCAPE) == 0;
            ASSERT_EQ(fidx_glob_match(reinterpret_cast<const uint8_t*>(pat.data()), pat.size(),
                                      reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                      expected)
                << "'" << pat << "' vs '" << text << "'";
        }
}

// Patterns of several pieces between "*"s, pieces that begin with "?" or repeat in the text,
// and a last piece that could also match earlier: the one-pass match against fnmatch on longer
// texts than the exhaustive table reaches.
TEST(FidxGlob, PatternsOfManyPiecesAgreeWithFnmatch) {
    std::mt19937 rng(41);
    const std::string textBytes = "aab";
    const std::string patternBytes = "aab??**";
    int matched = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text, pat;
        for (int k = rng() % 24; k > 0; --k) text += textBytes[rng() % textBytes.size()];
        for (int k = 1 + rng() % 10; k > 0; --k) pat += patternBytes[rng() % patternBytes.size()];
        const bool expected = fnmatch(pat.c_str(), text.c_str(), FNM_NOESCAPE) == 0;
        matched += expected;
        ASSERT_EQ(fidx_glob_match(reinterpret_cast<const uint8_t*>(pat.data()), pat.size(),
                                  reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                  expected)
            << "'" << pat << "' vs '" << text << "'";
    }
    EXPECT_GT(matched, 1000) << "the random cases hold matches as well as misses";
}

}  // namespace
}  // namespace quorvanta::index_engine::test
