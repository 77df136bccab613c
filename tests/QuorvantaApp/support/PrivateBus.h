// A D-Bus session bus of the test's own (dbus-daemon in a temporary folder): no service
// activation, anyone may own any name. Tests that need it skip when dbus-daemon is not installed.
#pragma once

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <QDBusConnection>
#include <QFile>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app::test {

class PrivateBus {
public:
    static constexpr const char* kDaemon = "/usr/bin/dbus-daemon";

    static bool available() { return QFile::exists(QString::fromLatin1(kDaemon)); }

    PrivateBus() {
        const auto config = dir_.write("bus.conf", R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)" + dir_.path().string() + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
        daemon_ = std::make_unique<quorvanta::test::RunningProgram>(
            kDaemon, std::vector<std::string>{"--config-file=" + config.string(), "--nofork", "--print-address=1"});
        if (const auto line = daemon_->readLine()) address_ = QString::fromStdString(*line);
    }

    const QString& address() const { return address_; }

    // A new connection to the bus under `name` (Qt's name for the connection, not a bus name).
    QDBusConnection connect(const QString& name) {
        names_.push_back(name);
        return QDBusConnection::connectToBus(address_, name);
    }

    ~PrivateBus() {
        for (const auto& name : names_) QDBusConnection::disconnectFromBus(name);
    }

private:
    quorvanta::test::TempDir dir_;
    std::unique_ptr<quorvanta::test::RunningProgram> daemon_;
    QString address_;
    std::vector<QString> names_;
};

}  // namespace quorvanta::app::test
