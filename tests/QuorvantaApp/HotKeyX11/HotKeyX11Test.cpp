// The global hot key on a real X server: grabs, key presses from xdotool, a competing client, a
// keyboard remap, and the activation request that carries the press's time.
#include "QuorvantaApp/HotKey/ActiveWindow.h"
#include "QuorvantaApp/HotKey/HotKey.h"
#include "platform/settings/Settings.h"
#include "tests/QuorvantaApp/HotKeyX11/OtherClient.h"
#include "tests/QuorvantaApp/HotKeyX11/X11Application.h"
#include "tests/QuorvantaApp/HotKeyX11/XvfbServer.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/RunProgram.h"

#include <X11/keysym.h>

#include <QtGui/QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using test::OtherClient;
using test::pressKeys;

constexpr std::uint16_t kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
constexpr std::uint16_t kCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;  // Alt is Mod1 on Xvfb

const HotKeyCombo kCtrlShiftSpace{49, 768, "Space"};
const HotKeyCombo kCtrlAltF{3, 2304, "F"};
const HotKeyCombo kSuperSpace{49, 4096, "Space"};

// What the hot key's handler saw. Held by the handler itself, so a handler left registered after
// a test points at nothing that has gone.
struct Presses {
    int count = 0;
    std::uint32_t lastTime = 0;
};

class HotKeyX11 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(HotKey::isRegistered());
        ASSERT_TRUE(test::catchUp());
    }
    void TearDown() override { HotKey::unregister(); }

    // A handler counting into presses_.
    HotKey::Handler counting() {
        return [presses = presses_](std::uint32_t time) {
            ++presses->count;
            presses->lastTime = time;
        };
    }
    int count() const { return presses_->count; }

    std::shared_ptr<Presses> presses_ = std::make_shared<Presses>();
    OtherClient other_;
};

TEST_F(HotKeyX11, OnePressRunsTheHandlerOnceWhateverLocksAreOn) {
    struct Case {
        HotKeyCombo combo;
        std::string keys;  // xdotool's name of the combination
    };
    const Case cases[] = {
        {kCtrlShiftSpace, "ctrl+shift+space"},
        {kCtrlAltF, "ctrl+alt+f"},
        {kSuperSpace, "super+space"},
    };
    // Lock keys toggled on before the press and off after it.
    const std::vector<std::vector<std::string>> locks = {{}, {"Num_Lock"}, {"Caps_Lock"}, {"Num_Lock", "Caps_Lock"}};
    for (const auto& c : cases) {
        ASSERT_EQ(HotKey::registerCombo(c.combo, counting()).status, HotKeyStatus::registered) << c.keys;
        for (const auto& lock : locks) {
            std::vector<std::string> keys = lock;
            keys.push_back(c.keys);
            keys.insert(keys.end(), lock.begin(), lock.end());
            const int before = count();
            const auto timeBefore = presses_->lastTime;
            ASSERT_TRUE(pressKeys(keys));
            EXPECT_EQ(count(), before + 1) << c.keys << " with " << lock.size() << " lock keys on";
            EXPECT_GT(presses_->lastTime, timeBefore) << "the handler gets the press's X time";
        }
    }
}

TEST_F(HotKeyX11, RegisteringTwiceStillRunsTheHandlerOnce) {
    ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace, counting()).status, HotKeyStatus::registered);
    ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace, counting()).status, HotKeyStatus::registered);
    ASSERT_TRUE(pressKeys({"ctrl+shift+space"}));
    EXPECT_EQ(count(), 1);
}

TEST_F(HotKeyX11, CombinationHeldByAnotherClientIsTakenAndLeavesNoVariantGrabbed) {
    // The other client holds one variant; the application's grabs of the others succeed first.
    for (const auto variant : test::kLockVariants) {
        ASSERT_TRUE(other_.grab(XK_space, static_cast<std::uint16_t>(kCtrlShift | variant)));
        const auto result = HotKey::registerCombo(kCtrlShiftSpace, counting());
        EXPECT_EQ(result.status, HotKeyStatus::taken) << "variant " << variant;
        EXPECT_EQ(result.message, "") << "the settings window words taken itself";
        EXPECT_FALSE(HotKey::isRegistered());
        other_.ungrabAll();
        EXPECT_TRUE(other_.canGrabEveryVariant(XK_space, kCtrlShift)) << "variant " << variant;
    }
}

TEST_F(HotKeyX11, FailedRegistrationLeavesTheOldCombinationInactive) {
    ASSERT_EQ(HotKey::registerCombo(kCtrlAltF, counting()).status, HotKeyStatus::registered);
    ASSERT_TRUE(other_.grab(XK_space, kCtrlShift));
    ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace, counting()).status, HotKeyStatus::taken);

    ASSERT_TRUE(pressKeys({"ctrl+alt+f", "ctrl+shift+space"}));
    EXPECT_EQ(count(), 0);
    other_.ungrabAll();
    EXPECT_TRUE(other_.canGrabEveryVariant(XK_f, kCtrlAlt));
}

TEST_F(HotKeyX11, CombinationWithAProblemIsRefusedAndReleasesThePreviousOne) {
    struct Case {
        HotKeyCombo combo;
        xcb_keysym_t keysym;
        std::uint16_t x11;
    };
    const Case cases[] = {
        {{3, 512, "F"}, XK_f, XCB_MOD_MASK_SHIFT},     // Shift alone
        {{3, 0, "F"}, XK_f, 0},                        // no modifier
        {{12, 256, "Q"}, XK_q, XCB_MOD_MASK_CONTROL},  // reserved: Ctrl+Q would close windows everywhere
    };
    for (const auto& c : cases) {
        ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace, counting()).status, HotKeyStatus::registered);
        const auto result = HotKey::registerCombo(c.combo, counting());
        EXPECT_EQ(result.status, HotKeyStatus::unsupported) << c.combo.title();
        EXPECT_EQ(result.message, "") << "the settings window words a problem itself";
        EXPECT_FALSE(HotKey::isRegistered());
        EXPECT_TRUE(other_.canGrabEveryVariant(c.keysym, c.x11)) << c.combo.title() << " was grabbed";
        EXPECT_TRUE(other_.canGrabEveryVariant(XK_space, kCtrlShift)) << "the previous hot key stayed";
    }
    ASSERT_TRUE(pressKeys({"shift+f", "ctrl+shift+space"}));
    EXPECT_EQ(count(), 0);
}

TEST_F(HotKeyX11, StoredCombinationWithoutCtrlAltOrSuperGivesTheDefault) {
    platform::MemorySettings settings;
    HotKeyCombo{3, 512, "F"}.save(settings);
    ASSERT_EQ(HotKey::registerFromSettings(settings, counting()).status, HotKeyStatus::registered);

    EXPECT_TRUE(other_.canGrabEveryVariant(XK_f, XCB_MOD_MASK_SHIFT));
    EXPECT_FALSE(other_.grab(XK_space, kCtrlShift)) << "the default is not registered";
    ASSERT_TRUE(pressKeys({"shift+f", "ctrl+shift+space"}));
    EXPECT_EQ(count(), 1);
}

TEST_F(HotKeyX11, UnregisterReleasesTheGrabAndKeepsTheHandler) {
    ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace, counting()).status, HotKeyStatus::registered);
    HotKey::unregister();
    EXPECT_FALSE(HotKey::isRegistered());
    EXPECT_TRUE(other_.canGrabEveryVariant(XK_space, kCtrlShift));
    ASSERT_TRUE(pressKeys({"ctrl+shift+space"}));
    EXPECT_EQ(count(), 0);

    ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace, counting()).status, HotKeyStatus::registered);
    ASSERT_TRUE(pressKeys({"ctrl+shift+space"}));
    EXPECT_EQ(count(), 1);
}

// Puts a key's symbols back when the test ends.
class KeyMappingGuard {
public:
    KeyMappingGuard(OtherClient& client, xcb_keycode_t keycode)
        : client_(client), keycode_(keycode), keysyms_(client.keysymsOf(keycode)) {}
    ~KeyMappingGuard() { client_.restore(keycode_, keysyms_); }

private:
    OtherClient& client_;
    xcb_keycode_t keycode_;
    std::vector<xcb_keysym_t> keysyms_;
};

// A keycode that types nothing, for moving a key to.
xcb_keycode_t spareKeycode(OtherClient& client) {
    for (int keycode = 255; keycode > 8; --keycode) {
        const auto keysyms = client.keysymsOf(static_cast<xcb_keycode_t>(keycode));
        if (std::ranges::all_of(keysyms, [](xcb_keysym_t keysym) { return keysym == XCB_NO_SYMBOL; }))
            return static_cast<xcb_keycode_t>(keycode);
    }
    return 0;
}

TEST_F(HotKeyX11, GrabFollowsTheKeyWhenTheKeyboardIsRemapped) {
    ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace, counting()).status, HotKeyStatus::registered);
    const auto spaceKey = other_.keycode(XK_space);
    const auto spare = spareKeycode(other_);
    ASSERT_NE(spare, 0);
    KeyMappingGuard restoreSpace(other_, spaceKey);
    KeyMappingGuard restoreSpare(other_, spare);

    // Space moves to the spare keycode; its old key types nothing.
    other_.remap(spare, XK_space);
    other_.remap(spaceKey, XCB_NO_SYMBOL);
    ASSERT_EQ(other_.keycode(XK_space), spare);
    ASSERT_TRUE(test::catchUp());
    ASSERT_TRUE(pressKeys({"ctrl+shift+space"}));  // xdotool presses the spare keycode
    EXPECT_EQ(count(), 1);
    EXPECT_TRUE(HotKey::isRegistered());
    EXPECT_TRUE(other_.grabKeycode(spaceKey, kCtrlShift)) << "the old keycode is still grabbed";
}

// Loads a keyboard layout with setxkbmap (x11-xkb-utils, which the X server needs for its own
// keymaps); the US layout again when the test ends.
class KeyboardLayout {
public:
    explicit KeyboardLayout(const std::string& layout) { set(layout); }
    ~KeyboardLayout() { set("us"); }

    bool loaded() const { return loaded_; }

private:
    void set(const std::string& layout) {
        const auto run = test::runProgram(test::programOnPath("setxkbmap"), {layout});
        loaded_ = run.status == 0;
        if (!loaded_) ADD_FAILURE() << "setxkbmap " << layout << ": " << run.err;
    }
    bool loaded_ = false;
};

// A new layout reaches an XKB client such as Qt's connection only through XKB's own events, not
// through the core MappingNotify.
TEST_F(HotKeyX11, GrabFollowsTheKeyToAnotherKeyboardLayout) {
    const HotKeyCombo ctrlAltY{16, 2304, "Y"};
    ASSERT_EQ(HotKey::registerCombo(ctrlAltY, counting()).status, HotKeyStatus::registered);
    const auto usY = other_.keycode(XK_y);
    {
        KeyboardLayout german("de");  // Y and Z change places
        ASSERT_TRUE(german.loaded());
        ASSERT_NE(other_.keycode(XK_y), usY);
        ASSERT_TRUE(test::catchUp());
        ASSERT_TRUE(pressKeys({"ctrl+alt+y"}));
        EXPECT_EQ(count(), 1);
        EXPECT_TRUE(other_.grabKeycode(usY, kCtrlAlt)) << "the key Y left is still grabbed";
        other_.ungrabAll();
    }
    ASSERT_TRUE(test::catchUp());
    ASSERT_TRUE(pressKeys({"ctrl+alt+y"}));
    EXPECT_EQ(count(), 2) << "back on the US layout";
}

// Which modifier holds Super is the server's choice; it is read again when the map changes.
TEST_F(HotKeyX11, SuperIsWhereverTheServerPutsIt) {
    const auto original = other_.modifierMap();
    struct RestoreMap {
        OtherClient& client;
        std::vector<std::vector<xcb_keycode_t>> map;
        ~RestoreMap() { EXPECT_TRUE(client.setModifierMap(map)); }
    } restore{other_, original};
    constexpr int kMod3 = 5, kMod4 = 6;  // rows of the map
    ASSERT_TRUE(original[kMod3].empty() || std::ranges::all_of(original[kMod3], [](auto k) { return k == 0; }));
    const auto superKeys = original[kMod4];

    ASSERT_EQ(HotKey::registerCombo(kSuperSpace, counting()).status, HotKeyStatus::registered);
    auto moved = original;
    moved[kMod3] = superKeys;
    moved[kMod4].assign(superKeys.size(), 0);
    ASSERT_TRUE(other_.setModifierMap(moved));
    ASSERT_TRUE(test::catchUp());
    ASSERT_TRUE(pressKeys({"super+space"}));
    EXPECT_EQ(count(), 1) << "Super on Mod3";
    EXPECT_TRUE(other_.canGrabEveryVariant(XK_space, XCB_MOD_MASK_4)) << "Mod4 is still grabbed";

    auto without = original;
    without[kMod4].assign(superKeys.size(), 0);
    ASSERT_TRUE(other_.setModifierMap(without));
    ASSERT_TRUE(test::catchUp());
    EXPECT_FALSE(HotKey::isRegistered()) << "no modifier holds Super";
    const auto result = HotKey::registerCombo(kSuperSpace, counting());
    EXPECT_EQ(result.status, HotKeyStatus::unsupported);
    EXPECT_EQ(result.message, "This keyboard cannot type this shortcut. Pick another one.");
    EXPECT_EQ(HotKey::registerCombo({200, 256, "X"}, counting()).message, result.message)
        << "a key code outside the key table";
}

TEST_F(HotKeyX11, WaylandSessionIsUnsupportedAndGrabsNothing) {
    test::EnvOverride wayland("WAYLAND_DISPLAY", "wayland-0");
    const auto result = HotKey::registerCombo(kCtrlShiftSpace, counting());
    EXPECT_EQ(result.status, HotKeyStatus::unsupported);
    EXPECT_EQ(result.message,
              "Global shortcuts are not available in a Wayland session. Start Quorvanta again to open the search.");
    EXPECT_TRUE(other_.canGrabEveryVariant(XK_space, kCtrlShift));
}

TEST_F(HotKeyX11, WindowShownByTheHotKeyIsActivatedWithThePressTime) {
    other_.becomeWindowManager();
    QWindow window;
    window.create();
    const auto windowId = static_cast<std::uint32_t>(window.winId());
    auto presses = presses_;
    ASSERT_EQ(HotKey::registerCombo(kCtrlShiftSpace,
                                    [presses, windowId](std::uint32_t time) {
                                        ++presses->count;
                                        presses->lastTime = time;
                                        EXPECT_TRUE(requestActiveWindow(windowId, time));
                                    })
                  .status,
              HotKeyStatus::registered);
    ASSERT_TRUE(pressKeys({"ctrl+shift+space"}));
    ASSERT_EQ(count(), 1);

    const auto request = other_.nextClientMessage(other_.atom("_NET_ACTIVE_WINDOW"), std::chrono::seconds(15));
    ASSERT_TRUE(request) << "no activation request reached the window manager";
    EXPECT_EQ(request->window, windowId);
    EXPECT_EQ(request->format, 32);
    EXPECT_EQ(request->data.data32[0], 2u) << "source: on the user's behalf";
    EXPECT_EQ(request->data.data32[1], presses_->lastTime);
    EXPECT_NE(presses_->lastTime, 0u);

    EXPECT_FALSE(requestActiveWindow(0x1fffffff, 1)) << "a window the server does not know";
}

}  // namespace
}  // namespace quorvanta::app
