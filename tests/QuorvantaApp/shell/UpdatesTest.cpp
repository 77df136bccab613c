// The update check: without an updater, "Check for updates …" explains the matter in one alert in
// the interface language and returns once it is dismissed; the automatic-check switch starts on at
// every construction and tells its observers before it changes.
#include "QuorvantaApp/shell/Updates.h"

#include "tests/support/LanguageScope.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

struct Case {
    const char* language;
    const char* message;
    const char* informative;
};

TEST(UpdatesCheck, ShowsTheNotSetUpAlertInTheInterfaceLanguage) {
    const Case cases[] = {
        {"en", "Updates are not set up in this version",
         "This Quorvanta version does not update itself. Install new versions through your package manager or the "
         "way you installed this one."},
        {"de", "Updates sind in dieser Version nicht eingerichtet",
         "Diese Quorvanta-Version aktualisiert sich nicht selbst. Installieren Sie neue Versionen über Ihre "
         "Paketverwaltung oder auf dem Weg, auf dem Sie diese installiert haben."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        test::LanguageScope language(c.language);
        ScriptedDialogs dialogs;
        dialogs.answers = {0};
        Updates updates(dialogs);
        updates.check();
        ASSERT_EQ(dialogs.shown.size(), 1U);
        EXPECT_EQ(dialogs.shown[0].message, c.message);
        EXPECT_EQ(dialogs.shown[0].informative, c.informative);
        // One button, the presenter's "OK": there is nothing to choose.
        EXPECT_EQ(dialogs.shown[0].titles().size(), 1U);
        EXPECT_TRUE(dialogs.answers.empty());
    }
}

TEST(UpdatesCheck, EveryCheckShowsTheAlertAgain) {
    ScriptedDialogs dialogs;
    dialogs.answers = {0, 0};
    Updates updates(dialogs);
    updates.check();
    updates.automatic.set(false);
    updates.check();
    ASSERT_EQ(dialogs.shown.size(), 2U);
    EXPECT_EQ(dialogs.shown[1].message, dialogs.shown[0].message);
    EXPECT_EQ(dialogs.shown[1].informative, dialogs.shown[0].informative);
}

TEST(UpdatesAutomatic, StartsOnAtEveryConstructionAndPublishesChanges) {
    ScriptedDialogs dialogs;
    {
        Updates updates(dialogs);
        EXPECT_TRUE(updates.automatic.get());
        std::vector<bool> told;
        int willChange = 0;
        auto a = updates.automatic.observe([&](bool value) {
            told.push_back(value);
            // Observers learn of the change before it is stored.
            EXPECT_TRUE(updates.automatic.get());
        });
        auto b = updates.objectWillChange.connect([&] { ++willChange; });
        updates.automatic.set(false);
        EXPECT_FALSE(updates.automatic.get());
        EXPECT_EQ(told, std::vector<bool>{false});
        EXPECT_EQ(willChange, 1);
    }
    // Nothing is kept between launches: the switch shows on again.
    Updates again(dialogs);
    EXPECT_TRUE(again.automatic.get());
    // Switching it shows no alert.
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(UpdatesShared, IsOneInstance) { EXPECT_EQ(&Updates::shared(), &Updates::shared()); }

}  // namespace
}  // namespace quorvanta::app
