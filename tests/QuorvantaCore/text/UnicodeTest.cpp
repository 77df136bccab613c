#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/CharClass.h"
#include "QuorvantaCore/text/Utf8.h"

#include "tests/QuorvantaCore/text/RandomText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvanta::core::text {
namespace {

using test::escaped;

bool isScalar(char32_t cp) { return cp < 0xD800 || (cp > 0xDFFF && cp <= 0x10FFFF); }

TEST(UnicodeCharClass, TableOfCharacters) {
    struct Case {
        std::string character;
        bool numeric, alphanumeric;
    };
    const std::vector<Case> cases = {
        {"5", true, true},       {"٣", true, true},        {"½", true, true},
        {"Ⅻ", true, true},       {"a", false, true},       {"é", false, true},
        {"\u0301", false, true}, {"e\u0301", false, true},  // a character is judged by its first code point
        {"-", false, false},     {" ", false, false},      {"😀", false, false},
        {"\x80", false, false},  {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isNumeric(std::string_view(c.character)), c.numeric) << escaped(c.character);
        EXPECT_EQ(isAlphanumeric(std::string_view(c.character)), c.alphanumeric) << escaped(c.character);
    }
}

TEST(UnicodeCharClass, WhiteSpaceTable) {
    struct Case {
        char32_t cp;
        bool whiteSpace, blank;
    };
    const std::vector<Case> cases = {
        {' ', true, true},      {'\t', true, true},    {'\n', true, false},   {'\r', true, false},
        {0x0B, true, false},    {0x0C, true, false},   {0x85, true, false},   {0xA0, true, true},
        {0x3000, true, true},   {0x2028, true, false}, {0x2029, true, false}, {0x200B, false, false},
        {0xFEFF, false, false}, {'x', false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isWhiteSpace(c.cp), c.whiteSpace) << std::hex << "U+" << static_cast<unsigned>(c.cp);
        EXPECT_EQ(isBlank(c.cp), c.blank) << std::hex << "U+" << static_cast<unsigned>(c.cp);
    }
}

// Every code point against ICU's own property tables (both at Unicode 15.0).
TEST(UnicodeCharClass, AgreesWithIcuForEveryCodePoint) {
    int wrong = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF && wrong < 10; ++cp) {
        if (!isScalar(cp)) continue;
        const auto c = static_cast<UChar32>(cp);
        const auto mask = U_GET_GC_MASK(c);
        const bool numeric = (mask & U_GC_N_MASK) != 0;
        const bool alnum = (mask & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
        const bool white = u_hasBinaryProperty(c, UCHAR_WHITE_SPACE);
        const bool blank = c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
        if (isNumeric(cp) != numeric || isAlphanumeric(cp) != alnum || isWhiteSpace(cp) != white ||
            isBlank(cp) != blank) {
            ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(cp);
            ++wrong;
        }
    }
}

TEST(UnicodeTrim, BothEnds) {
    struct Case {
        std::string text, whiteSpace, blanks;
    };
    const std::vector<Case> cases = {
        {"", "", ""},
        {"  a b  ", "a b", "a b"},
        {"\n\t x \r\n", "x", "\n\t x \r\n"},
        {"\t x\u3000\u00A0", "x", "x"},
        {"\u2028x\u0085", "x", "\u2028x\u0085"},
        {" \u200Bx\u200B ", "\u200Bx\u200B", "\u200Bx\u200B"},
        {" \x80 ", "\x80", "\x80"},
        {" \n ", "", "\n"},
        {"\xC2", "\xC2", "\xC2"},  // a cut sequence at the end is kept, never read past
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escaped(trimWhiteSpace(c.text)), escaped(c.whiteSpace)) << escaped(c.text);
        EXPECT_EQ(escaped(trimBlanks(c.text)), escaped(c.blanks)) << escaped(c.text);
    }
}

TEST(UnicodeSplit, AtWhiteSpaceAndGivenSeparators) {
    struct Case {
        std::string text, alsoAt;
        std::vector<std::string> pieces;
    };
    const std::vector<Case> cases = {
        {"", "", {}},
        {"mp3 flac", "", {"mp3", "flac"}},
        {"*.mp3; *.flac", ";,", {"*.mp3", "*.flac"}},
        {"mp3,flac", ";,", {"mp3", "flac"}},
        {"a\nb\u3000c\u2029d\te", "", {"a", "b", "c", "d", "e"}},
        {" ,;, ", ";,", {}},
        {"a\u200Bb", "", {"a\u200Bb"}},
        {"x\x80 y", "", {"x\x80", "y"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (auto piece : splitAtWhiteSpace(c.text, c.alsoAt)) got.emplace_back(piece);
        EXPECT_EQ(got, c.pieces) << escaped(c.text);
    }
}

TEST(UnicodeCase, LowercasedPerCodePoint) {
    struct Case {
        std::string text, lower;
    };
    const std::vector<Case> cases = {
        {"ABC.Jpg", "abc.jpg"}, {"ÉCOLE", "école"},   {"ΣΑΣ", "σασ"},   {"\u0130", "i\u0307"}, {"ẞ", "ß"}, {"Ⅻ", "ⅻ"},
        {"\uFF21", "\uFF41"},   {"A\x80Z", "a\x80z"}, {"日本", "日本"},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(lowercased(c.text)), escaped(c.lower)) << escaped(c.text);

    // Every other code point maps as ICU's simple lower-case mapping does.
    int wrong = 0;
    for (char32_t cp = 0x80; cp <= 0x10FFFF && wrong < 10; ++cp) {
        if (!isScalar(cp) || cp == 0x130) continue;
        std::string text, expected;
        test::appendUtf8(text, cp);
        test::appendUtf8(expected, static_cast<char32_t>(u_tolower(static_cast<UChar32>(cp))));
        if (lowercased(text) != expected) {
            ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(cp);
            ++wrong;
        }
    }
}

TEST(UnicodeCase, CaselessEquality) {
    struct Case {
        std::string a, b;
        bool equal;
    };
    const std::vector<Case> cases = {
        {"Straße", "STRASSE", true},
        {"Café", "Cafe\u0301", true},
        {"CAFÉ", "cafe\u0301", true},
        {"Cafe", "Café", false},  // diacritics count
        {"ΣΑΣ", "σας", true},
        {"Ⅻ", "ⅻ", true},
        {"", "", true},
        {"a", "", false},
        {"x\x80", "X\x80", true},
        {"x\x80", "x\x81", false},
        {"x\x80", "x", false},
        {"\xC3", "\xC3\xA9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(caselessEqual(c.a, c.b), c.equal) << escaped(c.a) << " vs " << escaped(c.b);
        EXPECT_EQ(caselessEqual(c.b, c.a), c.equal) << escaped(c.b) << " vs " << escaped(c.a);
    }
}

TEST(UnicodeUtf8, Validation) {
    struct Case {
        std::string text;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"", true},
        {"plain", true},
        {"Ⱥ日本😀", true},
        {"\x80", false},
        {"\xC0\x80", false},
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xED\xA0\x80", false},
        {"\xED\x9F\xBF", true},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xE2\x82", false},
        {"a\xFF", false},
        {"\xF8\x88\x80\x80\x80", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isValidUtf8(c.text), c.valid) << escaped(c.text);

    std::mt19937 rng(5);
    for (int i = 0; i < 5000; ++i) {
        const std::string text = test::randomText(rng, 6, i % 2 == 0);
        // ICU's strict converter gives nothing for ill-formed input.
        EXPECT_EQ(isValidUtf8(text), test::toUtf8(test::toUtf16(text)) == text) << escaped(text);
    }
}

TEST(UnicodeUtf8, PrefixNeverSplitsASequence) {
    struct Case {
        std::string text;
        std::size_t maxBytes;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {"abc", 5, "abc"}, {"abc", 2, "ab"},          {"aé", 2, "a"}, {"aé", 3, "aé"}, {"日本", 5, "日"},
        {"😀x", 3, ""},     {"a\x80\x80", 2, "a\x80"}, {"x", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(escaped(utf8Prefix(c.text, c.maxBytes)), escaped(c.prefix))
            << escaped(c.text) << " to " << c.maxBytes;

    std::mt19937 rng(11);
    for (int i = 0; i < 5000; ++i) {
        const std::string text = test::randomText(rng, 8, false);
        const std::size_t budget = rng() % (text.size() + 2);
        const std::string_view prefix = utf8Prefix(text, budget);
        ASSERT_LE(prefix.size(), budget);
        ASSERT_TRUE(isValidUtf8(prefix)) << escaped(text) << " to " << budget;
        ASSERT_GT(prefix.size() + 4, std::min(budget, text.size())) << "prefix is not the longest";
    }
}

}  // namespace
}  // namespace quorvanta::core::text
