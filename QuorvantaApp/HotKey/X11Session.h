// The application's X11 connection, which the global hot key and window activation use, or the
// reason there is none.
//
// X11 is used only when Qt runs on its "xcb" platform with a live connection and the session is
// not a Wayland one. Under offscreen, Qt's X11 interface may exist with a null connection, so the
// pointer alone says nothing. Under Wayland (WAYLAND_DISPLAY set), an X11 client runs through
// XWayland, where a key grab fires only while one of its own windows has the focus: a global hot
// key cannot work there.
//
// Threads: x11Session reads the QGuiApplication and must run on the main thread. x11Unavailable is
// pure.
#pragma once

#include <xcb/xcb.h>

#include <optional>
#include <string_view>

namespace quorvanta::app::hotkey {

enum class X11Unavailable {
    waylandSession,  // the session's display server is Wayland
    noX11Display,    // no application, another Qt platform, or no connection
};

// Why X11 cannot be used, from Qt's platform name, whether Qt holds an X11 connection and whether
// WAYLAND_DISPLAY is set; none when it can.
std::optional<X11Unavailable> x11Unavailable(std::string_view platformName, bool hasConnection, bool waylandDisplaySet);

struct X11Session {
    xcb_connection_t* connection = nullptr;     // Qt's own; never closed here
    std::optional<X11Unavailable> unavailable;  // set exactly when connection is null
};

X11Session x11Session();

}  // namespace quorvanta::app::hotkey
