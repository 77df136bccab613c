#include "QuorvantaApp/SearchView/PlainButton.h"

#include "QuorvantaApp/Widgets/Glyph.h"

#include <QEnterEvent>
#include <QPainter>

namespace quorvanta::app {

PlainButton::PlainButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setGlyph(std::string name) {
    glyph_ = std::move(name);
    updateGeometry();
    update();
}

void PlainButton::setGlyphTone(TextTone tone) {
    glyphTone_ = tone;
    update();
}

void PlainButton::setTextTone(TextTone tone) {
    textTone_ = tone;
    update();
}

QSize PlainButton::sizeHint() const {
    int width = 0;
    if (!glyph_.empty()) width += glyphSide();
    if (!text().isEmpty()) width += (width > 0 ? kGlyphSpacing : 0) + fontMetrics().horizontalAdvance(text());
    return {width + 2 * kPadding, fontMetrics().height() + 2 * kPadding};
}

QSize PlainButton::minimumSizeHint() const {
    // A text may shrink to its ellipsis; the glyph stays whole.
    const int glyph = glyph_.empty() ? 0 : glyphSide();
    const int text = this->text().isEmpty() ? 0 : fontMetrics().horizontalAdvance(QStringLiteral("…"));
    return {glyph + (glyph && text ? kGlyphSpacing : 0) + text + 2 * kPadding, sizeHint().height()};
}

void PlainButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PlainButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PlainButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (isEnabled() && (hovered_ || isDown())) {
        QColor ground = pal.color(QPalette::WindowText);
        ground.setAlphaF(isDown() ? 2 * kHoverOpacity : kHoverOpacity);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ground);
        painter.drawRoundedRect(QRectF(rect()), 4, 4);
    }
    const QRect inner = rect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    int x = inner.left();
    if (!glyph_.empty()) {
        const int side = glyphSide();
        const QRectF box(x, inner.top() + (inner.height() - side) / 2.0, side, side);
        Glyph::paint(painter, box, glyph_, TextTones::colour(isEnabled() ? glyphTone_ : TextTone::tertiary, pal));
        x += side + kGlyphSpacing;
    }
    if (!text().isEmpty()) {
        const QRect area(x, inner.top(), inner.right() + 1 - x, inner.height());
        painter.setPen(TextTones::colour(isEnabled() ? textTone_ : TextTone::tertiary, pal));
        painter.setFont(font());
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
}

}  // namespace quorvanta::app
