#include "QuorvantaApp/shell/DesktopServices.h"

#include "platform/process/ChildProgram.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>

#include <unistd.h>

#include <algorithm>

namespace quorvanta::app {

std::string fileURI(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + path.size() * 3);
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool keep = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                          byte == '~' || byte == '/';
        if (keep) {
            uri.push_back(c);
        } else {
            uri.push_back('%');
            uri.push_back(kHex[byte >> 4]);
            uri.push_back(kHex[byte & 0xF]);
        }
    }
    return uri;
}

std::string parentFolder(std::string_view path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos || slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::optional<std::string> xdgOpenPath() {
    for (const char* place : {"/usr/local/bin/xdg-open", "/usr/bin/xdg-open"})
        if (access(place, X_OK) == 0) return std::string(place);
    return std::nullopt;
}

bool XdgDesktopServices::openUrl(const std::string& url) {
    if (!opener_ || url.empty() || url.front() == '-') return false;
    return platform::startDetachedProgram(*opener_, *opener_, {url}).started();
}

bool XdgDesktopServices::fileManagerReachable(const QDBusConnection& bus) const {
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString service = QString::fromLatin1(kFileManagerService);
    const auto registered = bus.interface()->isServiceRegistered(service);
    if (registered.isValid() && registered.value()) return true;
    const auto activatable = bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(service);
}

bool XdgDesktopServices::reveal(const std::vector<std::string>& paths) {
    if (paths.empty()) return false;
    const QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    if (fileManagerReachable(bus)) {
        QStringList uris;
        for (const auto& path : paths) uris.push_back(QString::fromStdString(fileURI(path)));
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kFileManagerService),
                                                           QString::fromLatin1(kFileManagerPath),
                                                           QString::fromLatin1(kFileManagerService),
                                                           QStringLiteral("ShowItems"));
        call << uris << QString();
        // The answer is not awaited: a file manager that starts slowly must not hold the table.
        if (bus.send(call)) return true;
    }
    std::vector<std::string> folders;
    bool started = false;
    for (const auto& path : paths) {
        std::string folder = parentFolder(path);
        if (std::ranges::find(folders, folder) != folders.end()) continue;
        started = openUrl(fileURI(folder)) || started;
        folders.push_back(std::move(folder));
    }
    return started;
}

}  // namespace quorvanta::app
