#include "QuorvantaCore/lang/TextFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace quorvanta::core {
namespace {

using Kinds = std::vector<ArgKind>;
constexpr ArgKind T = ArgKind::text;
constexpr ArgKind N = ArgKind::number;

TEST(LangFormat, PlaceholderKindsOfKeysAndTranslations) {
    const struct {
        const char* pattern;
        std::optional<Kinds> kinds;
    } cases[] = {
        {"Open", Kinds{}},
        {"%@ files in %lld folders", Kinds{T, N}},
        {"%2$lld Ordner mit %1$@ Dateien", Kinds{T, N}},
        {"%1$@ and %1$@ again", Kinds{T}},
        {"100%% done, %@", Kinds{T}},
        {"%d %s % @ %ll %", Kinds{}},  // not placeholders: plain text
        {"%100$@", Kinds{}},           // positions stop at 99: plain text
        {"%0$@", Kinds{}},
        {"%@%lld%@", Kinds{T, N, T}},
        {"%1$@ %@", std::nullopt},      // numbered and unnumbered mixed
        {"%1$@ %1$lld", std::nullopt},  // one position, two kinds
        {"%2$@", std::nullopt},         // position 1 left out
    };
    for (const auto& c : cases) EXPECT_EQ(placeholderKinds(c.pattern), c.kinds) << c.pattern;
}

TEST(LangFormat, SamePlaceholders) {
    EXPECT_TRUE(samePlaceholders("%@ files in %lld folders", "%2$lld Ordner mit %1$@ Dateien"));
    EXPECT_TRUE(samePlaceholders("%@ files in %lld folders", "%@ Dateien in %lld Ordnern"));
    EXPECT_TRUE(samePlaceholders("Open", "Öffnen"));
    EXPECT_FALSE(samePlaceholders("%@ files in %lld folders", "%lld Dateien in %@ Ordnern"));
    EXPECT_FALSE(samePlaceholders("%@ of %@", "%1$@"));
    EXPECT_FALSE(samePlaceholders("Open", "%@ öffnen"));
    EXPECT_FALSE(samePlaceholders("%1$@ %@", "%1$@ %@")) << "an inconsistent key matches nothing";
}

TEST(LangFormat, InsertsValuesInTheTranslationsOrder) {
    const FormatArg twoValues[] = {"Photos", 1234};
    const struct {
        const char* pattern;
        std::string expected;
    } cases[] = {
        {"%@ files in %lld folders", "Photos files in 1234 folders"},
        {"%2$lld Ordner mit %1$@ Dateien", "1234 Ordner mit Photos Dateien"},
        {"「%1$@」の%2$lldフォルダ", "「Photos」の1234フォルダ"},
        {"%1$@, %1$@!", "Photos, Photos!"},
        {"100%% of %@", "100% of Photos"},
        {"%@ %lld %@", "Photos 1234 %@"},  // no third value: the placeholder stays
        {"%lld %@", "Photos 1234"},        // kinds swapped by the caller: inserted as text
        {"50% off", "50% off"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatText(c.pattern, twoValues), c.expected) << c.pattern;
}

TEST(LangFormat, NumbersArePlainDigits) {
    const FormatArg values[] = {std::numeric_limits<std::uint64_t>::max(), std::int64_t{-42}, 0u};
    EXPECT_EQ(formatText("%lld %lld %lld", values), "18446744073709551615 -42 0");
}

}  // namespace
}  // namespace quorvanta::core
