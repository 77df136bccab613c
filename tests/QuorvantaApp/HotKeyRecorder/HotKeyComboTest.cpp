// HotKeyCombo's rules (problem, the reserved pairs), its title and the combination a key press
// describes. No display is needed: key presses are given as Qt's key and modifiers.
#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"
#include "platform/settings/Settings.h"
#include "tests/QuorvantaApp/HotKeyRecorder/ComboPrinter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace quorvanta::app {
namespace {

using Problem = HotKeyCombo::Problem;

// The reserved pairs, in their order: Ctrl+Space, Ctrl+Alt+Space, Ctrl+Tab, Ctrl+Q, Ctrl+W,
// Ctrl+H, Ctrl+M, Ctrl+comma, Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+A, Ctrl+Z, Ctrl+Super+Q, Ctrl+grave,
// Ctrl+Alt+Escape.
const std::vector<std::pair<std::uint32_t, std::uint32_t>> kReserved = {
    {49, 256}, {49, 2304}, {48, 256}, {12, 256}, {13, 256}, {4, 256},   {46, 256}, {43, 256},
    {8, 256},  {9, 256},   {7, 256},  {0, 256},  {6, 256},  {12, 4352}, {50, 256}, {53, 2304},
};

TEST(HotKeyComboProblem, EdgeList) {
    struct Case {
        const char* what;
        HotKeyCombo combo;
        std::optional<Problem> expected;
    };
    const Case cases[] = {
        {"Shift+A", {0, 512, "A"}, Problem::needsModifier},
        {"A alone", {0, 0, "A"}, Problem::needsModifier},
        {"Shift with caps lock (1024)", {0, 512 | 1024, "A"}, Problem::needsModifier},
        {"Ctrl+Q", {12, 256, "Q"}, Problem::reserved},
        {"Ctrl+Super+Q", {12, 4352, "Q"}, Problem::reserved},
        {"Ctrl+Alt+Q", {12, 2304, "Q"}, std::nullopt},
        {"Ctrl+Shift+Space: the mask is compared whole", {49, 768, "Space"}, std::nullopt},
        {"Ctrl+Space", {49, 256, "Space"}, Problem::reserved},
        {"the key name plays no part", {49, 256, "anything"}, Problem::reserved},
        {"Alt+Space", {49, 2048, "Space"}, std::nullopt},
        {"Super+F5", {96, 4096, "F5"}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(c.combo.problem(), c.expected) << c.what;
}

TEST(HotKeyComboProblem, EveryReservedPairAndNotWithShift) {
    const auto reserved = HotKeyCombo::reserved();
    ASSERT_EQ(reserved.size(), kReserved.size());
    for (std::size_t i = 0; i < kReserved.size(); ++i) {
        const auto [code, mask] = kReserved[i];
        EXPECT_EQ(reserved[i].keyCode, code) << "pair " << i;
        EXPECT_EQ(reserved[i].modifiers, mask) << "pair " << i;
        EXPECT_EQ((HotKeyCombo{code, mask, "K"}.problem()), Problem::reserved) << "pair " << i;
        EXPECT_EQ((HotKeyCombo{code, mask | 512, "K"}.problem()), std::nullopt) << "pair " << i << " with Shift";
    }
}

TEST(HotKeyComboProblem, LoadFallsBackOnEveryReservedPair) {
    for (const auto& [code, mask] : kReserved) {
        platform::MemorySettings settings;
        HotKeyCombo{code, mask, "K"}.save(settings);
        EXPECT_EQ(HotKeyCombo::load(settings), HotKeyCombo::defaultCombo()) << code << " " << mask;
    }
}

TEST(HotKeyComboKeyPress, TableOfPresses) {
    struct Case {
        const char* what;
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        std::optional<HotKeyCombo> expected;
        const char* title;  // of the expected combination
    };
    const auto ctrl = Qt::ControlModifier, alt = Qt::AltModifier, shift = Qt::ShiftModifier, meta = Qt::MetaModifier;
    const auto none = Qt::NoModifier;
    const Case cases[] = {
        {"Ctrl+Alt+A", Qt::Key_A, ctrl | alt, HotKeyCombo{0, 2304, "A"}, "Ctrl+Alt+A"},
        {"Ctrl+Alt+F", Qt::Key_F, ctrl | alt, HotKeyCombo{3, 2304, "F"}, "Ctrl+Alt+F"},
        {"Super+F5", Qt::Key_F5, meta, HotKeyCombo{96, 4096, "F5"}, "Super+F5"},
        {"Ctrl+F5", Qt::Key_F5, ctrl, HotKeyCombo{96, 256, "F5"}, "Ctrl+F5"},
        {"Ctrl+Shift+Space", Qt::Key_Space, ctrl | shift, HotKeyCombo::defaultCombo(), "Ctrl+Shift+Space"},
        {"Return", Qt::Key_Return, none, HotKeyCombo{36, 0, "↩"}, "↩"},
        {"Shift+1", Qt::Key_Exclam, shift, HotKeyCombo{18, 512, "!"}, "Shift+!"},
        {"Ctrl+Shift+Tab", Qt::Key_Backtab, ctrl | shift, HotKeyCombo{48, 768, "⇥"}, "Ctrl+Shift+⇥"},
        {"Ctrl+Alt+Page Down", Qt::Key_PageDown, ctrl | alt, HotKeyCombo{121, 2304, "Page Down"}, "Ctrl+Alt+Page Down"},
        {"A alone, caps lock on (Qt reports no modifier)", Qt::Key_A, none, HotKeyCombo{0, 0, "A"}, "A"},
        {"Ctrl and keypad 1", Qt::Key_1, ctrl | Qt::KeypadModifier, HotKeyCombo{18, 256, "1"}, "Ctrl+1"},
        {"Alt with group switch", Qt::Key_Q, alt | Qt::GroupSwitchModifier, HotKeyCombo{12, 2048, "Q"}, "Alt+Q"},
        {"Escape", Qt::Key_Escape, none, std::nullopt, ""},
        {"Ctrl+Alt+Escape", Qt::Key_Escape, ctrl | alt, std::nullopt, ""},
        {"Ctrl+Backspace", Qt::Key_Backspace, ctrl, std::nullopt, ""},
        {"Ctrl+Delete", Qt::Key_Delete, ctrl, std::nullopt, ""},
        {"Ctrl and keypad Enter", Qt::Key_Enter, ctrl | Qt::KeypadModifier, std::nullopt, ""},
        {"a lone Ctrl", Qt::Key_Control, ctrl, std::nullopt, ""},
        {"a lone Shift", Qt::Key_Shift, shift, std::nullopt, ""},
        {"Ctrl+F13, outside the table", Qt::Key_F13, ctrl, std::nullopt, ""},
        {"Ctrl+Ä, outside the table", Qt::Key_Adiaeresis, ctrl, std::nullopt, ""},
        {"an unknown key", Qt::Key_unknown, ctrl, std::nullopt, ""},
        {"key 0", 0, ctrl, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const auto combo = HotKeyCombo::fromKeyPress(c.qtKey, c.modifiers);
        EXPECT_EQ(combo, c.expected) << c.what;
        if (combo) {
            EXPECT_EQ(combo->title(), c.title) << c.what;
        }
    }
}

TEST(HotKeyComboTitle, EveryModifierSet) {
    const char* const titles[16] = {
        "F5",           "Ctrl+F5",           "Shift+F5",           "Ctrl+Shift+F5",
        "Alt+F5",       "Ctrl+Alt+F5",       "Alt+Shift+F5",       "Ctrl+Alt+Shift+F5",
        "Super+F5",     "Ctrl+Super+F5",     "Shift+Super+F5",     "Ctrl+Shift+Super+F5",
        "Alt+Super+F5", "Ctrl+Alt+Super+F5", "Alt+Shift+Super+F5", "Ctrl+Alt+Shift+Super+F5",
    };
    for (std::uint32_t set = 0; set < 16; ++set) {
        std::uint32_t mask = 0;
        if (set & 1) mask |= 256;
        if (set & 2) mask |= 512;
        if (set & 4) mask |= 2048;
        if (set & 8) mask |= 4096;
        EXPECT_EQ((HotKeyCombo{96, mask, "F5"}.title()), titles[set]) << "mask " << mask;
    }
    EXPECT_EQ((HotKeyCombo{49, 2048, "Space"}.title()), "Alt+Space");
    EXPECT_EQ((HotKeyCombo{96, 6912, "F5"}.title()), "Ctrl+Alt+Shift+Super+F5");
    EXPECT_EQ((HotKeyCombo{0, 256 | 1024, "A"}.title()), "Ctrl+A") << "caps lock is not shown";
}

}  // namespace
}  // namespace quorvanta::app
