#include "QuorvantaApp/Theme/Theme.h"

namespace quorvanta::app {
namespace {

// Text on the light and the dark palette, and white for text on `fill`.
constexpr std::uint32_t kLightText = 0x1D1D1F;
constexpr std::uint32_t kDarkText = 0xF2F2F5;
constexpr std::uint32_t kWhite = 0xFFFFFF;

QColor withAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

}  // namespace

QColor DynamicColour::resolved(Appearance appearance) const {
    return Theme::rgb(appearance == Appearance::dark ? dark : light);
}

QColor DynamicColour::in(const QPalette& palette) const { return resolved(Theme::appearanceOf(palette)); }

QColor Theme::rgb(std::uint32_t value) {
    return QColor::fromRgb(static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                           static_cast<int>(value & 0xFF));
}

QPalette Theme::palette(Appearance appearance) {
    const bool dark = appearance == Appearance::dark;
    const QColor window = base.resolved(appearance);
    const QColor entry = field.resolved(appearance);
    const QColor text = rgb(dark ? kDarkText : kLightText);
    // The two-colour constructor derives the bevel shades (light, midlight, mid, dark, shadow) that
    // the Fusion style draws frames with from the button colour.
    QPalette palette(entry, window);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, entry);
        palette.setColor(group, QPalette::AlternateBase, badge.resolved(appearance));
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::PlaceholderText, withAlpha(text, 110));
        palette.setColor(group, QPalette::Button, entry);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, rgb(kWhite));
        palette.setColor(group, QPalette::Highlight, fill.resolved(appearance));
        palette.setColor(group, QPalette::HighlightedText, rgb(kWhite));
        palette.setColor(group, QPalette::Link, accent.resolved(appearance));
        palette.setColor(group, QPalette::LinkVisited, accent.resolved(appearance));
        palette.setColor(group, QPalette::ToolTipBase, bar.resolved(appearance));
        palette.setColor(group, QPalette::ToolTipText, text);
    }
    const QColor faded = withAlpha(text, 100);
    palette.setColor(QPalette::Disabled, QPalette::Window, window);
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Button, window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText,
                            QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, faded);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, withAlpha(fill.resolved(appearance), 110));
    return palette;
}

Appearance Theme::appearanceOf(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128 ? Appearance::dark : Appearance::light;
}

}  // namespace quorvanta::app
