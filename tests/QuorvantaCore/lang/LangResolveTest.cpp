#include "QuorvantaCore/lang/LanguageResolve.h"

#include "QuorvantaCore/util/Format.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace quorvanta::core {
namespace {

constexpr std::array<std::string_view, 8> kShipped{"en", "de", "es", "it", "fr", "pt-BR", "nl", "ja"};

TEST(LangResolve, ChoiceAndEnvironmentGiveCodeFileAndLocale) {
    const struct {
        const char* name;
        std::string choice;
        LanguageEnvironment environment;
        std::string code;
        std::string file;
        std::string size1500;  // Format::size(1500) in the resolved locale
    } cases[] = {
        {"LANGUAGE=de", "system", {.language = "de"}, "de", "de", "1.5 KB"},
        {"LANG=pt_BR.UTF-8", "system", {.lang = "pt_BR.UTF-8"}, "pt-BR", "pt_BR", "1,5 KB"},
        {"LANGUAGE=sv:fr", "system", {.language = "sv:fr"}, "fr", "fr", "1.5 KB"},
        {"LANGUAGE before LC_ALL", "system", {.language = "ja", .lcAll = "de_DE.UTF-8"}, "ja", "ja", "1,5 KB"},
        {"LC_ALL before LC_MESSAGES and LANG",
         "system",
         {.lcAll = "nl_NL.UTF-8", .lcMessages = "it_IT", .lang = "es_ES"},
         "nl",
         "nl",
         "1,5 KB"},
        {"LC_MESSAGES before LANG", "system", {.lcMessages = "it_IT.UTF-8", .lang = "es_ES"}, "it", "it", "1,5 KB"},
        {"C and POSIX skipped",
         "system",
         {.language = "C", .lcAll = "POSIX", .lcMessages = "C.UTF-8", .lang = "es_ES.UTF-8"},
         "es",
         "es",
         "1.5 KB"},
        {"modifier dropped", "system", {.lang = "de_DE@euro"}, "de", "de", "1,5 KB"},
        {"same language when the region differs", "system", {.lang = "de_AT.UTF-8"}, "de", "de", "1,5 KB"},
        {"Portuguese of Portugal finds pt-BR", "system", {.language = "pt_PT"}, "pt-BR", "pt_BR", "1.5 KB"},
        {"English in the list stops the search", "system", {.language = "en_GB:de"}, "en", "", "1.5 KB"},
        {"nothing matching gives en", "system", {.language = "sv:fi", .lang = "sv_SE.UTF-8"}, "en", "", "1,5 KB"},
        {"nothing set gives en", "system", {}, "en", "", "1.5 KB"},
        {"number locale from LC_NUMERIC",
         "system",
         {.lcNumeric = "de_DE.UTF-8", .lang = "en_US.UTF-8"},
         "en",
         "",
         "1,5 KB"},
        {"LC_ALL=C numbers in English", "system", {.lcAll = "C", .lcNumeric = "de_DE"}, "en", "", "1.5 KB"},
        {"ill-formed number locale", "system", {.lang = "../x"}, "en", "", "1.5 KB"},
        {"ja", "ja", {.lang = "de_DE.UTF-8"}, "ja", "ja", "1.5 KB"},
        {"de", "de", {}, "de", "de", "1,5 KB"},
        {"pt-BR", "pt-BR", {}, "pt-BR", "pt_BR", "1,5 KB"},
        {"pt_br in another spelling", "pt_br", {}, "pt-BR", "pt_BR", "1,5 KB"},
        {"en has no file", "en", {}, "en", "", "1.5 KB"},
        {"sv: its own numbers, no file", "sv", {.lang = "de_DE"}, "sv", "", "1,5 KB"},
        {"pt alone is not pt-BR", "pt", {}, "pt", "", "1,5 KB"},
        {"path as a choice", "../x", {}, "../x", "", "1.5 KB"},
        {"path to a shipped name", "../de", {}, "../de", "", "1.5 KB"},
        {"empty choice", "", {}, "", "", "1.5 KB"},
    };
    for (const auto& c : cases) {
        const auto resolved = resolveLanguage(c.choice, kShipped, c.environment);
        EXPECT_EQ(resolved.code, c.code) << c.name;
        EXPECT_EQ(resolved.file, c.file) << c.name;
        EXPECT_EQ(Format::size(1500, resolved.locale), c.size1500) << c.name;
    }
}

TEST(LangResolve, WellFormedCodes) {
    for (const char* code : {"de", "ja", "pt-BR", "pt_BR", "zh-Hant-TW", "sr_Latn_RS", "gsw", "de-1996"})
        EXPECT_TRUE(isWellFormedLanguageCode(code)) << code;
    for (const char* code :
         {"", "d", "deut", "../x", "de-", "de--DE", "de-D", "de-ABCDEFGHI", "de.UTF-8", "1de", "de DE"})
        EXPECT_FALSE(isWellFormedLanguageCode(code)) << code;
}

}  // namespace
}  // namespace quorvanta::core
