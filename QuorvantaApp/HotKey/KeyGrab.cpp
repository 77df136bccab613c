#include "QuorvantaApp/HotKey/KeyGrab.h"

#include <cstdlib>
#include <memory>

namespace quorvanta::app::hotkey {

std::uint16_t lockMasks(std::uint16_t numLock) { return XCB_MOD_MASK_LOCK | numLock; }

std::vector<KeyGrab> grabsFor(xcb_connection_t* connection, std::span<const xcb_keycode_t> keycodes,
                              std::uint16_t modifiers, std::uint16_t numLock) {
    std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (numLock != 0 && numLock != XCB_MOD_MASK_LOCK) {
        variants.push_back(numLock);
        variants.push_back(XCB_MOD_MASK_LOCK | numLock);
    }
    std::vector<KeyGrab> grabs;
    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem; xcb_screen_next(&roots)) {
        for (const auto keycode : keycodes) {
            for (const auto variant : variants)
                grabs.push_back({roots.data->root, keycode, static_cast<std::uint16_t>(modifiers | variant)});
        }
    }
    return grabs;
}

GrabResult grabAll(xcb_connection_t* connection, std::span<const KeyGrab> grabs) {
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(grabs.size());
    for (const auto& grab : grabs) {
        cookies.push_back(xcb_grab_key_checked(connection, 0, grab.root, grab.modifiers, grab.keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    auto result = GrabResult::grabbed;
    for (const auto cookie : cookies) {
        std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(xcb_request_check(connection, cookie),
                                                                         &std::free);
        if (!error) continue;
        if (error->error_code == XCB_ACCESS)
            result = GrabResult::taken;
        else if (result == GrabResult::grabbed)
            result = GrabResult::failed;
    }
    if (result != GrabResult::grabbed) releaseAll(connection, grabs);
    return result;
}

void releaseAll(xcb_connection_t* connection, std::span<const KeyGrab> grabs) {
    for (const auto& grab : grabs) xcb_ungrab_key(connection, grab.keycode, grab.root, grab.modifiers);
    // A round trip: the server reads each client's requests on its own schedule, so a flush alone
    // would let another client that asks for the keys right after this find them still held.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

}  // namespace quorvanta::app::hotkey
