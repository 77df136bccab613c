// Canonical composition: a table of the forms that matter for names and paths, and agreement
// with ICU's NFC on random texts, ill-formed bytes kept in place.
#include "QuorvantaCore/text/Nfc.h"

#include "QuorvantaCore/text/Utf8.h"
#include "tests/QuorvantaCore/text/RandomText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvanta::core::text {
namespace {

using test::escaped;

std::string icuNfc(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    return test::toUtf8(test::normalize(unorm2_getNFCInstance(&status), test::toUtf16(text)));
}

TEST(UnicodeNfc, TableOfForms) {
    struct Case {
        std::string text, composed;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"Track.MP3", "Track.MP3"},
        {"Cafe\u0301", "Caf\u00e9"},       // base letter and combining accent
        {"Caf\u00e9", "Caf\u00e9"},        // already composed
        {"E\u0301", "\u00c9"},             // upper case kept
        {"a\u0302\u0323", "\u1ead"},       // marks reordered, then composed
        {"\u212b", "\u00c5"},              // Ångström sign, a singleton
        {"\u0958", "\u0915\u093c"},        // excluded from composition
        {"\u1100\u1161\u11a8", "\uac01"},  // Hangul jamo to a syllable
        {"\uac00\u11a8", "\uac01"},        // a syllable and a final consonant
        {"\uac00\u11a7", "\uac00\u11a7"},  // U+11A7 is no final consonant
        {"\u1100\u1161\u11a7", "\uac00\u11a7"},
        {"\ufb01le", "\ufb01le"},  // compatibility ligature stays
        {"\uff21", "\uff21"},      // fullwidth stays
        {"o\u0308\x80"
         "e\u0301",
         "\u00f6\x80\u00e9"},          // an ill-formed byte between clusters
        {"\xff\u0301", "\xff\u0301"},  // a mark after an ill-formed byte
        {"\xC3", "\xC3"},              // a sequence cut short
        {"/home/me/Mu\u0301sica/", "/home/me/M\u00fasica/"},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(nfc(c.text)), escaped(c.composed)) << escaped(c.text);
}

TEST(UnicodeNfc, AgreesWithIcuOnValidTextAndIsIdempotent) {
    std::mt19937 rng(63);
    for (int i = 0; i < 20000; ++i) {
        const std::string text = test::randomText(rng, 10, false);
        const std::string once = nfc(text);
        ASSERT_EQ(escaped(once), escaped(icuNfc(text))) << "input " << escaped(text);
        ASSERT_EQ(escaped(nfc(once)), escaped(once)) << "not idempotent on " << escaped(text);
    }
}

TEST(UnicodeNfc, IllFormedBytesStayInPlace) {
    std::mt19937 rng(64);
    for (int i = 0; i < 20000; ++i) {
        const std::string text = test::randomText(rng, 10, true);
        // Composing each well-formed cluster alone (as ICU does it) and keeping every ill-formed
        // byte gives the same text.
        std::string expected;
        for (std::string_view cluster : test::icuClusters(text)) {
            char32_t cp = 0;
            expected += (decodeUtf8(cluster, 0, cp) == 0) ? std::string(cluster) : icuNfc(cluster);
        }
        ASSERT_EQ(escaped(nfc(text)), escaped(expected)) << "input " << escaped(text);
    }
}

}  // namespace
}  // namespace quorvanta::core::text
