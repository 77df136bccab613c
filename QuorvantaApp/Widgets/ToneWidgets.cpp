#include "QuorvantaApp/Widgets/ToneWidgets.h"

#include "QuorvantaApp/Widgets/Glyph.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace quorvanta::app {

ToneText::ToneText(TextTone tone, QWidget* parent) : QWidget(parent), tone_(tone) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ToneText::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    updateGeometry();
    update();
}

void ToneText::setTone(TextTone tone) {
    if (tone == tone_) return;
    tone_ = tone;
    update();
}

void ToneText::setStruckOut(bool on) {
    if (on == isStruckOut()) return;
    QFont struck = font();
    struck.setStrikeOut(on);
    setFont(struck);
    update();
}

void ToneText::setMinimumTextWidth(int width) {
    minimumTextWidth_ = width;
    updateGeometry();
}

int ToneText::textWidth() const { return qCeil(QFontMetricsF(font()).horizontalAdvance(text_)); }

QSize ToneText::sizeHint() const { return {textWidth(), fontMetrics().height()}; }

QSize ToneText::minimumSizeHint() const {
    const int full = textWidth();
    return {minimumTextWidth_ < 0 ? full : std::min(full, minimumTextWidth_), fontMetrics().height()};
}

void ToneText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour());
    painter.setFont(font());
    // Only cut when narrower than the text's width: at exactly that width the text's fractional
    // advance could otherwise lose its last character.
    const QString shown = isFullyShown() ? text_ : fontMetrics().elidedText(text_, Qt::ElideRight, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

ToneParagraph::ToneParagraph(TextTone tone, int lineWidth, QWidget* parent)
    : QWidget(parent), tone_(tone), lineWidth_(lineWidth) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ToneParagraph::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    updateGeometry();
    update();
}

int ToneParagraph::heightForWidth(int width) const {
    if (text_.isEmpty()) return 0;
    return fontMetrics()
        .boundingRect(QRect(0, 0, std::max(width, 1), QWIDGETSIZE_MAX), Qt::TextWordWrap, text_)
        .height();
}

QSize ToneParagraph::sizeHint() const { return {lineWidth_, heightForWidth(lineWidth_)}; }

QSize ToneParagraph::minimumSizeHint() const { return {0, heightForWidth(lineWidth_)}; }

void ToneParagraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
}

ToneGlyph::ToneGlyph(std::string name, TextTone tone, QWidget* parent)
    : QWidget(parent), name_(std::move(name)), tone_(tone) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToneGlyph::setName(std::string name) {
    if (name == name_) return;
    name_ = std::move(name);
    update();
}

QSize ToneGlyph::sizeHint() const {
    const int side = fontMetrics().height();
    return {side, side};
}

void ToneGlyph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Glyph::paint(painter, QRectF(rect()), name_, colour());
}

}  // namespace quorvanta::app
