// The key table and the modifier mappings, checked against the ANSI keyboard and the X11 and Qt
// conventions written out here independently of the table.
#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"
#include "QuorvantaApp/HotKeyRecorder/HotKeyKeys.h"
#include "QuorvantaApp/HotKeyRecorder/HotKeyModifiers.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string_view>

namespace quorvanta::app::hotkey {
namespace {

// The character keys of the ANSI keyboard by virtual key code 0 to 50; \x01 in the strings marks
// a code that is no character key (10 is the ISO key, 36 Return, 48 Tab, 49 Space).
constexpr std::string_view kAnsiCharacters =
    "asdfhgzxcv"
    "\x01"
    "bqweryt123465=97-80]ou[ip"
    "\x01"
    "lj'k;\\,/nm."
    "\x01\x01"
    "`";
static_assert(kAnsiCharacters.size() == 51);

// The other keys: virtual key code → X keysym.
const std::map<std::uint32_t, std::uint32_t> kOtherKeys = {
    {36, XK_Return},  {48, XK_Tab},   {49, XK_space}, {51, XK_BackSpace}, {53, XK_Escape},     {76, XK_KP_Enter},
    {117, XK_Delete}, {122, XK_F1},   {120, XK_F2},   {99, XK_F3},        {118, XK_F4},        {96, XK_F5},
    {97, XK_F6},      {98, XK_F7},    {100, XK_F8},   {101, XK_F9},       {109, XK_F10},       {103, XK_F11},
    {111, XK_F12},    {115, XK_Home}, {119, XK_End},  {116, XK_Page_Up},  {121, XK_Page_Down}, {123, XK_Left},
    {124, XK_Right},  {125, XK_Down}, {126, XK_Up},
};

// Every key code the hot key can use, with its X keysym (Latin-1 keysyms are the characters).
std::map<std::uint32_t, std::uint32_t> expectedKeysyms() {
    auto expected = kOtherKeys;
    for (std::uint32_t code = 0; code < kAnsiCharacters.size(); ++code) {
        const auto c = static_cast<unsigned char>(kAnsiCharacters[code]);
        if (c != 0x01) expected.emplace(code, c);
    }
    return expected;
}

TEST(HotKeyKeysX11, KeysymOfEveryKeyCode) {
    const auto expected = expectedKeysyms();
    for (const auto& [code, keysym] : expected) {
        EXPECT_EQ(keysymForKeyCode(code), keysym) << "key code " << code;
    }
    std::set<std::uint32_t> codes;
    for (const auto& key : hotKeyKeys()) {
        EXPECT_TRUE(codes.insert(key.keyCode).second) << "key code " << key.keyCode << " twice";
        EXPECT_TRUE(expected.contains(key.keyCode)) << "unexpected key code " << key.keyCode;
    }
    for (const std::uint32_t outside : {10u, 52u, 75u, 105u, 127u, 4294967295u}) {
        EXPECT_EQ(keysymForKeyCode(outside), std::nullopt) << "key code " << outside;
    }
}

TEST(HotKeyKeysX11, CarbonMaskOfEveryModifierSet) {
    const X11ModifierMasks usual;  // Alt on Mod1, Super on Mod4
    const X11ModifierMasks moved{XCB_MOD_MASK_3, XCB_MOD_MASK_5};
    for (std::uint32_t carbon = 0; carbon < 0x2000; carbon += 0x100) {
        if (carbon & ~0x1b00u) continue;
        std::uint16_t onUsual = 0, onMoved = 0;
        if (carbon & 256) onUsual |= XCB_MOD_MASK_CONTROL, onMoved |= XCB_MOD_MASK_CONTROL;
        if (carbon & 512) onUsual |= XCB_MOD_MASK_SHIFT, onMoved |= XCB_MOD_MASK_SHIFT;
        if (carbon & 2048) onUsual |= XCB_MOD_MASK_1, onMoved |= XCB_MOD_MASK_3;
        if (carbon & 4096) onUsual |= XCB_MOD_MASK_4, onMoved |= XCB_MOD_MASK_5;
        EXPECT_EQ(x11MaskFromCarbon(carbon, usual), onUsual) << "mask " << carbon;
        EXPECT_EQ(x11MaskFromCarbon(carbon, moved), onMoved) << "mask " << carbon;

        // Back from an event's state, whatever Lock and NumLock (Mod2) say.
        EXPECT_EQ(carbonMaskFromX11(onUsual, usual), carbon) << "mask " << carbon;
        EXPECT_EQ(carbonMaskFromX11(onUsual | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2, usual), carbon) << "mask " << carbon;
        EXPECT_EQ(carbonMaskFromX11(onMoved, moved), carbon) << "mask " << carbon;
    }
}

TEST(HotKeyKeysX11, MasksTheServerCannotExpress) {
    const X11ModifierMasks noSuper{XCB_MOD_MASK_1, 0};
    EXPECT_EQ(x11MaskFromCarbon(256 | 4096, noSuper), std::nullopt);
    EXPECT_EQ(x11MaskFromCarbon(256 | 2048, noSuper), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    EXPECT_EQ(carbonMaskFromX11(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_4, noSuper), 256u);
    // Carbon bits that are no modifier of a hot key (caps lock 1024, right-hand keys).
    for (const std::uint32_t stray : {1024u, 256u | 1024u, 256u | 0x2000u, 256u | 0x80000000u}) {
        EXPECT_EQ(x11MaskFromCarbon(stray), std::nullopt) << "mask " << stray;
    }
}

TEST(HotKeyKeysQt, EveryModifierSetMapsToItsCarbonMask) {
    for (int set = 0; set < 16; ++set) {
        Qt::KeyboardModifiers qt;
        std::uint32_t carbon = 0;
        if (set & 1) qt |= Qt::ControlModifier, carbon |= 256;
        if (set & 2) qt |= Qt::ShiftModifier, carbon |= 512;
        if (set & 4) qt |= Qt::AltModifier, carbon |= 2048;
        if (set & 8) qt |= Qt::MetaModifier, carbon |= 4096;
        EXPECT_EQ(carbonMaskFromQt(qt), carbon) << "set " << set;
        EXPECT_EQ(carbonMaskFromQt(qt | Qt::KeypadModifier | Qt::GroupSwitchModifier), carbon) << "set " << set;
    }
}

TEST(HotKeyKeysQt, EachQtKeyNamesOneRow) {
    std::set<int> seen;
    for (const auto& key : hotKeyKeys()) {
        for (const int qtKey : {key.qtKey, key.shiftedQtKey}) {
            if (qtKey == 0) continue;
            EXPECT_TRUE(seen.insert(qtKey).second) << "Qt key " << qtKey << " twice";
            EXPECT_EQ(keyWithQtKey(qtKey), &key) << "Qt key " << qtKey;
        }
    }
    // 0 marks a row without a shifted key; it is no key.
    EXPECT_EQ(keyWithQtKey(0), nullptr);
}

// US-layout pairs: the symbol Shift gives → the key's own character.
constexpr std::string_view kShifted = "~!@#$%^&*()_+{}|:\"<>?";
constexpr std::string_view kUnshifted = "`1234567890-=[]\\;',./";

// Every printable ASCII key Qt reports (Qt has no lower-case letter keys) gives a combination whose
// key code is grabbed by that key's unshifted keysym, and whose name is the character.
TEST(HotKeyKeysQt, EveryCharacterKeyRoundTripsToItsKeysym) {
    int checked = 0;
    for (int qtKey = 0x21; qtKey <= 0x7e; ++qtKey) {
        if (qtKey >= 'a' && qtKey <= 'z') continue;
        const char c = static_cast<char>(qtKey);
        const auto shifted = kShifted.find(c);
        const char unshifted = shifted == std::string_view::npos ? c : kUnshifted[shifted];
        const auto combo = HotKeyCombo::fromKeyPress(qtKey, Qt::ControlModifier);
        ASSERT_TRUE(combo) << "Qt key " << c;
        EXPECT_EQ(combo->key, std::string(1, c)) << "Qt key " << c;
        EXPECT_EQ(keysymForKeyCode(combo->keyCode), static_cast<std::uint32_t>(std::tolower(unshifted)))
            << "Qt key " << c;
        ++checked;
    }
    EXPECT_EQ(checked, 94 - 26);
}

TEST(HotKeyKeysQt, EveryOtherKeyRoundTripsToItsKeysym) {
    struct Case {
        Qt::Key qtKey;
        std::uint32_t keysym;
        const char* name;
    };
    const Case cases[] = {
        {Qt::Key_Space, XK_space, "Space"},
        {Qt::Key_Return, XK_Return, "↩"},
        {Qt::Key_Tab, XK_Tab, "⇥"},
        {Qt::Key_Backtab, XK_Tab, "⇥"},
        {Qt::Key_F1, XK_F1, "F1"},
        {Qt::Key_F2, XK_F2, "F2"},
        {Qt::Key_F3, XK_F3, "F3"},
        {Qt::Key_F4, XK_F4, "F4"},
        {Qt::Key_F5, XK_F5, "F5"},
        {Qt::Key_F6, XK_F6, "F6"},
        {Qt::Key_F7, XK_F7, "F7"},
        {Qt::Key_F8, XK_F8, "F8"},
        {Qt::Key_F9, XK_F9, "F9"},
        {Qt::Key_F10, XK_F10, "F10"},
        {Qt::Key_F11, XK_F11, "F11"},
        {Qt::Key_F12, XK_F12, "F12"},
        {Qt::Key_Home, XK_Home, "Home"},
        {Qt::Key_End, XK_End, "End"},
        {Qt::Key_PageUp, XK_Page_Up, "Page Up"},
        {Qt::Key_PageDown, XK_Page_Down, "Page Down"},
        {Qt::Key_Left, XK_Left, "←"},
        {Qt::Key_Right, XK_Right, "→"},
        {Qt::Key_Up, XK_Up, "↑"},
        {Qt::Key_Down, XK_Down, "↓"},
    };
    for (const auto& c : cases) {
        const auto combo = HotKeyCombo::fromKeyPress(c.qtKey, Qt::AltModifier);
        ASSERT_TRUE(combo) << c.name;
        EXPECT_EQ(combo->key, c.name);
        EXPECT_EQ(keysymForKeyCode(combo->keyCode), c.keysym) << c.name;
    }
}

}  // namespace
}  // namespace quorvanta::app::hotkey
