#include "QuorvantaApp/Theme/PortalColourScheme.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QVariant>

namespace quorvanta::app {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal wraps the value in a variant, and its older Read method wraps that once more.
std::optional<std::uint32_t> schemeValue(QVariant value) {
    for (int depth = 0; depth < 4 && value.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        value = qvariant_cast<QDBusVariant>(value).variant();
    switch (value.metaType().id()) {
        case QMetaType::UInt:
            return value.toUInt();
        case QMetaType::Int:
            return value.toInt() < 0 ? std::nullopt : std::optional<std::uint32_t>(value.toInt());
        default:
            return std::nullopt;
    }
}

}  // namespace

PortalColourScheme::PortalColourScheme(QDBusConnection bus) : bus_(std::move(bus)) {}

PortalColourScheme::~PortalColourScheme() {
    if (connected_)
        bus_.disconnect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                        SLOT(settingChanged(QString, QString, QDBusVariant)));
}

std::optional<std::uint32_t> PortalColourScheme::read() {
    if (!bus_.isConnected()) return std::nullopt;
    auto message = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    message << kGroup << kKey;
    const QDBusMessage reply = bus_.call(message, QDBus::Block, kReadTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    return schemeValue(reply.arguments().first());
}

void PortalColourScheme::watch(std::function<void(std::uint32_t)> changed) {
    changed_ = std::move(changed);
    if (connected_ || !bus_.isConnected()) return;
    // The slot's parameter types are looked up by name: QDBusVariant must be known by name before.
    qRegisterMetaType<QDBusVariant>();
    connected_ = bus_.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                              SLOT(settingChanged(QString, QString, QDBusVariant)));
}

void PortalColourScheme::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group != kGroup || key != kKey || !changed_) return;
    if (const auto scheme = schemeValue(value.variant())) changed_(*scheme);
}

}  // namespace quorvanta::app
