#include "QuorvantaApp/Theme/AppearanceSetting.h"

#include "QuorvantaApp/Theme/Theme.h"
#include "tests/support/qt/PostedEvents.h"

#include <QApplication>
#include <QPainter>
#include <QToolTip>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quorvanta::app {
namespace {

std::uint32_t hex(const QColor& colour) { return colour.rgb() & 0xFFFFFF; }

// The desktop as a test sets it: what read() answers, and announcements on demand.
class FakeDesktop final : public ColourSchemeSource {
public:
    explicit FakeDesktop(std::optional<std::uint32_t> scheme) : scheme_(scheme) {}

    std::optional<std::uint32_t> read() override { return scheme_; }
    void watch(std::function<void(std::uint32_t)> changed) override { changed_ = std::move(changed); }

    void announce(std::uint32_t scheme) {
        scheme_ = scheme;
        if (changed_) changed_(scheme);
    }

private:
    std::optional<std::uint32_t> scheme_;
    std::function<void(std::uint32_t)> changed_;
};

// Settings that count how often they are written.
class CountingSettings final : public platform::Settings {
public:
    int writes = 0;

protected:
    void persist(const nlohmann::json&) override { ++writes; }
};

// A setting over a fake desktop; `desktop` stays usable for announcements.
struct Harness {
    CountingSettings settings;
    FakeDesktop* desktop = nullptr;
    std::unique_ptr<AppearanceSetting> setting;

    Harness(std::optional<std::string> stored, std::optional<std::uint32_t> scheme,
            std::optional<Appearance> platformPalette = Appearance::light) {
        if (stored) settings.setText(AppearanceSetting::defaultsKey, *stored);
        auto fake = std::make_unique<FakeDesktop>(scheme);
        desktop = fake.get();
        setting =
            std::make_unique<AppearanceSetting>(AppearanceSetting::Setup{settings, std::move(fake), platformPalette});
    }
};

constexpr std::uint32_t kNoPreference = 0;
constexpr std::uint32_t kDark = 1;
constexpr std::uint32_t kLight = 2;

TEST(Appearance, StoredChoiceOverDesktopOverPlatformPalette) {
    const struct {
        std::optional<std::string_view> stored;
        std::optional<std::uint32_t> scheme;
        std::optional<Appearance> platform;
        Appearance expected;
    } cases[] = {
        {std::nullopt, kDark, Appearance::light, Appearance::dark},
        {std::nullopt, kLight, Appearance::dark, Appearance::light},
        {std::nullopt, kNoPreference, Appearance::dark, Appearance::light},
        {std::nullopt, 7, Appearance::dark, Appearance::light},  // a value the portal may add later
        {"light", kDark, Appearance::dark, Appearance::light},
        {"dark", kLight, Appearance::light, Appearance::dark},
        {"system", kDark, Appearance::light, Appearance::dark},
        {"auto", kDark, Appearance::light, Appearance::dark},
        {"Dark", kLight, Appearance::light, Appearance::light},
        {"", kDark, Appearance::light, Appearance::dark},
        {std::nullopt, std::nullopt, Appearance::dark, Appearance::dark},
        {"auto", std::nullopt, Appearance::light, Appearance::light},
        {std::nullopt, std::nullopt, std::nullopt, Appearance::light},
        {"dark", std::nullopt, std::nullopt, Appearance::dark},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppearanceSetting::resolve(c.stored, c.scheme, c.platform), c.expected)
            << std::string(c.stored.value_or("(none)")) << " / " << (c.scheme ? std::to_string(*c.scheme) : "(none)");
}

TEST(Appearance, DarkDesktopWithNothingStoredPaintsTheDarkValues) {
    Harness harness(std::nullopt, kDark);
    harness.setting->applyStored();
    EXPECT_EQ(harness.setting->current(), Appearance::dark);
    const QPalette palette = QApplication::palette();
    EXPECT_EQ(hex(Theme::accent.in(palette)), 0xFF5B2Eu);
    EXPECT_EQ(hex(Theme::base.in(palette)), 0x1C1E23u);
    EXPECT_EQ(hex(palette.color(QPalette::Window)), 0x1C1E23u);
    EXPECT_EQ(hex(QWidget().palette().color(QPalette::Window)), 0x1C1E23u) << "a new widget takes the palette";
    EXPECT_EQ(hex(QToolTip::palette().color(QPalette::ToolTipBase)), 0x23262Cu) << "tooltips keep their own palette";
}

TEST(Appearance, LightChoiceUnderADarkDesktopPaintsEveryLightValue) {
    Harness harness("light", kDark);
    harness.setting->applyStored();
    const QPalette palette = QApplication::palette();
    for (const auto& colour : {Theme::accent, Theme::fill, Theme::base, Theme::bar, Theme::field, Theme::badge})
        EXPECT_EQ(hex(colour.in(palette)), colour.light);
}

TEST(Appearance, WithoutAPortalThePlatformPaletteDecides) {
    for (const auto platform : {Appearance::dark, Appearance::light}) {
        Harness harness(std::nullopt, std::nullopt, platform);
        harness.setting->applyStored();
        EXPECT_EQ(harness.setting->current(), platform);
        EXPECT_EQ(Theme::appearanceOf(QApplication::palette()), platform);
    }
}

// Paints itself with Theme::base at paint time, as the windows do.
class BasePainted final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Theme::base.in(palette())); }
};

// What the widget shows once the event loop has come round (Qt posts the palette change to
// top-level widgets).
std::uint32_t grabbedPixel(QWidget& widget) {
    test::runPostedEvents();
    return widget.grab().toImage().pixel(5, 5) & 0xFFFFFF;
}

TEST(Appearance, DesktopChangeRepaintsAShownWidgetWhileTheChoiceFollowsIt) {
    Harness harness(std::nullopt, kLight);
    harness.setting->applyStored();
    BasePainted widget;
    widget.resize(40, 30);
    widget.show();
    EXPECT_EQ(grabbedPixel(widget), 0xF5F5F7u);

    harness.desktop->announce(kDark);
    EXPECT_EQ(harness.setting->current(), Appearance::dark);
    EXPECT_EQ(grabbedPixel(widget), 0x1C1E23u);

    harness.desktop->announce(kNoPreference);
    EXPECT_EQ(grabbedPixel(widget), 0xF5F5F7u);

    harness.settings.setText(AppearanceSetting::defaultsKey, "light");
    harness.setting->applyStored();
    harness.desktop->announce(kDark);
    EXPECT_EQ(grabbedPixel(widget), 0xF5F5F7u) << "a stored choice does not follow the desktop";
}

TEST(Appearance, OverrideForOneRunIsNeverStored) {
    const struct {
        const char* value;
        Appearance expected;
    } cases[] = {{"dark", Appearance::dark}, {"light", Appearance::light}, {"auto", Appearance::light}};
    for (const auto& c : cases) {
        Harness harness(std::nullopt, kDark);
        const int writesBefore = harness.settings.writes;
        harness.setting->overrideForThisRun(c.value);
        EXPECT_EQ(harness.setting->current(), c.expected) << c.value;
        EXPECT_EQ(harness.settings.writes, writesBefore) << c.value << ": the setting was written";
        // The settings window changing the stored value in this run does not undo the override.
        harness.settings.setText(AppearanceSetting::defaultsKey, c.expected == Appearance::dark ? "light" : "dark");
        harness.setting->applyStored();
        EXPECT_EQ(harness.setting->current(), c.expected) << c.value;
    }
}

}  // namespace
}  // namespace quorvanta::app
