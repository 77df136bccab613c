#include "QuorvantaApp/HotKey/HotKey.h"

#include "QuorvantaApp/HotKey/KeyGrab.h"
#include "QuorvantaApp/HotKey/X11Keyboard.h"
#include "QuorvantaApp/HotKey/X11Session.h"
#include "QuorvantaApp/HotKeyRecorder/HotKeyKeys.h"
#include "QuorvantaApp/HotKeyRecorder/HotKeyModifiers.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"

#include <QtCore/QAbstractNativeEventFilter>
#include <QtCore/QByteArray>
#include <QtCore/QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace quorvanta::app {

namespace {

using namespace hotkey;

// The grabs of the registered combination and what a key press must show to be it.
struct Registration {
    HotKeyCombo combo;
    std::vector<xcb_keycode_t> keycodes;
    std::uint16_t modifiers = 0;  // X11 mask, without Lock and NumLock
    std::uint16_t locks = 0;      // Lock and NumLock, ignored in key presses
    std::vector<KeyGrab> grabs;

    bool matches(const xcb_key_press_event_t& press) const {
        const bool onOurRoot =
            std::ranges::any_of(grabs, [&](const KeyGrab& grab) { return grab.root == press.event; });
        const std::uint16_t held = press.state & 0xff & ~locks;  // the eight modifiers; no buttons, no group
        return onOurRoot && held == modifiers && std::ranges::find(keycodes, press.detail) != keycodes.end();
    }
};

class KeyPressFilter final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
};

struct State {
    HotKey::Handler handler;
    std::unique_ptr<X11Keyboard> keyboard;
    std::uint8_t xkbFirstEvent = 0;  // the XKEYBOARD extension's event code; 0 without it
    std::optional<Registration> current;
    KeyPressFilter filter;
    bool filterInstalled = false;
};

State& state() {
    static State instance;
    return instance;
}

HotKeyResult registered() { return {HotKeyStatus::registered, {}}; }

HotKeyResult unsupported(std::string message) { return {HotKeyStatus::unsupported, std::move(message)}; }

HotKeyResult sessionRefusal(X11Unavailable why) {
    switch (why) {
        case X11Unavailable::waylandSession:
            return unsupported(
                core::tr("Global shortcuts are not available in a Wayland session. Start %@ again to open the search.",
                         core::AppInfo::name()));
        case X11Unavailable::noX11Display:
            return unsupported(core::tr("Global shortcuts need an X11 display."));
    }
    return unsupported({});
}

HotKeyResult keyboardRefusal() {
    return unsupported(core::tr("This keyboard cannot type this shortcut. Pick another one."));
}

// The event code of the XKEYBOARD extension's events, through which an XKB-aware connection such
// as Qt's learns of a new keyboard; 0 when the server lacks the extension.
std::uint8_t xkbFirstEvent(xcb_connection_t* connection) {
    constexpr std::string_view name = "XKEYBOARD";
    std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> reply(
        xcb_query_extension_reply(
            connection, xcb_query_extension(connection, static_cast<std::uint16_t>(name.size()), name.data()), nullptr),
        &std::free);
    return reply && reply->present ? reply->first_event : 0;
}

// The registration that would make combo the hot key on this keyboard, without its grabs made;
// none when no key of the keyboard types the combination's key or a modifier it needs is missing.
std::optional<Registration> planFor(const HotKeyCombo& combo, const X11Keyboard& keyboard) {
    const auto keysym = keysymForKeyCode(combo.keyCode);
    if (!keysym) return std::nullopt;
    auto keycodes = keyboard.keycodes(*keysym);
    const auto modifiers = x11MaskFromCarbon(combo.modifiers, keyboard.modifiers());
    if (keycodes.empty() || !modifiers) return std::nullopt;
    auto grabs = grabsFor(keyboard.connection(), keycodes, *modifiers, keyboard.numLock());
    return Registration{combo, std::move(keycodes), *modifiers, lockMasks(keyboard.numLock()), std::move(grabs)};
}

// After the server's keyboard changed: the combination's key may sit on other keycodes and Alt,
// Super or NumLock on other modifiers, so the grabs are made anew. When that fails (another
// client took the new keycodes first), the hot key is gone until the next registration.
void grabAgain() {
    auto& s = state();
    if (!s.keyboard) return;
    s.keyboard->refresh();
    if (!s.current) return;
    const auto combo = s.current->combo;
    releaseAll(s.keyboard->connection(), s.current->grabs);
    s.current.reset();
    auto plan = planFor(combo, *s.keyboard);
    if (plan && grabAll(s.keyboard->connection(), plan->grabs) == GrabResult::grabbed) s.current = std::move(plan);
}

bool isMappingChange(const xcb_generic_event_t& event, std::uint8_t xkbEvent) {
    const auto type = event.response_type & 0x7f;  // the top bit marks events sent by a client
    if (type == XCB_MAPPING_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
        return notify.request == XCB_MAPPING_KEYBOARD || notify.request == XCB_MAPPING_MODIFIER;
    }
    // An XKB-aware client gets no core MappingNotify for a new keyboard (a layout loaded with
    // setxkbmap), only XKB's own events; the second byte names the kind: 0 new keyboard, 1 map.
    constexpr std::uint8_t kNewKeyboardNotify = 0;
    constexpr std::uint8_t kMapNotify = 1;
    return xkbEvent != 0 && type == xkbEvent && (event.pad0 == kNewKeyboardNotify || event.pad0 == kMapNotify);
}

bool KeyPressFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto& event = *static_cast<const xcb_generic_event_t*>(message);
    auto& s = state();
    if ((event.response_type & 0x7f) == XCB_KEY_PRESS) {
        const auto& press = reinterpret_cast<const xcb_key_press_event_t&>(event);
        if (!s.current || !s.current->matches(press)) return false;
        // A copy: the handler may register again, which replaces the stored one.
        if (auto handler = s.handler) handler(press.time);
        return true;
    }
    // Qt follows the change too, so the event goes on to it.
    if (isMappingChange(event, s.xkbFirstEvent)) grabAgain();
    return false;
}

}  // namespace

HotKeyResult HotKey::registerCombo(const HotKeyCombo& combo, Handler handler) {
    auto& s = state();
    s.handler = std::move(handler);
    unregister();
    if (combo.problem()) return unsupported({});

    const auto session = x11Session();
    if (!session.connection) return sessionRefusal(*session.unavailable);
    if (!s.filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(&s.filter);
        s.filterInstalled = true;
    }
    if (!s.keyboard || s.keyboard->connection() != session.connection) {
        s.keyboard = std::make_unique<X11Keyboard>(session.connection);
        s.xkbFirstEvent = xkbFirstEvent(session.connection);
    }

    auto plan = planFor(combo, *s.keyboard);
    if (!plan) return keyboardRefusal();
    switch (grabAll(session.connection, plan->grabs)) {
        case GrabResult::grabbed:
            s.current = std::move(plan);
            return registered();
        case GrabResult::taken:
            return {HotKeyStatus::taken, {}};
        case GrabResult::failed:
            break;
    }
    return keyboardRefusal();
}

HotKeyResult HotKey::registerFromSettings(const platform::Settings& settings, Handler handler) {
    return registerCombo(HotKeyCombo::load(settings), std::move(handler));
}

void HotKey::unregister() {
    auto& s = state();
    if (!s.current) return;
    if (s.keyboard) releaseAll(s.keyboard->connection(), s.current->grabs);
    s.current.reset();
}

bool HotKey::isRegistered() { return state().current.has_value(); }

}  // namespace quorvanta::app
