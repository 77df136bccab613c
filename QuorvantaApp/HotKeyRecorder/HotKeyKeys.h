// The keys a hot key can use, in one table that serves both directions: a key press in the
// recorder (Qt key) gives the stored key code, and a stored key code gives the X keysym that the
// global grab turns into the server's keycode.
//
// Key codes are the other system's virtual key codes, by their positions on the ANSI (US)
// keyboard: letters, digits, punctuation, Return, Tab, Space, Backspace, Escape, keypad Enter,
// forward Delete, F1-F12, Home, End, Page Up, Page Down and the arrows. Keys are matched by the
// symbol Qt reports, never by scan code (offscreen key events carry none), so on another layout a
// letter maps to the code of that letter's US position. A key outside the table has no code and
// cannot be grabbed.
//
// Immutable data; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quorvanta::app::hotkey {

struct HotKeyKey {
    std::uint32_t keyCode;  // virtual key code, the stored form
    int qtKey;              // Qt::Key of the key pressed alone
    int shiftedQtKey;       // Qt::Key of the key with Shift on a US layout when it differs, else 0
    std::uint32_t keysym;   // X keysym of the key pressed alone (letters lower-case)
    // The name a combination shows for this key. Empty: the character of the Qt key Qt reported
    // (upper-case already for letters); a key with neither has no name and makes no combination.
    std::string_view name;
};

std::span<const HotKeyKey> hotKeyKeys();

// The row with this key code, or null.
const HotKeyKey* keyWithCode(std::uint32_t keyCode);
// The row whose Qt key or shifted Qt key is qtKey, or null.
const HotKeyKey* keyWithQtKey(int qtKey);
// The X keysym to grab for a stored key code, or none when the code is not in the table.
std::optional<std::uint32_t> keysymForKeyCode(std::uint32_t keyCode);

}  // namespace quorvanta::app::hotkey
