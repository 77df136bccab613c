#include "QuorvantaApp/Widgets/TextTone.h"

namespace quorvanta::app {

QColor TextTones::colour(TextTone tone, const QPalette& palette) {
    QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    switch (tone) {
        case TextTone::primary:
            return text;
        case TextTone::secondary:
            text.setAlphaF(text.alphaF() * kSecondaryOpacity);
            return text;
        case TextTone::tertiary:
            text.setAlphaF(text.alphaF() * kTertiaryOpacity);
            return text;
        case TextTone::red:
            return red.in(palette);
        case TextTone::green:
            return green.in(palette);
        case TextTone::accent:
            return Theme::accent.in(palette);
    }
    return text;
}

}  // namespace quorvanta::app
