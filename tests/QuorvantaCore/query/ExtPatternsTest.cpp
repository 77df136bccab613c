#include "QuorvantaCore/query/ExtPatterns.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using List = std::vector<std::string>;

TEST(ExtPatterns, Parse) {
    struct Case {
        std::string text;
        List exts;
        List rejected;
    };
    const Case cases[] = {
        {"*.MP3;*.flac", {"mp3", "flac"}, {}},
        {".mp3 , FLAC", {"mp3", "flac"}, {}},
        {"*.mp3; *.flac", {"mp3", "flac"}, {}},
        {"mp3,flac", {"mp3", "flac"}, {}},
        {"mp3 flac", {"mp3", "flac"}, {}},
        {"mp3\tflac\nogg\r\nwav", {"mp3", "flac", "ogg", "wav"}, {}},
        {"mp3\xE2\x80\xA8"
         "flac\xC2\xA0ogg\xE3\x80\x80wav",
         {"mp3", "flac", "ogg", "wav"},
         {}},  // LS, NBSP, ideographic space
        {"mp3;*.mp3;MP3", {"mp3"}, {}},
        {"*.*", {}, {"*.*"}},
        {"*", {}, {"*"}},
        {"*.", {}, {"*."}},
        {".", {}, {"."}},
        {"a/b", {}, {"a/b"}},
        {"c:", {}, {"c:"}},
        {"a\\b", {}, {"a\\b"}},
        {"..mp3", {".mp3"}, {}},
        {"*..mp3", {".mp3"}, {}},
        {"tar.gz", {"tar.gz"}, {}},
        {"*.?A", {}, {"*.?A"}},
        {"*.JPG;*.?A;Png;;*.jpg", {"jpg", "png"}, {"*.?A"}},
        {"*.\xC3\x89T\xC3\x89", {"\xC3\xA9t\xC3\xA9"}, {}},  // ÉTÉ lower-cased
        {"", {}, {}},
        {" ;,\t\n", {}, {}},
    };
    for (const auto& c : cases) {
        const auto parsed = ExtPatterns::parse(c.text);
        EXPECT_EQ(parsed.exts, c.exts) << c.text;
        EXPECT_EQ(parsed.rejected, c.rejected) << c.text;
    }
}

TEST(ExtPatterns, Format) {
    EXPECT_EQ(ExtPatterns::format({"mp3", "flac"}), "*.mp3;*.flac");
    EXPECT_EQ(ExtPatterns::format({"tar.gz"}), "*.tar.gz");
    EXPECT_EQ(ExtPatterns::format({".mp3"}), "*..mp3");
    EXPECT_EQ(ExtPatterns::format({}), "");
}

// Whatever parse accepts survives format and parse unchanged.
TEST(ExtPatterns, RandomRoundTrip) {
    const std::vector<std::string> alphabet = {
        "a",
        "B",
        "m",
        "P",
        "3",
        ".",
        "*",
        "?",
        ";",
        ",",
        " ",
        "\t",
        "\n",
        "\xC3\xA9",
        "\xC3\x89",
        "\xC3\x9F",
        "\xE1\xBA\x9E",
        "\xC3\xB1",
        "\xC4\xB0",  // é É ß ẞ ñ İ
    };
    std::mt19937 rng(20240515);
    for (int i = 0; i < 5000; ++i) {
        std::string text;
        const int length = static_cast<int>(rng() % 24);
        for (int k = 0; k < length; ++k) text += alphabet[rng() % alphabet.size()];
        const auto first = ExtPatterns::parse(text);
        const auto again = ExtPatterns::parse(ExtPatterns::format(first.exts));
        ASSERT_EQ(again.exts, first.exts) << "text: " << text;
        ASSERT_TRUE(again.rejected.empty()) << "text: " << text;
    }
}

}  // namespace
}  // namespace quorvanta::core
