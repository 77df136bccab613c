// A second X client in the test: it competes for key grabs with the application, remaps keys, and
// plays the window manager that receives activation requests.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvanta::test {

// A combination's modifiers alone and with Lock, NumLock (Mod2 on Xvfb) and both.
inline constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                  XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

class OtherClient {
public:
    // Connects to DISPLAY; throws std::runtime_error when it cannot.
    OtherClient();
    ~OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    xcb_window_t root() const { return root_; }
    // The first keycode that types keysym, or 0.
    xcb_keycode_t keycode(xcb_keysym_t keysym);

    // Grabs keysym's key on the root with exactly these X11 modifiers: true when granted, false
    // when another client holds it.
    bool grab(xcb_keysym_t keysym, std::uint16_t modifiers);
    bool grabKeycode(xcb_keycode_t keycode, std::uint16_t modifiers);
    // Whether every lock variant of the combination could be grabbed; releases
    // what it got, so the test leaves the server as it found it.
    bool canGrabEveryVariant(xcb_keysym_t keysym, std::uint16_t modifiers);
    void ungrabAll();

    // Gives keycode one keysym (none: NoSymbol) in every column; the server tells every client.
    void remap(xcb_keycode_t keycode, xcb_keysym_t keysym);
    // The keysyms of keycode, to put back with restore.
    std::vector<xcb_keysym_t> keysymsOf(xcb_keycode_t keycode);
    void restore(xcb_keycode_t keycode, const std::vector<xcb_keysym_t>& keysyms);

    // The server's modifier map: for each of the eight modifiers (Shift, Lock, Control, Mod1-Mod5)
    // its keycodes, as many per modifier as the server keeps, 0 for an empty slot.
    std::vector<std::vector<xcb_keycode_t>> modifierMap();
    // Sets it; the server tells every client. False when the server refused it.
    bool setModifierMap(const std::vector<std::vector<xcb_keycode_t>>& map);

    // Selects substructure redirection on the root, as a window manager does.
    void becomeWindowManager();
    // Selects substructure notification on the root only: the client messages sent to a window
    // manager (activation requests) arrive, and windows are still mapped without one.
    void watchRoot();
    // The next client message of that type sent to the root, or none within the limit.
    std::optional<xcb_client_message_event_t> nextClientMessage(xcb_atom_t type, std::chrono::milliseconds limit);

    xcb_atom_t atom(const char* name);

    // The viewable top-level windows (without a window manager: the root's children) whose
    // _NET_WM_PID is pid.
    std::vector<xcb_window_t> viewableWindowsOf(pid_t pid);
    // The window that has the keyboard focus.
    xcb_window_t inputFocus();

private:
    void sync();

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
    xcb_key_symbols_t* symbols_ = nullptr;
    struct Held {
        xcb_keycode_t keycode;
        std::uint16_t modifiers;
    };
    std::vector<Held> held_;
};

}  // namespace quorvanta::test
