// Bringing a window to the front in answer to the global hot key.
//
// A window manager with focus-stealing prevention lets a window take the focus only for a recent
// user action, and judges that by the X server time of the request. The hot key's key press went
// to the grab, not to one of the application's windows, so Qt's own activation carries an older
// time and the window manager only flashes the taskbar entry. This sends the EWMH activation
// request (_NET_ACTIVE_WINDOW) with the key press's time and source 2, which window managers
// treat as a request on the user's direct behalf.
//
// Threads: the main thread.
#pragma once

#include <cstdint>

namespace quorvanta::app {

// Asks the window manager to activate window (an X window id, QWidget::winId() of a shown
// top-level window) for a hot-key press at pressTime (HotKey::Handler's argument). False when
// there is no X11 session (x11Session) or the window is unknown to the server: the caller then
// activates the window through Qt alone.
bool requestActiveWindow(std::uint32_t window, std::uint32_t pressTime);

}  // namespace quorvanta::app
