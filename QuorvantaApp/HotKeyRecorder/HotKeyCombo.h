// HotKeyCombo: the global hot key that shows and hides the search panel, as it is stored: the
// other system's virtual key code (HotKeyKeys.h), a Carbon modifier mask (HotKeyModifiers.h) and
// the name the key is shown with. It also holds the rules that refuse a combination (problem)
// and reads and writes itself in the settings store.
//
// The default is Ctrl+Shift+Space, stored as (49, 768, "Space"): Alt+Space opens the window menu on
// most Linux desktops, Super+Space switches the input source in GNOME, and Ctrl+Space toggles
// input methods on many CJK setups.
//
// Threads: a plain value. load and save may run on any thread (the store locks itself).
// Errors: none. load falls back on the legacy preset or the default for anything unusable.
#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvanta::platform {
class Settings;
}

namespace quorvanta::app {

struct HotKeyCombo {
    std::uint32_t keyCode = 0;    // virtual key code (49 is Space)
    std::uint32_t modifiers = 0;  // Carbon mask: command 256, shift 512, option 2048, control 4096
    std::string key;              // the key's display name: "Space", "F", "F5", "↩" ...

    bool operator==(const HotKeyCombo&) const = default;

    // Why a combination is refused as the hot key.
    enum class Problem {
        needsModifier,  // none of Ctrl, Alt, Super: it would take a plain key from every application
        reserved,       // one of the reserved pairs: the desktop or the standard menus use it
    };

    struct ReservedPair {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
    };

    // Ctrl+Shift+Space.
    static HotKeyCombo defaultCombo();

    // The stored combination: "hotkeyCode", "hotkeyMods" (0 when absent) and "hotkeyKey" when the
    // code and the name are stored and both numbers are unsigned 32-bit values; otherwise the legacy
    // preset under "hotkeyPreset" (0 Alt+Space, 1 Ctrl+Shift+Space, 2 Super+Space, 3 Ctrl+Alt+F);
    // with no preset or another number, the default. A stored combination with a problem also
    // gives the default, so a hand-edited value never grabs a plain key or a reserved one.
    static HotKeyCombo load(const platform::Settings& settings);
    // Writes "hotkeyCode", "hotkeyMods" and "hotkeyKey"; leaves "hotkeyPreset" as it is.
    void save(platform::Settings& settings) const;

    // The 16 pairs (key code, mask) that are refused, in a fixed order.
    static std::span<const ReservedPair> reserved();
    // needsModifier when the mask holds none of Ctrl, Alt, Super (checked first); reserved when
    // (keyCode, modifiers) equals a reserved pair, the mask compared whole; else none.
    std::optional<Problem> problem() const;

    // The text the recorder shows: "Ctrl", "Alt", "Shift", "Super" for the modifiers held, in that
    // order, then the key name, joined by "+" ("Ctrl+Shift+Space"; "F5" alone without modifiers).
    std::string title() const;

    // The combination a key press describes (QKeyEvent::key() and modifiers()), or none: for a key
    // outside the key table, a lone modifier key, or a key without a name (Escape, Backspace,
    // Delete, keypad Enter). Modifiers other than Ctrl, Alt, Shift and Meta are ignored.
    static std::optional<HotKeyCombo> fromKeyPress(int qtKey, Qt::KeyboardModifiers qtModifiers);
};

}  // namespace quorvanta::app
