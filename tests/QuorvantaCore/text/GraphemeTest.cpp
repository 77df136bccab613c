#include "QuorvantaCore/text/Grapheme.h"

#include "tests/QuorvantaCore/text/RandomText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvanta::core::text {
namespace {

using test::escaped;

std::vector<std::string> clustersOf(std::string_view text) {
    std::vector<std::string> out;
    forEachGrapheme(text, [&](std::string_view cluster) { out.emplace_back(cluster); });
    return out;
}

TEST(Grapheme, TableOfClusters) {
    struct Case {
        std::string text;
        std::vector<std::string> clusters;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"abc", {"a", "b", "c"}},
        {"e\u0301x", {"e\u0301", "x"}},
        {"\"\u0301a\"", {"\"\u0301", "a", "\""}},  // an accented quote is no quote
        {"a\r\nb\n\r", {"a", "\r\n", "b", "\n", "\r"}},
        {"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7\U0001F1EE",  // DE, FR, a lone indicator
         {"\U0001F1E9\U0001F1EA", "\U0001F1EB\U0001F1F7", "\U0001F1EE"}},
        {"\u1100\u1161\u11A8\uAC00", {"\u1100\u1161\u11A8", "\uAC00"}},  // Hangul L V T, LV
        {"\U0001F468\u200D\U0001F469\u200D\U0001F467x",
         {"\U0001F468\u200D\U0001F469\u200D\U0001F467", "x"}},     // ZWJ family
        {"\U0001F44D\U0001F3FD!", {"\U0001F44D\U0001F3FD", "!"}},  // skin tone
        {"कि", {"कि"}},
        {"क्षि", {"क्षि"}},  // conjunct: one character
        {"क्", {"क्"}},
        {"a\x80\u0301b", {"a", "\x80", "\u0301", "b"}},  // bad byte: breaks on both sides
        {"\xE2\x82", {"\xE2", "\x82"}},                  // cut sequence: one cluster a byte
    };
    for (const auto& c : cases) {
        const auto got = clustersOf(c.text);
        std::string gotText, wantText;
        for (const auto& g : got) gotText += "[" + escaped(g) + "]";
        for (const auto& g : c.clusters) wantText += "[" + escaped(g) + "]";
        EXPECT_EQ(gotText, wantText) << "clusters of " << escaped(c.text);
        EXPECT_EQ(graphemeCount(c.text), c.clusters.size()) << escaped(c.text);
    }
}

TEST(Grapheme, PrefixAndSuffixOfClusters) {
    struct Case {
        std::string text;
        std::size_t n;
        std::string prefix;
        std::string suffix;
    };
    const std::vector<Case> cases = {
        {"abc", 0, "", ""},
        {"abc", 2, "ab", "bc"},
        {"abc", 10, "abc", "abc"},
        {"e\u0301e\u0301e\u0301", 2, "e\u0301e\u0301", "e\u0301e\u0301"},
        {"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7", 1, "\U0001F1E9\U0001F1EA", "\U0001F1EB\U0001F1F7"},
        {"a\r\nb", 2, "a\r\n", "\r\nb"},
        {"\x80\x80x", 1, "\x80", "x"},
        {"x\xe2\x82", 2, "x\xe2", "\xe2\x82"},
        {"", 3, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escaped(graphemePrefix(c.text, c.n)), escaped(c.prefix))
            << "first " << c.n << " clusters of " << escaped(c.text);
        EXPECT_EQ(escaped(graphemeSuffix(c.text, c.n)), escaped(c.suffix))
            << "last " << c.n << " clusters of " << escaped(c.text);
    }
}

// Every code point of the six conjunct-forming scripts, as the consonant after a virama, as the
// virama between two consonants and as the first consonant, against ICU.
TEST(GraphemeDifferential, IndicConjunctsMatchIcu) {
    const char32_t blocks[][2] = {{0x0900, 0x097F}, {0x0980, 0x09FF}, {0x0A80, 0x0AFF},
                                  {0x0B00, 0x0B7F}, {0x0C00, 0x0C7F}, {0x0D00, 0x0D7F}};
    for (const auto& block : blocks) {
        const char32_t consonant = block[0] + 0x15;  // KA of each block
        const char32_t virama = block[0] + 0x4D;
        for (char32_t cp = block[0]; cp <= block[1]; ++cp) {
            const char32_t texts[][4] = {
                {consonant, virama, cp, 0}, {consonant, cp, consonant, 0}, {cp, virama, 0x200D, consonant}};
            for (const auto& codePoints : texts) {
                std::string text;
                for (char32_t c : codePoints)
                    if (c != 0) test::appendUtf8(text, c);
                std::string got, want;
                forEachGrapheme(text, [&](std::string_view c) { got += "[" + escaped(c) + "]"; });
                for (auto c : test::icuClusters(text)) want += "[" + escaped(c) + "]";
                EXPECT_EQ(got, want) << "input " << escaped(text);
            }
        }
    }
}

TEST(GraphemeDifferential, BoundariesMatchIcu) {
    std::mt19937 rng(424242);
    for (int i = 0; i < 20000; ++i) {
        const std::string text = test::randomText(rng, 10, true);
        std::string got, want;
        forEachGrapheme(text, [&](std::string_view c) { got += "[" + escaped(c) + "]"; });
        for (auto c : test::icuClusters(text)) want += "[" + escaped(c) + "]";
        ASSERT_EQ(got, want) << "input " << escaped(text);
    }
}

}  // namespace
}  // namespace quorvanta::core::text
