#include "QuorvantaApp/Widgets/CapsuleButton.h"

#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/Glyph.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvanta::app {
namespace {

constexpr qreal kChipFontSize = 12;
// Pressed: the capsule darkens (selected) or its tint doubles (plain).
constexpr int kPressedDarker = 118;
constexpr qreal kDisabledOpacity = 0.45;

}  // namespace

CapsuleButton::CapsuleButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setFont(Fonts::system(kChipFontSize, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

void CapsuleButton::setGlyph(std::string name) {
    if (name == glyph_) return;
    glyph_ = std::move(name);
    updateGeometry();
    update();
}

void CapsuleButton::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update();
}

int CapsuleButton::glyphSide() const { return fontMetrics().height(); }

QSize CapsuleButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    int width = metrics.horizontalAdvance(text());
    if (!glyph_.empty()) width += glyphSide() + (text().isEmpty() ? 0 : kGlyphSpacing);
    return {width + 2 * kHorizontalPadding, metrics.height() + 2 * kVerticalPadding};
}

void CapsuleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(kDisabledOpacity);

    const QColor primary = palette().color(QPalette::Active, QPalette::WindowText);
    QColor capsule;
    QColor ink;
    if (selected_) {
        capsule = Theme::fill.in(palette());
        if (isDown()) capsule = capsule.darker(kPressedDarker);
        ink = Qt::white;
    } else {
        capsule = primary;
        capsule.setAlphaF(kPlainFillOpacity * (isDown() ? 2 : 1));
        ink = primary;
    }
    const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = shape.height() / 2;
    QPainterPath path;
    path.addRoundedRect(shape, radius, radius);
    painter.fillPath(path, capsule);
    if (hasFocus()) painter.strokePath(path, QPen(Theme::accent.in(palette()), 1.5));

    // The label, centred: glyph, spacing, text.
    const QSize ideal = sizeHint();
    qreal x = (width() - (ideal.width() - 2 * kHorizontalPadding)) / 2.0;
    if (!glyph_.empty()) {
        const int side = glyphSide();
        Glyph::paint(painter, QRectF(x, (height() - side) / 2.0, side, side), glyph_, ink);
        x += side + kGlyphSpacing;
    }
    painter.setPen(ink);
    painter.setFont(font());
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     text());
}

}  // namespace quorvanta::app
