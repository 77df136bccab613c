// Passive key grabs on the root windows: the X11 form of a global hot key. One combination is
// several grabs: each keycode that types its key, on each root window, with and without Lock and
// NumLock, since the server matches a grab's modifiers exactly and a lit Caps Lock or Num Lock
// would otherwise turn the hot key off.
//
// Grabbing is all or none: when the server refuses one grab (BadAccess: another client holds the
// same key and modifiers), the grabs already made are released again.
//
// Threads: one thread at a time per connection (the main thread).
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <span>
#include <vector>

namespace quorvanta::app::hotkey {

struct KeyGrab {
    xcb_window_t root;
    xcb_keycode_t keycode;
    std::uint16_t modifiers;  // X11 mask, Lock and NumLock included where the variant has them

    bool operator==(const KeyGrab&) const = default;
};

// The Lock and NumLock masks the hot key must not depend on.
std::uint16_t lockMasks(std::uint16_t numLock);

// The grabs for keycodes with the modifier mask: each root window of the connection, each keycode,
// the mask alone and with Lock, NumLock (when the server has it) and both.
std::vector<KeyGrab> grabsFor(xcb_connection_t* connection, std::span<const xcb_keycode_t> keycodes,
                              std::uint16_t modifiers, std::uint16_t numLock);

enum class GrabResult {
    grabbed,  // every grab is held
    taken,    // another client holds one of them; none is held
    failed,   // the server refused one for another reason; none is held
};

// Asks for every grab, then waits for the server's answers (one round trip).
GrabResult grabAll(xcb_connection_t* connection, std::span<const KeyGrab> grabs);

// Releases the grabs and waits until the server has released them; a grab this connection does
// not hold is left alone by the server.
void releaseAll(xcb_connection_t* connection, std::span<const KeyGrab> grabs);

}  // namespace quorvanta::app::hotkey
