// The global hot key where X11 cannot be used (offscreen, Wayland): what registration answers,
// what it refuses before it looks at the session, and which handler it keeps.
// Before any Qt header: the core's signals have an emit member, which Qt's keyword macro rewrites.
#include "QuorvantaCore/lang/Lang.h"

#include "QuorvantaApp/HotKey/ActiveWindow.h"
#include "QuorvantaApp/HotKey/HotKey.h"
#include "QuorvantaApp/HotKey/X11Session.h"
#include "platform/settings/Settings.h"
#include "tests/support/EnvOverride.h"

#include <QtGui/QGuiApplication>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace quorvanta::app {
namespace {

using hotkey::X11Unavailable;

const HotKeyCombo kCtrlShiftSpace{49, 768, "Space"};
constexpr const char* kNoX11 = "Global shortcuts need an X11 display.";

// Runs under the offscreen platform, with WAYLAND_DISPLAY unset and English texts. Makes the
// application when the test program has none, and removes it again after the suite.
class HotKeyRegister : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance()) return;
        ownApplication_ = new QGuiApplication(argc_, argv_);
    }
    static void TearDownTestSuite() {
        delete ownApplication_;
        ownApplication_ = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
        languageBefore_ = core::Lang::shared().choice();
        core::Lang::shared().setChoice("en");
    }
    void TearDown() override { core::Lang::shared().setChoice(languageBefore_); }

    test::EnvOverride noWayland_{"WAYLAND_DISPLAY", std::nullopt};

private:
    std::string languageBefore_;
    static inline QGuiApplication* ownApplication_ = nullptr;
    static inline int argc_ = 3;
    static inline char name_[] = "test_app";
    static inline char option_[] = "-platform";
    static inline char platform_[] = "offscreen";
    static inline char* argv_[] = {name_, option_, platform_, nullptr};
};

TEST_F(HotKeyRegister, X11IsUsedOnlyOnXcbWithAConnectionOutsideWayland) {
    struct Case {
        const char* platform;
        bool connection;
        bool wayland;
        std::optional<X11Unavailable> expected;
    };
    const Case cases[] = {
        {"xcb", true, false, std::nullopt},
        {"xcb", true, true, X11Unavailable::waylandSession},  // through XWayland
        {"xcb", false, false, X11Unavailable::noX11Display},
        {"offscreen", true, false, X11Unavailable::noX11Display},
        {"offscreen", false, false, X11Unavailable::noX11Display},
        {"wayland", false, true, X11Unavailable::waylandSession},
        {"", false, false, X11Unavailable::noX11Display},  // no application
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hotkey::x11Unavailable(c.platform, c.connection, c.wayland), c.expected)
            << c.platform << ", connection " << c.connection << ", Wayland " << c.wayland;
    }
}

TEST_F(HotKeyRegister, OffscreenIsUnsupportedWithoutTouchingX11) {
    EXPECT_FALSE(hotkey::x11Session().connection);
    const auto result = HotKey::registerCombo(kCtrlShiftSpace, [](std::uint32_t) {});
    EXPECT_EQ(result.status, HotKeyStatus::unsupported);
    EXPECT_EQ(result.message, kNoX11);
    EXPECT_FALSE(HotKey::isRegistered());
    HotKey::unregister();  // nothing held: nothing happens
    EXPECT_FALSE(requestActiveWindow(1, 1));
}

TEST_F(HotKeyRegister, WaylandSessionIsUnsupportedWithItsReason) {
    test::EnvOverride wayland("WAYLAND_DISPLAY", "wayland-0");
    const auto result = HotKey::registerCombo(kCtrlShiftSpace, [](std::uint32_t) {});
    EXPECT_EQ(result.status, HotKeyStatus::unsupported);
    EXPECT_EQ(result.message,
              "Global shortcuts are not available in a Wayland session. Start Quorvanta again to open the search.");
}

TEST_F(HotKeyRegister, CombinationWithAProblemIsRefusedBeforeTheSessionIsAsked) {
    struct Case {
        HotKeyCombo combo;
        const char* message;  // empty: the settings window words the problem itself
    };
    const Case cases[] = {
        {{3, 512, "F"}, ""},        // Shift alone
        {{3, 0, "F"}, ""},          // no modifier
        {{49, 1024, "Space"}, ""},  // the Caps Lock bit is no modifier
        {{12, 256, "Q"}, ""},       // reserved: Ctrl+Q
        {{12, 4352, "Q"}, ""},      // reserved: Ctrl+Super+Q
        {{0, 2304, "A"}, kNoX11},   // no problem: the session answers
    };
    for (const auto& c : cases) {
        const auto result = HotKey::registerCombo(c.combo, [](std::uint32_t) {});
        EXPECT_EQ(result.status, HotKeyStatus::unsupported) << c.combo.title();
        EXPECT_EQ(result.message, c.message) << c.combo.title();
    }
}

TEST_F(HotKeyRegister, EveryRegistrationKeepsItsHandlerAndReleasesThePreviousOne) {
    // Each handler holds a token; a released handler lets its token go.
    const auto handlerWith = [](const std::shared_ptr<int>& token) { return [token](std::uint32_t) { ++*token; }; };
    auto first = std::make_shared<int>(0);
    auto second = std::make_shared<int>(0);
    auto third = std::make_shared<int>(0);
    const std::weak_ptr<int> firstHeld = first, secondHeld = second, thirdHeld = third;

    HotKey::registerCombo(kCtrlShiftSpace, handlerWith(first));
    first.reset();
    EXPECT_FALSE(firstHeld.expired()) << "a registration that fails still keeps its handler";

    HotKey::registerCombo({3, 512, "F"}, handlerWith(second));
    second.reset();
    EXPECT_TRUE(firstHeld.expired());
    EXPECT_FALSE(secondHeld.expired()) << "a refused combination still replaces the handler";

    HotKey::unregister();
    EXPECT_FALSE(secondHeld.expired()) << "unregister keeps the handler";

    platform::MemorySettings settings;
    HotKey::registerFromSettings(settings, handlerWith(third));
    third.reset();
    EXPECT_TRUE(secondHeld.expired());
    EXPECT_FALSE(thirdHeld.expired());

    HotKey::registerCombo(kCtrlShiftSpace, {});
    EXPECT_TRUE(thirdHeld.expired());
}

TEST_F(HotKeyRegister, MessagesAreInTheInterfaceLanguage) {
    core::Lang::shared().setChoice("de");
    const auto result = HotKey::registerCombo(kCtrlShiftSpace, {});
    EXPECT_EQ(result.status, HotKeyStatus::unsupported);
    EXPECT_NE(result.message, kNoX11);
    EXPECT_FALSE(result.message.empty());
}

}  // namespace
}  // namespace quorvanta::app
