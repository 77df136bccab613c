// The desktop's colour scheme read from the desktop portal on a D-Bus connection (the session bus
// in the application): org.freedesktop.portal.Settings, namespace "org.freedesktop.appearance",
// key "color-scheme", read once per read() and followed through the SettingChanged signal.
//
// Errors: no bus, no portal, a portal without the setting or a value that is not a whole number
// all read as none; a read waits at most kReadTimeoutMs, so a hung portal cannot stall the start.
//
// Threads: main thread only (the watch receiver runs from the Qt event loop).
#pragma once

#include "QuorvantaApp/Theme/ColourSchemeSource.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QString>

namespace quorvanta::app {

class PortalColourScheme final : public QObject, public ColourSchemeSource {
    Q_OBJECT

public:
    static constexpr int kReadTimeoutMs = 1000;

    explicit PortalColourScheme(QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalColourScheme() override;

    std::optional<std::uint32_t> read() override;
    void watch(std::function<void(std::uint32_t)> changed) override;

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QDBusConnection bus_;
    bool connected_ = false;
    std::function<void(std::uint32_t)> changed_;
};

}  // namespace quorvanta::app
