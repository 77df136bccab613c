// Seeded random texts for the differential tests of folding and clusters: runs drawn from scripts
// whose folding or clustering is tricky (Latin with combining marks, polytonic Greek, Cyrillic,
// Armenian, Hangul syllables and jamo, kana with voicing marks, Devanagari, Bengali and Malayalam
// conjuncts, Hebrew points, emoji with ZWJ and skin tones, flags, ligatures, fullwidth forms),
// mixed with ASCII and with ill-formed UTF-8 bytes. Also the ICU oracles these tests compare to.
#pragma once

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::test {

inline void appendUtf8(std::string& out, char32_t cp) {
    char bytes[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(reinterpret_cast<uint8_t*>(bytes), n, cp);
    out.append(bytes, static_cast<std::size_t>(n));
}

// One random text of 1 to maxUnits pieces; with invalid false it is well-formed UTF-8.
inline std::string randomText(std::mt19937& rng, int maxUnits, bool invalid) {
    struct Range {
        char32_t lo, hi;
    };
    static const std::vector<std::vector<Range>> scripts = {
        {{'A', 'Z'}, {'a', 'z'}, {'0', '9'}, {' ', ' '}, {'.', '.'}},         // ASCII
        {{0xC0, 0x24F}, {0x1E00, 0x1EFF}, {0x2C60, 0x2C7F}, {0x130, 0x131}},  // Latin
        {{0x300, 0x36F}},                                                     // combining marks
        {{0x370, 0x3FF}, {0x1F00, 0x1FFF}, {0x345, 0x345}},                   // Greek, polytonic
        {{0x400, 0x4FF}},                                                     // Cyrillic
        {{0x531, 0x58A}},                                                     // Armenian
        {{0xAC00, 0xD7A3}, {0x1100, 0x11FF}},                                 // Hangul
        {{0x3041, 0x30FF}, {0x3099, 0x309A}},                                 // kana, voicing
        {{0x900, 0x97F}, {0x980, 0x9FF}, {0xD00, 0xD7F}, {0x200D, 0x200D}},   // Indic
        {{0x591, 0x5F4}},                                                     // Hebrew, points
        {{0x1F300, 0x1F64F},
         {0x1F3FB, 0x1F3FF},
         {0x200D, 0x200D},
         {0xFE0F, 0xFE0F},
         {0x1F1E6, 0x1F1FF},
         {0x1F900, 0x1F9FF}},                                                      // emoji, flags
        {{0xFB00, 0xFB06}, {0xFF01, 0xFF5E}, {0x212A, 0x212B}, {0x1E9E, 0x1E9E}},  // compat, signs
        {{'\r', '\r'}, {'\n', '\n'}, {0x85, 0x85}, {0x2028, 0x2029}},              // line breaks
    };
    static const std::vector<std::string> badBytes = {
        "\x80",     "\xBF",         "\xC0\x80",         "\xC1\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
        "\xE2\x82", "\xF0\x9F\x98", "\xF4\x90\x80\x80", "\xF8",     "\xFF",         "\xC3",
    };
    std::uniform_int_distribution<int> units(1, maxUnits);
    std::string out;
    const int n = units(rng);
    for (int u = 0; u < n; ++u) {
        if (invalid && rng() % 8 == 0) {
            out += badBytes[rng() % badBytes.size()];
            continue;
        }
        const auto& script = scripts[rng() % scripts.size()];
        const int run = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < run; ++k) {
            const Range& r = script[rng() % script.size()];
            const char32_t cp = r.lo + static_cast<char32_t>(rng() % (r.hi - r.lo + 1));
            appendUtf8(out, cp);
        }
    }
    return out;
}

inline std::u16string toUtf16(std::string_view utf8) {
    std::u16string out(utf8.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, utf8.data(),
                  static_cast<int32_t>(utf8.size()), &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return out;
}

inline std::string toUtf8(std::u16string_view utf16) {
    std::string out(utf16.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &length, reinterpret_cast<const UChar*>(utf16.data()),
                static_cast<int32_t>(utf16.size()), &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return out;
}

inline std::u16string normalize(const UNormalizer2* form, std::u16string_view text) {
    std::u16string out(text.size() * 4 + 16, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        unorm2_normalize(form, reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                         reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(n) : 0);
    return out;
}

// ICU's fold of one well-formed cluster: NFD, full case folding, NFD, drop Mn, NFC; the cluster
// itself when that comes out longer than the cluster.
inline std::string icuFoldCluster(std::string_view cluster) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    std::u16string text = normalize(nfd, toUtf16(cluster));
    std::u16string folded(text.size() * 3 + 16, u'\0');
    const int32_t n = u_strFoldCase(reinterpret_cast<UChar*>(folded.data()), static_cast<int32_t>(folded.size()),
                                    reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                                    U_FOLD_CASE_DEFAULT, &status);
    folded.resize(static_cast<std::size_t>(n));
    folded = normalize(nfd, folded);
    std::u16string kept;
    for (int32_t i = 0; i < static_cast<int32_t>(folded.size());) {
        UChar32 c = 0;
        const int32_t start = i;
        U16_NEXT(folded.data(), i, static_cast<int32_t>(folded.size()), c);
        if (u_charType(c) != U_NON_SPACING_MARK) kept.append(folded, start, i - start);
    }
    std::string result = toUtf8(normalize(nfc, kept));
    return result.size() > cluster.size() ? std::string(cluster) : result;
}

// ICU's clusters of text: ICU's character break iterator over each maximal well-formed run, and
// every ill-formed byte (as ICU's strict decoder finds them) a cluster of its own.
inline std::vector<std::string_view> icuClusters(std::string_view text) {
    std::vector<std::string_view> clusters;
    auto breakRun = [&](std::size_t start, std::size_t end) {
        if (end == start) return;
        const std::string_view run = text.substr(start, end - start);
        UErrorCode status = U_ZERO_ERROR;
        UText* ut = utext_openUTF8(nullptr, run.data(), static_cast<int64_t>(run.size()), &status);
        UBreakIterator* bi = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        ubrk_setUText(bi, ut, &status);
        int32_t from = ubrk_first(bi);
        for (int32_t to = ubrk_next(bi); to != UBRK_DONE; from = to, to = ubrk_next(bi))
            clusters.push_back(run.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
        ubrk_close(bi);
        utext_close(ut);
    };
    std::size_t runStart = 0;
    int32_t at = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    while (at < length) {
        const int32_t start = at;
        UChar32 c = 0;
        U8_NEXT(bytes, at, length, c);
        if (c >= 0) continue;
        breakRun(runStart, static_cast<std::size_t>(start));
        for (int32_t i = start; i < at; ++i) clusters.push_back(text.substr(static_cast<std::size_t>(i), 1));
        runStart = static_cast<std::size_t>(at);
    }
    breakRun(runStart, text.size());
    return clusters;
}

// Bytes as escaped text for assertion messages.
inline std::string escaped(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += digits[b >> 4];
            out += digits[b & 15];
        }
    }
    return out;
}

}  // namespace quorvanta::test
