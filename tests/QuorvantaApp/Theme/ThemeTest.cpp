#include "QuorvantaApp/Theme/Theme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace quorvanta::app {
namespace {

std::uint32_t hex(const QColor& colour) { return colour.rgb() & 0xFFFFFF; }

TEST(Theme, SixColoursInBothAppearances) {
    const struct {
        const char* name;
        DynamicColour colour;
        std::uint32_t light;
        std::uint32_t dark;
    } cases[] = {
        {"accent", Theme::accent, 0xC23F16, 0xFF5B2E}, {"fill", Theme::fill, 0xC23F16, 0xC23F16},
        {"base", Theme::base, 0xF5F5F7, 0x1C1E23},     {"bar", Theme::bar, 0xFFFFFF, 0x23262C},
        {"field", Theme::field, 0xEDEDF1, 0x2C2F36},   {"badge", Theme::badge, 0xE6E6EB, 0x30333A},
    };
    for (const auto& c : cases) {
        const QColor light = c.colour.resolved(Appearance::light);
        const QColor dark = c.colour.resolved(Appearance::dark);
        EXPECT_EQ(hex(light), c.light) << c.name;
        EXPECT_EQ(hex(dark), c.dark) << c.name;
        EXPECT_EQ(light.alpha(), 255) << c.name;
        // Resolved through a palette of each appearance, the same values.
        EXPECT_EQ(hex(c.colour.in(Theme::palette(Appearance::light))), c.light) << c.name;
        EXPECT_EQ(hex(c.colour.in(Theme::palette(Appearance::dark))), c.dark) << c.name;
    }
}

TEST(Theme, PalettesAreBuiltFromTheColours) {
    for (const auto appearance : {Appearance::light, Appearance::dark}) {
        const QPalette palette = Theme::palette(appearance);
        const char* which = appearance == Appearance::dark ? "dark" : "light";
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            EXPECT_EQ(palette.color(group, QPalette::Window), Theme::base.resolved(appearance)) << which;
            EXPECT_EQ(palette.color(group, QPalette::Base), Theme::field.resolved(appearance)) << which;
            EXPECT_EQ(palette.color(group, QPalette::Highlight), Theme::rgb(0xC23F16)) << which;
            EXPECT_EQ(palette.color(group, QPalette::Link), Theme::accent.resolved(appearance)) << which;
        }
        EXPECT_EQ(Theme::appearanceOf(palette), appearance) << which;
    }
}

// WCAG contrast ratio of two opaque colours.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(Theme, TextReadsOnWhatItIsDrawnOn) {
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> pairs[] = {
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Text, QPalette::Base},
        {QPalette::Text, QPalette::AlternateBase},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::ToolTipText, QPalette::ToolTipBase},
        {QPalette::Link, QPalette::Window},
    };
    for (const auto appearance : {Appearance::light, Appearance::dark}) {
        const QPalette palette = Theme::palette(appearance);
        for (const auto& [text, ground] : pairs)
            EXPECT_GE(contrast(palette.color(text), palette.color(ground)), 4.5)
                << (appearance == Appearance::dark ? "dark " : "light ") << text << " on " << ground;
    }
}

TEST(Theme, AppearanceOfAnyPaletteByItsWindowLightness) {
    const struct {
        QColor window;
        Appearance expected;
    } cases[] = {
        {QColor(0, 0, 0), Appearance::dark},
        {QColor(0x35, 0x35, 0x35), Appearance::dark},
        {QColor(0xEF, 0xEF, 0xEF), Appearance::light},
        {QColor(255, 255, 255), Appearance::light},
    };
    for (const auto& c : cases) {
        QPalette palette;
        palette.setColor(QPalette::Window, c.window);
        EXPECT_EQ(Theme::appearanceOf(palette), c.expected) << c.window.name().toStdString();
    }
}

}  // namespace
}  // namespace quorvanta::app
