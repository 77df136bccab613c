#include "QuorvantaApp/HotKey/X11Session.h"

#include <QtGui/qguiapplication_platform.h>
#include <QtGui/QGuiApplication>

namespace quorvanta::app::hotkey {

std::optional<X11Unavailable> x11Unavailable(std::string_view platformName, bool hasConnection,
                                             bool waylandDisplaySet) {
    if (waylandDisplaySet) return X11Unavailable::waylandSession;
    if (platformName != "xcb" || !hasConnection) return X11Unavailable::noX11Display;
    return std::nullopt;
}

X11Session x11Session() {
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    auto* application = qGuiApp;
    if (!application) return {nullptr, x11Unavailable("", false, wayland)};
    const auto platform = QGuiApplication::platformName().toStdString();
    xcb_connection_t* connection = nullptr;
    if (platform == "xcb") {
        if (auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>())
            connection = x11->connection();
    }
    if (connection && xcb_connection_has_error(connection)) connection = nullptr;
    if (const auto why = x11Unavailable(platform, connection != nullptr, wayland)) return {nullptr, why};
    return {connection, std::nullopt};
}

}  // namespace quorvanta::app::hotkey
