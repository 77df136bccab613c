#include "QuorvantaApp/HotKey/X11Keyboard.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace quorvanta::app::hotkey {

namespace {

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// The mask of the first of the eight modifiers (Shift, Lock, Control, Mod1-Mod5) that one of the
// keycodes is assigned to, or 0.
std::uint16_t modifierOf(const xcb_get_modifier_mapping_reply_t& map, const std::vector<xcb_keycode_t>& keycodes) {
    const auto* assigned = xcb_get_modifier_mapping_keycodes(&map);
    const int perModifier = map.keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int slot = 0; slot < perModifier; ++slot) {
            const auto keycode = assigned[modifier * perModifier + slot];
            if (keycode != 0 && std::ranges::find(keycodes, keycode) != keycodes.end())
                return static_cast<std::uint16_t>(1u << modifier);
        }
    }
    return 0;
}

}  // namespace

X11Keyboard::X11Keyboard(xcb_connection_t* connection) : connection_(connection) { refresh(); }

X11Keyboard::~X11Keyboard() {
    if (symbols_) xcb_key_symbols_free(symbols_);
}

void X11Keyboard::refresh() {
    // The table fetches the mapping lazily, on its first lookup; a new one forgets the old mapping.
    if (symbols_) xcb_key_symbols_free(symbols_);
    symbols_ = xcb_key_symbols_alloc(connection_);
    readModifierMap();
}

std::vector<xcb_keycode_t> X11Keyboard::keycodes(xcb_keysym_t keysym) const {
    std::vector<xcb_keycode_t> found;
    if (!symbols_) return found;
    std::unique_ptr<xcb_keycode_t, decltype(&std::free)> list(xcb_key_symbols_get_keycode(symbols_, keysym),
                                                              &std::free);
    if (!list) return found;
    for (const auto* keycode = list.get(); *keycode != XCB_NO_SYMBOL; ++keycode) {
        if (std::ranges::find(found, *keycode) == found.end()) found.push_back(*keycode);
    }
    return found;
}

void X11Keyboard::readModifierMap() {
    modifiers_ = {0, 0};
    numLock_ = 0;
    ReplyPtr<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr), &std::free);
    if (!map) return;
    modifiers_.alt = modifierOf(*map, keycodes(XK_Alt_L));
    modifiers_.super = modifierOf(*map, keycodes(XK_Super_L));
    numLock_ = modifierOf(*map, keycodes(XK_Num_Lock));
}

}  // namespace quorvanta::app::hotkey
