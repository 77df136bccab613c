#include "audio/dupes/SongKey.h"

#include "QuorvantaCore/index/VolumeIndex.h"

#include <gtest/gtest.h>

#include <unicode/uchar.h>
#include <unicode/uregex.h>
#include <unicode/ustring.h>

#include <random>
#include <string>
#include <vector>

namespace quorvanta::audio {
namespace {

TEST(SameSongNormalize, Table) {
    const std::pair<std::string, std::string> cases[] = {
        {"01 - Song Title (320 kbps)", "song title"},
        {"1-05 Song", "song"},
        {"CD2 - 07. Song", "song"},
        {"03 - 04 - Song", "song"},
        {"\xC3\x9Cn\xC3\xAF"
         "code \xC3\x81rt",
         "unicode art"},
        {"Song [FLAC]", "song"},
        {"Song (Remastered 2011)", "song remastered 2011"},
        {"Song (live (320)) end", "song end"},        // the inner closer ends the match
        {"Song (320 kbps", "song 320 kbps"},          // unclosed: kept
        {"Song ]320[ x", "song 320 x"},               // a closer before the opener
        {"Song (KBPS] x", "song x"},                  // any case; either closer
        {"\xD9\xA0\xD9\xA1 - Song", "song"},          // Arabic-Indic digits 01
        {"01\xE3\x80\x80-\xE3\x80\x80Song", "song"},  // ideographic spaces
        {"2021 - Song", "2021 song"},                 // four digits are no track number
        {"  12) Song", "song"},
        {"A_B-C.D", "a b c d"},
        {"bad \xFF byte", "bad byte"},
        {"", ""},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(normalize(text), expected) << text;
}

TEST(SameSongNormalize, LongAndHostileTextsStayLinear) {
    std::string title(1 << 20, 'a');
    for (std::size_t i = 0; i < title.size(); i += 7) title[i] = i % 3 ? ' ' : '(';
    EXPECT_FALSE(normalize(title).empty());
    EXPECT_EQ(normalize(std::string(200'000, '(')), "");
    EXPECT_EQ(normalize(std::string(200'000, '(') + "320)x"), "x");
}

core::AudioMeta tags(std::string artist, std::string title) {
    core::AudioMeta m;
    m.artist = std::move(artist);
    m.title = std::move(title);
    m.durationMs = 1000;
    return m;
}

TEST(SameSongKey, TagsThenFileName) {
    struct Case {
        const char* name;
        std::optional<core::AudioMeta> meta;
        std::optional<std::string> key;
    };
    const Case cases[] = {
        {"x.mp3", tags("The Band", "01 - Song (320 kbps)"), "the band|song"},
        {"Some Artist - Some Title.mp3", tags("A", "Song"), "f|some artist some title"},
        {"Artist - Title.mp3", std::nullopt, "f|artist title"},
        {"Artist - Title.mp3", tags("", "Song"), "f|artist title"},
        {"Artist-Title.mp3", std::nullopt, std::nullopt},
        {"x - y.mp3", std::nullopt, std::nullopt},
        {"Ab - Cd.Ef - Gh.flac", std::nullopt, "f|ab cd ef gh"},
        {"A - B.C - D.flac", std::nullopt, std::nullopt},  // "a b c d": 7 characters
        {"noext - long enough", std::nullopt, "f|noext long enough"},
    };
    for (const Case& c : cases) EXPECT_EQ(songKey(c.name, c.meta), c.key) << c.name;
}

// The reference: ICU's regular expressions with the patterns as written, then the same fold,
// and alphanumerics by ICU's general categories.
std::u16string toU16(const std::string& s) {
    std::u16string out(s.size() * 2 + 1, u'\0');
    int32_t length = 0;
    UErrorCode e = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, s.data(),
                  static_cast<int32_t>(s.size()), &e);
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string toU8(const std::u16string& s) {
    std::string out(s.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode e = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &length, reinterpret_cast<const UChar*>(s.data()),
                static_cast<int32_t>(s.size()), &e);
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string icuReplace(const std::string& text, const char* pattern, uint32_t flags, bool all) {
    UErrorCode e = U_ZERO_ERROR;
    const std::u16string p = toU16(pattern);
    URegularExpression* re =
        uregex_open(reinterpret_cast<const UChar*>(p.data()), static_cast<int32_t>(p.size()), flags, nullptr, &e);
    const std::u16string t = toU16(text);
    uregex_setText(re, reinterpret_cast<const UChar*>(t.data()), static_cast<int32_t>(t.size()), &e);
    std::u16string out(t.size() * 2 + 16, u'\0');
    const UChar space[] = {' ', 0};
    const UChar* replacement = all ? space : space + 1;
    const int32_t n = all ? uregex_replaceAll(re, replacement, -1, reinterpret_cast<UChar*>(out.data()),
                                              static_cast<int32_t>(out.size()), &e)
                          : uregex_replaceFirst(re, replacement, -1, reinterpret_cast<UChar*>(out.data()),
                                                static_cast<int32_t>(out.size()), &e);
    uregex_close(re);
    EXPECT_TRUE(U_SUCCESS(e)) << u_errorName(e);
    out.resize(static_cast<std::size_t>(n));
    return toU8(out);
}

std::string icuNormalize(const std::string& text) {
    std::string s = icuReplace(
        text,
        R"([\(\[](?:[^\)\]]*(?:kbps|kbit|flac|mp3|wav|aiff|aac|alac|lossless|320|256|192|128|vbr|cbr)[^\)\]]*)[\)\]])",
        UREGEX_CASE_INSENSITIVE, true);
    s = core::VolumeIndex::fold(s);
    s = icuReplace(s, R"(^\s*\d{1,2}-\d{1,3}(?=\s|[-_.)])\s*[-_.)]*\s*)", 0, false);
    for (int pass = 0; pass < 2; ++pass)
        s = icuReplace(s, R"(^\s*(?:cd\s*\d+\s*[-_. ]+)?\d{1,3}\s*[-_.)]+\s*)", 0, false);
    std::u16string mapped = toU16(s);
    std::u16string words;
    for (int32_t i = 0; i < static_cast<int32_t>(mapped.size());) {
        UChar32 c;
        const int32_t start = i;
        U16_NEXT(reinterpret_cast<const UChar*>(mapped.data()), i, static_cast<int32_t>(mapped.size()), c);
        const int32_t mask = U_GET_GC_MASK(c);
        const bool alnum = (mask & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
        if (alnum) {
            words.append(mapped, static_cast<std::size_t>(start), static_cast<std::size_t>(i - start));
        } else if (!words.empty() && words.back() != u' ') {
            words += u' ';
        }
    }
    while (!words.empty() && words.back() == u' ') words.pop_back();
    return toU8(words);
}

TEST(SameSongNormalize, AgreesWithIcuRegularExpressionsOnRandomTexts) {
    const std::vector<std::string> pieces = {
        "(",
        ")",
        "[",
        "]",
        "-",
        "_",
        ".",
        " ",
        " ",
        "cd",
        "CD",
        "c",
        "d",
        "0",
        "1",
        "2",
        "3",
        "05",
        "320",
        "128",
        "kbps",
        "KBIT",
        "Flac",
        "mp3",
        "wav",
        "aiff",
        "aac",
        "alac",
        "lossless",
        "vbr",
        "cbr",
        "lo",
        "ss",
        "x",
        "Song",
        "\xC3\xA9",
        "\xD9\xA3",
        "\xEF\xBC\x93",
        "\xE3\x80\x80",
        "\t",
        "\xC2\xA0",
        "\xC3\x9F",
        "\xE2\x84\xAA",
        "\xC5\xBF",
        "\xEF\xAC\x82",
    };
    std::mt19937 rng(20261210);
    for (int round = 0; round < 20'000; ++round) {
        std::string text;
        const int count = static_cast<int>(rng() % 10);
        for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
        ASSERT_EQ(normalize(text), icuNormalize(text)) << "text: \"" << text << "\"";
    }
}

}  // namespace
}  // namespace quorvanta::audio
