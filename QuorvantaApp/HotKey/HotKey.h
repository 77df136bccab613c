// HotKey: the global hot key that shows and hides the search panel from any application. It is
// one process-wide registration (the class is never instantiated): registering a combination
// replaces the previous one, and a combination another client holds is reported, not forced.
//
// On Linux the hot key is a passive key grab on the X server's root windows (KeyGrab.h), with key
// presses read by a native event filter on Qt's X11 connection. When the keyboard mapping
// changes (a layout switch, remapped keys), the grabs follow the combination's key to its new
// keycodes. In a Wayland session, under offscreen and without an X11 display the answer is
// unsupported: the tray icon, the menus and a second start still reach the panel.
//
// The launch registers the stored combination (AppDelegate::registerHotKey), the settings window
// does so again whenever the user changes it, and the recorder unregisters while it records.
//
// Threads: the main thread only (the Qt application's thread); the handler runs there too.
// Errors: registration answers with a status and the user's text; it never throws.
#pragma once

#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quorvanta::platform {
class Settings;
}

namespace quorvanta::app {

enum class HotKeyStatus {
    registered,   // the combination is the hot key now
    taken,        // another application holds it
    unsupported,  // it cannot be a global hot key here: the session, the keyboard or the combination
};

struct HotKeyResult {
    HotKeyStatus status;
    // Why the hot key cannot work here, translated, when the session or the keyboard is the cause.
    // Empty otherwise: registered, taken, and a combination refused for its problem(), which the
    // settings window words itself, as it does taken.
    std::string message;
};

class HotKey {
public:
    HotKey() = delete;

    // Runs on each press of the hot key with the press's X server time, which a window shown in
    // answer passes on with its activation request (requestActiveWindow, ActiveWindow.h).
    using Handler = std::function<void(std::uint32_t pressTime)>;

    // Makes combo the hot key. In this order: keeps handler in place of the previous one (released
    // here, even when this registration fails); releases the previous grab, so a registration that
    // fails leaves no hot key; refuses a combination with a problem (no Ctrl, Alt or Super, or
    // reserved); installs the key-press filter once per process; grabs.
    static HotKeyResult registerCombo(const HotKeyCombo& combo, Handler handler);

    // registerCombo with the combination stored in settings (HotKeyCombo::load).
    static HotKeyResult registerFromSettings(const platform::Settings& settings, Handler handler);

    // Releases the grab; the handler stays for the next registration. Nothing when none is held.
    static void unregister();

    static bool isRegistered();
};

}  // namespace quorvanta::app
