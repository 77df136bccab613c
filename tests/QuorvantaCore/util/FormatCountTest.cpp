#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/util/Format.h"
#include "platform/settings/Settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace quorvanta::core {
namespace {

constexpr const char* kNarrowNoBreakSpace = "\u202f";

TEST(CountFormat, GroupsInTheInterfaceLanguagesNotation) {
    const struct {
        const char* locale;
        std::int64_t value;
        std::string text;
    } cases[] = {
        {"en", 0, "0"},
        {"de", 0, "0"},
        {"fr", 0, "0"},
        {"en", 999, "999"},
        {"en", 1234567, "1,234,567"},
        {"ja", 1234567, "1,234,567"},
        {"de", 1234567, "1.234.567"},
        {"es", 1234567, "1.234.567"},
        {"it", 1234567, "1.234.567"},
        {"nl", 1234567, "1.234.567"},
        {"pt-BR", 1234567, "1.234.567"},
        {"pt_BR", 1234567, "1.234.567"},
        {"fr", 1234567, std::string("1") + kNarrowNoBreakSpace + "234" + kNarrowNoBreakSpace + "567"},
        {"es", 1234, "1234"},  // Spanish groups a four-digit number only from five digits on
        {"de", 1234, "1.234"},
        {"en", -1234567, "-1,234,567"},
        // Exact at the ends of the range, where a double would round.
        {"en", std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807"},
        {"de", std::numeric_limits<std::int64_t>::min(), "-9.223.372.036.854.775.808"},
        {"en", (std::int64_t{1} << 53) + 1, "9,007,199,254,740,993"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format::count(c.value, Locale(c.locale)), c.text) << c.locale << " " << c.value;
}

TEST(CountFormat, ChosenLanguageWinsOverTheEnvironment) {
    platform::MemorySettings settings;
    platform::NotificationCenter notifications;
    const LanguageEnvironment english{.lcAll = "en_US.UTF-8", .lang = "en_US.UTF-8"};
    const struct {
        const char* choice;
        const char* text;
    } cases[] = {
        {"de", "1.234.567"},
        {"system", "1,234,567"},
        {"en", "1,234,567"},
    };
    for (const auto& c : cases) {
        settings.setText(Lang::defaultsKey, c.choice);
        const Lang lang({settings, notifications, "/nonexistent", english});
        EXPECT_EQ(Format::count(1234567, lang.language()->locale), c.text) << c.choice;
    }
}

}  // namespace
}  // namespace quorvanta::core
