#include "QuorvantaApp/shell/QtApplication.h"

#include "QuorvantaCore/util/AppInfo.h"

#include <QApplication>
#include <QString>

#include <clocale>
#include <cstdlib>

namespace quorvanta::app {

namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

bool given(const std::optional<std::string>& value) { return value && !value->empty(); }

}  // namespace

DisplayEnvironment DisplayEnvironment::ofProcess() {
    return {variable("QT_QPA_PLATFORM"), variable("DISPLAY"), variable("WAYLAND_DISPLAY")};
}

std::optional<std::string> missingDisplay(const DisplayEnvironment& environment) {
    if (given(environment.platform) || given(environment.display) || given(environment.waylandDisplay))
        return std::nullopt;
    return core::AppInfo::name() +
           ": no display to show windows on (neither DISPLAY nor WAYLAND_DISPLAY is set). Start it in a desktop "
           "session, or run quorvanta-headless, which serves the index without windows.";
}

void configureApplication() {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationDisplayName(QString::fromStdString(core::AppInfo::name()));
    QApplication::setDesktopFileName(QString::fromStdString(core::AppInfo::bundleID()));
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace quorvanta::app
