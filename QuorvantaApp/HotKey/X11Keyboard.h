// What the X server's keyboard says about keys and modifiers: the keycodes that type a keysym,
// and which of the eight modifiers hold Alt, Super and NumLock. Both are the server's choice and
// change when the user switches the keyboard layout or remaps keys; refresh() reads them again.
//
// Threads: one thread at a time (the main thread). Errors: a connection that fails gives no
// keycodes and no modifiers, so nothing can be grabbed with it.
#pragma once

#include "QuorvantaApp/HotKeyRecorder/HotKeyModifiers.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <vector>

namespace quorvanta::app::hotkey {

class X11Keyboard {
public:
    // Does not take ownership of the connection, which must outlive this object.
    explicit X11Keyboard(xcb_connection_t* connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    xcb_connection_t* connection() const { return connection_; }

    // Reads the keyboard mapping and the modifier map from the server again.
    void refresh();

    // Every keycode that types the keysym, in any shift level; empty when none does.
    std::vector<xcb_keycode_t> keycodes(xcb_keysym_t keysym) const;
    // The modifiers that hold Alt_L and Super_L (0 for one the server does not have).
    X11ModifierMasks modifiers() const { return modifiers_; }
    // The modifier that holds Num_Lock, or 0.
    std::uint16_t numLock() const { return numLock_; }

private:
    void readModifierMap();

    xcb_connection_t* connection_;
    xcb_key_symbols_t* symbols_ = nullptr;
    X11ModifierMasks modifiers_{0, 0};
    std::uint16_t numLock_ = 0;
};

}  // namespace quorvanta::app::hotkey
