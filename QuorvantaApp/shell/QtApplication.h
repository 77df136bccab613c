// The Qt application object as the desktop application wants it, and whether Qt can show windows
// here at all.
//
// configureApplication(), right after the QApplication is made: the Fusion style, the application
// stays when its last window closes (it lives in the menu bar), its display name and desktop id,
// and LC_NUMERIC back to "C". QCoreApplication sets every locale category from the environment;
// the C library's number texts in the core (snprintf, std::to_string of a double) must read as in
// the tool and the tests. Numbers the user reads are formatted through ICU anyway.
//
// Threads: main thread, before any window exists.
#pragma once

#include <optional>
#include <string>

namespace quorvanta::app {

// The variables Qt chooses its display connection by.
struct DisplayEnvironment {
    std::optional<std::string> platform;        // QT_QPA_PLATFORM
    std::optional<std::string> display;         // DISPLAY
    std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY

    static DisplayEnvironment ofProcess();
};

// Why the application cannot start its windows: no platform was named and there is neither an X
// nor a Wayland display to connect to (Qt would abort); an empty variable counts as unset. None
// when Qt may try. An explicitly named platform is left to Qt.
std::optional<std::string> missingDisplay(const DisplayEnvironment& environment);

void configureApplication();

}  // namespace quorvanta::app
