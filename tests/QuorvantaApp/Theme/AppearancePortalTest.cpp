// The desktop portal's colour scheme over a real D-Bus: a private bus daemon for the test, and a
// fake portal on it that answers Read and sends SettingChanged as the desktop's portal does.
#include "QuorvantaApp/Theme/PortalColourScheme.h"

#include "QuorvantaApp/Theme/AppearanceSetting.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "platform/settings/Settings.h"
#include "tests/support/qt/PostedEvents.h"

#include "tests/QuorvantaApp/support/PrivateBus.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");

using test::PrivateBus;

// Answers Settings.Read for the colour scheme on a thread of its own (the reader blocks the main
// thread while it waits), wrapping the value in one variant or, as older portals do, in two.
class FakePortal final : public QDBusVirtualObject {
public:
    std::atomic<std::uint32_t> scheme{0};
    std::atomic<bool> wrappedTwice{true};

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kInterface || message.member() != QStringLiteral("Read")) return false;
        const auto arguments = message.arguments();
        if (arguments.size() != 2 || arguments[0].toString() != QStringLiteral("org.freedesktop.appearance") ||
            arguments[1].toString() != QStringLiteral("color-scheme")) {
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                                     QStringLiteral("no such setting")));
            return true;
        }
        const QVariant value = QVariant::fromValue(scheme.load());
        const QVariant once = QVariant::fromValue(QDBusVariant(value));
        connection.send(message.createReply(wrappedTwice ? QVariant::fromValue(QDBusVariant(once)) : once));
        return true;
    }
};

// The fake portal registered under the portal's name on the private bus.
class PortalService {
public:
    explicit PortalService(PrivateBus& bus) : connection_(bus.connect(QStringLiteral("fake-portal"))) {
        thread_.start();
        portal_->moveToThread(&thread_);
        registered_ = connection_.registerService(kService) &&
                      connection_.registerVirtualObject(kPath, portal_, QDBusConnection::SingleNode);
    }
    ~PortalService() {
        connection_.unregisterObject(kPath);
        portal_->deleteLater();
        thread_.quit();
        thread_.wait();
    }

    bool registered() const { return registered_; }
    FakePortal& portal() { return *portal_; }

    void announce(const QString& group, const QString& key, std::uint32_t scheme) {
        auto signal = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("SettingChanged"));
        signal << group << key << QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme)));
        connection_.send(signal);
    }

private:
    QDBusConnection connection_;
    QThread thread_;
    FakePortal* portal_ = new FakePortal;
    bool registered_ = false;
};

// Runs the event loop until `done` holds, doing `each` before every round; false when it did not
// hold within the limit.
template <class Condition, class Action>
bool processUntil(Condition done, Action each) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.hasExpired(20'000)) return false;
        each();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    return true;
}

class AppearancePortal : public testing::Test {
protected:
    void SetUp() override {
        if (!PrivateBus::available())
            GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus)";
        bus_ = std::make_unique<PrivateBus>();
        ASSERT_FALSE(bus_->address().isEmpty()) << "the bus daemon printed no address";
    }

    std::unique_ptr<PrivateBus> bus_;
};

TEST_F(AppearancePortal, ReadsTheColourSchemeInEitherWrapping) {
    PortalService service(*bus_);
    ASSERT_TRUE(service.registered());
    PortalColourScheme reader(bus_->connect(QStringLiteral("reader")));
    for (const bool twice : {true, false})
        for (const std::uint32_t scheme : {0u, 1u, 2u}) {
            service.portal().scheme = scheme;
            service.portal().wrappedTwice = twice;
            EXPECT_EQ(reader.read(), std::optional<std::uint32_t>(scheme)) << scheme << (twice ? " twice" : " once");
        }
}

TEST_F(AppearancePortal, FollowsSettingChangedForTheColourSchemeOnly) {
    PortalService service(*bus_);
    ASSERT_TRUE(service.registered());
    PortalColourScheme reader(bus_->connect(QStringLiteral("reader")));
    std::vector<std::uint32_t> seen;
    reader.watch([&](std::uint32_t scheme) { seen.push_back(scheme); });
    // The watch reaches the bus in its own time: announce until it is in place.
    const QString group = QStringLiteral("org.freedesktop.appearance");
    ASSERT_TRUE(processUntil([&] { return !seen.empty(); },
                             [&] { service.announce(group, QStringLiteral("color-scheme"), 1); }))
        << "no SettingChanged arrived";
    seen.clear();
    // Other settings first, then the scheme: the signals of one sender arrive in order.
    service.announce(group, QStringLiteral("accent-color"), 5);
    service.announce(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme"), 6);
    service.announce(group, QStringLiteral("color-scheme"), 2);
    ASSERT_TRUE(processUntil([&] { return seen.size() >= 1 && seen.back() == 2; }, [] {}));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 5u) + std::count(seen.begin(), seen.end(), 6u), 0);
}

// Paints itself with Theme::base at paint time, as the windows do.
class BasePainted final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Theme::base.in(palette())); }
};

TEST_F(AppearancePortal, ADarkSchemeAnnouncedRepaintsAShownWidget) {
    PortalService service(*bus_);
    ASSERT_TRUE(service.registered());
    service.portal().scheme = 2;
    platform::MemorySettings settings;  // nothing stored: follow the desktop
    AppearanceSetting setting(
        {settings, std::make_unique<PortalColourScheme>(bus_->connect(QStringLiteral("reader"))), Appearance::light});
    setting.applyStored();
    BasePainted widget;
    widget.resize(40, 30);
    widget.show();
    const auto shown = [&] {
        quorvanta::test::runPostedEvents();
        return widget.grab().toImage().pixel(5, 5) & 0xFFFFFF;
    };
    ASSERT_EQ(shown(), 0xF5F5F7u);

    const QString group = QStringLiteral("org.freedesktop.appearance");
    EXPECT_TRUE(processUntil([&] { return shown() == 0x1C1E23u; },
                             [&] { service.announce(group, QStringLiteral("color-scheme"), 1); }))
        << "the widget was not repainted dark";
    EXPECT_EQ(setting.current(), Appearance::dark);
}

TEST_F(AppearancePortal, NoAnswerWithoutAPortalOrABus) {
    PortalColourScheme noPortal(bus_->connect(QStringLiteral("reader")));
    EXPECT_EQ(noPortal.read(), std::nullopt) << "a bus without the portal";

    quorvanta::test::TempDir empty;
    const QString nowhere = QStringLiteral("unix:path=") + QString::fromStdString((empty / "no-bus").string());
    PortalColourScheme noBus(QDBusConnection::connectToBus(nowhere, QStringLiteral("nowhere")));
    EXPECT_EQ(noBus.read(), std::nullopt) << "no bus";
    noBus.watch([](std::uint32_t) {});  // nothing to follow; must not fail
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}

}  // namespace
}  // namespace quorvanta::app
