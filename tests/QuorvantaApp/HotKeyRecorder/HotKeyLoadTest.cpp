// HotKeyCombo's stored form: what load makes of every shape of stored values, and save.
#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"
#include "platform/settings/Settings.h"
#include "tests/QuorvantaApp/HotKeyRecorder/ComboPrinter.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace quorvanta::app {
namespace {

using platform::MemorySettings;
using platform::SettingValue;

struct Stored {
    std::string_view key;
    SettingValue value;
};

void store(platform::Settings& settings, const Stored& stored) {
    std::visit(
        [&](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, bool>) settings.setBoolean(stored.key, value);
            if constexpr (std::is_same_v<T, std::int64_t>) settings.setInteger(stored.key, value);
            if constexpr (std::is_same_v<T, double>) settings.setReal(stored.key, value);
            if constexpr (std::is_same_v<T, std::string>) settings.setText(stored.key, value);
            if constexpr (std::is_same_v<T, std::vector<std::string>>) settings.setTextList(stored.key, value);
        },
        stored.value);
}

const HotKeyCombo kCtrlShiftSpace{49, 768, "Space"};
const HotKeyCombo kPreset3{3, 2304, "F"};
constexpr std::int64_t kBeyond32 = 4294967296;

TEST(HotKeyLoad, DefaultIsCtrlShiftSpace) {
    EXPECT_EQ(HotKeyCombo::defaultCombo(), kCtrlShiftSpace);
    EXPECT_EQ(HotKeyCombo::defaultCombo().title(), "Ctrl+Shift+Space");
}

TEST(HotKeyLoad, TableOfStoredValues) {
    using S = std::string;
    struct Case {
        const char* what;
        std::vector<Stored> stored;
        HotKeyCombo expected;
    };
    const Case cases[] = {
        {"nothing stored", {}, kCtrlShiftSpace},
        {"preset 0, chosen by the user", {{"hotkeyPreset", std::int64_t{0}}}, {49, 2048, "Space"}},
        {"preset 1", {{"hotkeyPreset", std::int64_t{1}}}, kCtrlShiftSpace},
        {"preset 2", {{"hotkeyPreset", std::int64_t{2}}}, {49, 4096, "Space"}},
        {"preset 3", {{"hotkeyPreset", std::int64_t{3}}}, kPreset3},
        {"preset 7", {{"hotkeyPreset", std::int64_t{7}}}, kCtrlShiftSpace},
        {"preset -1", {{"hotkeyPreset", std::int64_t{-1}}}, kCtrlShiftSpace},
        {"preset stored as text", {{"hotkeyPreset", S("3")}}, kCtrlShiftSpace},
        {"a whole combination",
         {{"hotkeyCode", std::int64_t{0}}, {"hotkeyMods", std::int64_t{2304}}, {"hotkeyKey", S("A")}},
         {0, 2304, "A"}},
        {"a combination wins over a preset",
         {{"hotkeyCode", std::int64_t{96}},
          {"hotkeyMods", std::int64_t{4096}},
          {"hotkeyKey", S("F5")},
          {"hotkeyPreset", std::int64_t{3}}},
         {96, 4096, "F5"}},
        {"the largest 32-bit code",
         {{"hotkeyCode", std::int64_t{4294967295}}, {"hotkeyMods", std::int64_t{256}}, {"hotkeyKey", S("X")}},
         {4294967295u, 256, "X"}},
        {"code without key name: the preset",
         {{"hotkeyCode", std::int64_t{0}}, {"hotkeyMods", std::int64_t{256}}, {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"code without key name and no preset",
         {{"hotkeyCode", std::int64_t{0}}, {"hotkeyMods", std::int64_t{2304}}},
         kCtrlShiftSpace},
        {"key name without code: the preset",
         {{"hotkeyKey", S("A")}, {"hotkeyMods", std::int64_t{2304}}, {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"key name stored as a number",
         {{"hotkeyCode", std::int64_t{0}},
          {"hotkeyMods", std::int64_t{2304}},
          {"hotkeyKey", std::int64_t{1}},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"code stored as text",
         {{"hotkeyCode", S("0")},
          {"hotkeyMods", std::int64_t{2304}},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"negative code",
         {{"hotkeyCode", std::int64_t{-1}},
          {"hotkeyMods", std::int64_t{2304}},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"code beyond 32 bits",
         {{"hotkeyCode", kBeyond32},
          {"hotkeyMods", std::int64_t{2304}},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"code beyond 64 bits",
         {{"hotkeyCode", 1e20},
          {"hotkeyMods", std::int64_t{2304}},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"fractional code",
         {{"hotkeyCode", 0.5},
          {"hotkeyMods", std::int64_t{2304}},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"negative mask",
         {{"hotkeyCode", std::int64_t{0}},
          {"hotkeyMods", std::int64_t{-256}},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        // Cut to 32 bits it would read as Ctrl+Alt+A.
        {"mask beyond 32 bits",
         {{"hotkeyCode", std::int64_t{0}},
          {"hotkeyMods", kBeyond32 + 2304},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        {"fractional mask",
         {{"hotkeyCode", std::int64_t{0}},
          {"hotkeyMods", 2304.5},
          {"hotkeyKey", S("A")},
          {"hotkeyPreset", std::int64_t{3}}},
         kPreset3},
        // Stored values with a problem give the default, never a preset.
        {"no mask stored: a plain key",
         {{"hotkeyCode", std::int64_t{0}}, {"hotkeyKey", S("A")}, {"hotkeyPreset", std::int64_t{3}}},
         kCtrlShiftSpace},
        {"Shift is not enough",
         {{"hotkeyCode", std::int64_t{0}}, {"hotkeyMods", std::int64_t{512}}, {"hotkeyKey", S("A")}},
         kCtrlShiftSpace},
        {"Lock bits are not modifiers",
         {{"hotkeyCode", std::int64_t{0}}, {"hotkeyMods", std::int64_t{1024}}, {"hotkeyKey", S("A")}},
         kCtrlShiftSpace},
        {"reserved Ctrl+Q",
         {{"hotkeyCode", std::int64_t{12}},
          {"hotkeyMods", std::int64_t{256}},
          {"hotkeyKey", S("Q")},
          {"hotkeyPreset", std::int64_t{3}}},
         kCtrlShiftSpace},
    };
    for (const auto& c : cases) {
        MemorySettings settings;
        for (const auto& stored : c.stored) store(settings, stored);
        EXPECT_EQ(HotKeyCombo::load(settings), c.expected) << c.what;
    }
}

TEST(HotKeyLoad, SaveThenLoadKeepsTheOldPresetAndIgnoresIt) {
    MemorySettings settings;
    settings.setInteger("hotkeyPreset", 3);
    const HotKeyCombo saved{96, 4096, "F5"};
    saved.save(settings);

    EXPECT_EQ(HotKeyCombo::load(settings), saved);
    EXPECT_EQ(settings.integer("hotkeyCode"), 96);
    EXPECT_EQ(settings.integer("hotkeyMods"), 4096);
    EXPECT_EQ(settings.text("hotkeyKey"), "F5");
    EXPECT_EQ(settings.integer("hotkeyPreset"), 3);
}

TEST(HotKeyLoad, SaveReplacesAnEarlierCombinationAndKeepsLargeValues) {
    MemorySettings settings;
    HotKeyCombo{0, 2304, "A"}.save(settings);
    const HotKeyCombo later{4294967295u, 4294967295u, "↩"};
    later.save(settings);

    EXPECT_EQ(settings.integer("hotkeyCode"), 4294967295);
    EXPECT_EQ(settings.integer("hotkeyMods"), 4294967295);
    EXPECT_EQ(settings.text("hotkeyKey"), "↩");
    EXPECT_EQ(HotKeyCombo::load(settings), later);
}

}  // namespace
}  // namespace quorvanta::app
