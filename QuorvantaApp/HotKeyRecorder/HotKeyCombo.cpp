#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"

#include "QuorvantaApp/HotKeyRecorder/HotKeyKeys.h"
#include "QuorvantaApp/HotKeyRecorder/HotKeyModifiers.h"

#include <algorithm>
#include <array>

namespace quorvanta::app {

namespace {

using namespace hotkey;

// Shortcuts of the desktop and of every application's standard menus: as a global hot key each
// would be taken from all applications.
constexpr std::array<HotKeyCombo::ReservedPair, 16> kReserved{{
    {49, kCommand},             // Ctrl+Space
    {49, kOption | kCommand},   // Ctrl+Alt+Space
    {48, kCommand},             // Ctrl+Tab
    {12, kCommand},             // Ctrl+Q
    {13, kCommand},             // Ctrl+W
    {4, kCommand},              // Ctrl+H
    {46, kCommand},             // Ctrl+M
    {43, kCommand},             // Ctrl+,
    {8, kCommand},              // Ctrl+C
    {9, kCommand},              // Ctrl+V
    {7, kCommand},              // Ctrl+X
    {0, kCommand},              // Ctrl+A
    {6, kCommand},              // Ctrl+Z
    {12, kControl | kCommand},  // Ctrl+Super+Q
    {50, kCommand},             // Ctrl+`
    {53, kOption | kCommand},   // Ctrl+Alt+Escape
}};

// The key's name: its fixed name, else the character of the Qt key reported. Qt's key for a
// letter is the upper-case letter, and for a shifted symbol the symbol ("!" for Shift+1). Keys
// whose text would be a control character (Escape, Backspace, Delete, keypad Enter) have neither.
std::string keyName(const HotKeyKey& key, int qtKey) {
    if (!key.name.empty()) return std::string(key.name);
    if (qtKey > 0x20 && qtKey < 0x7f) return std::string(1, static_cast<char>(qtKey));
    return {};
}

}  // namespace

HotKeyCombo HotKeyCombo::defaultCombo() { return {49, kShift | kCommand, "Space"}; }

std::span<const HotKeyCombo::ReservedPair> HotKeyCombo::reserved() { return kReserved; }

std::optional<HotKeyCombo::Problem> HotKeyCombo::problem() const {
    if ((modifiers & kNonShiftModifiers) == 0) return Problem::needsModifier;
    const bool isReserved = std::ranges::any_of(
        kReserved, [this](const ReservedPair& pair) { return pair.keyCode == keyCode && pair.modifiers == modifiers; });
    if (isReserved) return Problem::reserved;
    return std::nullopt;
}

std::string HotKeyCombo::title() const {
    std::string text;
    for (const auto& modifier : kModifierKeys) {
        if (!(modifiers & modifier.carbon)) continue;
        text += modifier.label;
        text += '+';
    }
    return text + key;
}

std::optional<HotKeyCombo> HotKeyCombo::fromKeyPress(int qtKey, Qt::KeyboardModifiers qtModifiers) {
    const auto* row = keyWithQtKey(qtKey);
    if (!row) return std::nullopt;
    auto name = keyName(*row, qtKey);
    if (name.empty()) return std::nullopt;
    return HotKeyCombo{row->keyCode, carbonMaskFromQt(qtModifiers), std::move(name)};
}

}  // namespace quorvanta::app
