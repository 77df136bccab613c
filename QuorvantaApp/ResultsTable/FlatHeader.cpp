#include "QuorvantaApp/ResultsTable/FlatHeader.h"

#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/Glyph.h"
#include "QuorvantaApp/Widgets/TextTone.h"

#include <QPaintEvent>
#include <QPainter>

namespace quorvanta::app {

FlatHeader::FlatHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setFixedHeight(kHeight);
    setSortIndicatorShown(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QFont FlatHeader::titleFont(bool active) { return Fonts::system(kFontSize, active ? QFont::DemiBold : QFont::Medium); }

QSize FlatHeader::sizeHint() const { return {QHeaderView::sizeHint().width(), kHeight}; }

void FlatHeader::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), Theme::base.in(palette()));
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical)) continue;
        const QRect section(sectionViewportPosition(logical), 0, sectionSize(logical), viewport()->height());
        if (!section.intersects(event->rect())) continue;
        painter.save();
        paintSection(&painter, section, logical);
        painter.restore();
    }
}

void FlatHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!model() || !rect.isValid()) return;
    const bool active = logicalIndex == sortIndicatorSection();
    const QString title = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    const auto alignment =
        Qt::Alignment(model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt());
    const bool right = alignment & Qt::AlignRight;
    const QFont font = titleFont(active);
    const QFontMetricsF metrics(font);
    const QRectF section(rect);
    const QRectF titleArea(section.left() + kTitleInset, section.top(),
                           std::max<qreal>(section.width() - (active ? kActiveTitleNarrowing : kTitleNarrowing), 0),
                           section.height());
    const QString shown = metrics.elidedText(title, Qt::ElideRight, titleArea.width());
    const QColor colour = TextTones::colour(active ? TextTone::primary : TextTone::secondary, palette());

    painter->setRenderHint(QPainter::Antialiasing);
    painter->setFont(font);
    painter->setPen(colour);
    painter->drawText(titleArea, Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::TextSingleLine,
                      shown);
    if (!active) return;
    const qreal titleWidth = metrics.horizontalAdvance(shown);
    const qreal x = right ? titleArea.right() - titleWidth - kChevronBeforeTitle
                          : titleArea.left() + titleWidth + kChevronAfterTitle;
    const QRectF chevron(x, section.center().y() - kChevronSize / 2, kChevronSize, kChevronSize);
    Glyph::paint(*painter, chevron, sortIndicatorOrder() == Qt::AscendingOrder ? "chevron.up" : "chevron.down", colour);
}

void FlatHeader::mouseReleaseEvent(QMouseEvent* event) {
    QHeaderView::mouseReleaseEvent(event);
    if (dragEnded) dragEnded();
}

}  // namespace quorvanta::app
