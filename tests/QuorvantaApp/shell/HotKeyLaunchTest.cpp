// The hot key in the launched application, with its registration recorded: the launch registers
// the stored combination whatever the answer, a press toggles the panel, and the settings window's
// callback registers the combination again and passes the answer on, until the delegate is gone.
#include "tests/QuorvantaApp/shell/ShellLaunch.h"

#include "QuorvantaApp/shell/SearchPanel.h"
#include "tests/QuorvantaApp/HotKeyRecorder/ComboPrinter.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace quorvanta::app::test {
namespace {

const HotKeyCombo kDefault{49, 768, "Space"};

TEST(HotKeyRegisterLaunch, LaunchRegistersTheStoredCombinationWhateverTheAnswer) {
    const struct {
        const char* name;
        std::optional<HotKeyCombo> stored;
        std::optional<std::int64_t> preset;
        HotKeyStatus answer;
        HotKeyCombo registered;
    } cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, HotKeyStatus::registered, kDefault},
        {"legacy preset 3", std::nullopt, 3, HotKeyStatus::taken, {3, 2304, "F"}},
        {"a recorded combination", HotKeyCombo{40, 4608, "K"}, std::nullopt, HotKeyStatus::unsupported,
         {40, 4608, "K"}},
        {"Shift alone", HotKeyCombo{3, 512, "F"}, std::nullopt, HotKeyStatus::registered, kDefault},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShellLaunch l;
        if (c.stored) c.stored->save(l.settings);
        if (c.preset) l.settings.setInteger("hotkeyPreset", *c.preset);
        l.hotKey.answer = c.answer;
        l.delegate->launch();
        ASSERT_EQ(l.hotKey.combos.size(), 1u);
        EXPECT_EQ(l.hotKey.combos[0], c.registered);
        // The launch goes on as if the hot key had been had.
        EXPECT_TRUE(l.delegate->panel()->isVisible());
        EXPECT_EQ(l.focusPosts, 1);
    }
}

TEST(HotKeyRegisterLaunch, APressHidesTheActivePanelAndTheNextShowsItFocused) {
    ShellLaunch l;
    l.delegate->launch();
    SearchPanel* panel = l.delegate->panel();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    ASSERT_TRUE(l.hotKey.handler);

    l.hotKey.handler(1000);
    EXPECT_FALSE(panel->isVisible());
    l.hotKey.handler(2000);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(panel));
    EXPECT_EQ(l.focusPosts, 2);

    // Visible behind another window: brought forward, not hidden.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    l.hotKey.handler(3000);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(panel));
    EXPECT_EQ(l.focusPosts, 3);
}

TEST(HotKeyRegisterLaunch, SettingsCallbackRegistersTheNewCombinationAndPassesTheAnswerOn) {
    ShellLaunch l;
    l.delegate->launch();
    const auto callback = l.delegate->hotKeyCallback();
    const HotKeyCombo recorded{3, 2304, "F"};
    recorded.save(l.settings);
    for (const auto answer : {HotKeyStatus::registered, HotKeyStatus::taken, HotKeyStatus::unsupported}) {
        l.hotKey.answer = answer;
        EXPECT_EQ(callback().status, answer);
        EXPECT_EQ(l.hotKey.combos.back(), recorded);
    }
    ASSERT_EQ(l.hotKey.combos.size(), 4u);

    // The handler it registered toggles the panel, as the launch's does.
    ASSERT_TRUE(QTest::qWaitForWindowActive(l.delegate->panel()));
    l.hotKey.handler(1000);
    EXPECT_FALSE(l.delegate->panel()->isVisible());

    // Once the delegate is gone: taken, nothing registered, and a press does nothing.
    auto handler = l.hotKey.handler;
    l.delegate.reset();
    l.hotKey.answer = HotKeyStatus::registered;
    EXPECT_EQ(callback().status, HotKeyStatus::taken);
    EXPECT_EQ(l.hotKey.combos.size(), 4u);
    handler(2000);
}

}  // namespace
}  // namespace quorvanta::app::test
