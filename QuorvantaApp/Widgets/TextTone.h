// The tones that texts and glyphs are drawn in besides the plain text colour: secondary (the
// explanatory lines, the status bar), tertiary (what matters least), red (failures and refusals),
// green (done) and accent (the theme's accent, for a window's leading symbol). Secondary and tertiary are the palette's text colour made fainter, so they
// read on whatever the text reads on; red and green have a light and a dark value.
//
// Threads: pure functions of the palette; main thread, as Qt's palettes are used.
#pragma once

#include "QuorvantaApp/Theme/Theme.h"

#include <QColor>
#include <QPalette>

namespace quorvanta::app {

enum class TextTone { primary, secondary, tertiary, red, green, accent };

struct TextTones {
    TextTones() = delete;

    // How much of the text colour the faint tones keep.
    static constexpr qreal kSecondaryOpacity = 0.62;
    static constexpr qreal kTertiaryOpacity = 0.40;
    static constexpr DynamicColour red{0xD42A1F, 0xFF5F55};
    static constexpr DynamicColour green{0x1F9A44, 0x3DCB66};

    // `tone` for the appearance `palette` shows, over its window text colour.
    static QColor colour(TextTone tone, const QPalette& palette);
};

}  // namespace quorvanta::app
