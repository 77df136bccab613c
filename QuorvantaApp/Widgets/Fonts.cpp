#include "QuorvantaApp/Widgets/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace quorvanta::app {
namespace {

QFont scaled(QFont font, qreal size, QFont::Weight weight) {
    const QFont desktop = QGuiApplication::font();
    const qreal ratio = size / Fonts::kDesignBodySize;
    if (desktop.pointSizeF() > 0)
        font.setPointSizeF(desktop.pointSizeF() * ratio);
    else
        font.setPixelSize(qMax(1, qRound(desktop.pixelSize() * ratio)));
    font.setWeight(weight);
    return font;
}

}  // namespace

QFont Fonts::system(qreal size, QFont::Weight weight) { return scaled(QGuiApplication::font(), size, weight); }

QFont Fonts::monospaced(qreal size, QFont::Weight weight) {
    return scaled(QFontDatabase::systemFont(QFontDatabase::FixedFont), size, weight);
}

}  // namespace quorvanta::app
