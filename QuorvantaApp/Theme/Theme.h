// The application's own palette: six colours, each with a value for the light and one for the dark
// appearance (`fill` is one colour for both), and the two Qt palettes built from them.
//
// Qt colours do not resolve themselves per appearance, so code that paints asks at paint time:
// `Theme::accent.in(palette())` resolves for the appearance that the widget's palette shows, and
// `Theme::accent.resolved(Appearance::dark)` for a given one. Widgets repaint when the application
// palette changes (AppearanceSetting), and then resolve again.
//
// Threads: the colour values and resolved() are pure; palette() and in() need the QGuiApplication
// only as Qt's colour types do (any thread may build them).
#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace quorvanta::app {

enum class Appearance { light, dark };

// A colour with a light and a dark value, 0xRRGGBB each, sRGB and opaque.
struct DynamicColour {
    std::uint32_t light;
    std::uint32_t dark;

    QColor resolved(Appearance appearance) const;
    // For the appearance `palette` shows (Theme::appearanceOf).
    QColor in(const QPalette& palette) const;
};

struct Theme {
    Theme() = delete;

    // Highlights in result cells and the selection, the search view, the empty state, the banner.
    static constexpr DynamicColour accent{0xC23F16, 0xFF5B2E};
    // The emphasised row selection and the selected category chip: one colour in both.
    static constexpr DynamicColour fill{0xC23F16, 0xC23F16};
    // The panel background and the results header.
    static constexpr DynamicColour base{0xF5F5F7, 0x1C1E23};
    // The top bar and the status bar.
    static constexpr DynamicColour bar{0xFFFFFF, 0x23262C};
    // The query field.
    static constexpr DynamicColour field{0xEDEDF1, 0x2C2F36};
    // Extension badges in result cells.
    static constexpr DynamicColour badge{0xE6E6EB, 0x30333A};

    // An opaque sRGB colour from 0xRRGGBB.
    static QColor rgb(std::uint32_t value);

    // The application palette of each appearance: window `base`, base `field`, highlight `fill`,
    // and text colours that read on them.
    static QPalette palette(Appearance appearance);

    // Dark when the palette's window colour is dark: our two palettes, and any other one (the
    // desktop's own before ours is set) by its lightness.
    static Appearance appearanceOf(const QPalette& palette);
};

}  // namespace quorvanta::app
