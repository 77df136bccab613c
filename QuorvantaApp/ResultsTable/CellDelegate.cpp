#include "QuorvantaApp/ResultsTable/CellDelegate.h"

#include "QuorvantaApp/ResultsTable/CellIcons.h"
#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/TextTone.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace quorvanta::app {
namespace {

using Role = ColumnDef::Role;

// A text with runs drawn in another font and colour, cut in the middle when it is too wide.
struct Marked {
    QString text;
    QList<QTextLayout::FormatRange> formats;
};

QList<QTextLayout::FormatRange> marks(const std::vector<Utf16Range>& ranges, const QColor& colour) {
    QList<QTextLayout::FormatRange> formats;
    for (const Utf16Range& range : ranges) {
        QTextLayout::FormatRange format;
        format.start = static_cast<int>(range.start);
        format.length = static_cast<int>(range.length);
        format.format.setFontWeight(QFont::DemiBold);
        format.format.setForeground(colour);
        formats.push_back(format);
    }
    return formats;
}

// `marked` with its text replaced by `elided`, a middle elision of it ("prefix…suffix"): runs keep
// their place in the kept parts and are dropped where the ellipsis stands.
Marked remap(const Marked& marked, const QString& elided) {
    const QString& text = marked.text;
    qsizetype head = 0;
    while (head < elided.size() && head < text.size() && elided[head] == text[head]) ++head;
    const qsizetype tail = std::max<qsizetype>(elided.size() - head - 1, 0);
    const qsizetype tailStart = text.size() - tail;  // where the kept tail begins in `text`
    Marked out{elided, {}};
    for (const auto& format : marked.formats) {
        const qsizetype start = format.start;
        const qsizetype end = format.start + format.length;
        if (start < head) {
            QTextLayout::FormatRange part = format;
            part.length = static_cast<int>(std::min(end, head) - start);
            out.formats.push_back(part);
        }
        if (end > tailStart) {
            QTextLayout::FormatRange part = format;
            const qsizetype from = std::max(start, tailStart);
            part.start = static_cast<int>(from - tailStart + head + 1);
            part.length = static_cast<int>(end - from);
            out.formats.push_back(part);
        }
    }
    return out;
}

// One line of `marked` laid out in `font`, and its width.
qreal layOut(QTextLayout& layout, const Marked& marked, const QFont& font) {
    layout.setText(marked.text);
    layout.setFont(font);
    layout.setFormats(marked.formats);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLeadingIncluded(false);
    line.setLineWidth(1e6);
    layout.endLayout();
    return line.naturalTextWidth();
}

// Draws `marked` in `area` (left-aligned, centred vertically), cut in the middle to fit.
void drawMarked(QPainter& painter, const QRectF& area, Marked marked, const QFont& font) {
    QTextLayout layout;
    qreal width = layOut(layout, marked, font);
    if (width > area.width()) {
        const QFontMetricsF metrics(font);
        const Marked whole = marked;
        // The runs are wider than the plain text the elision measured: narrow the target until
        // the marked text fits.
        qreal target = area.width();
        for (int attempt = 0; attempt < 4 && width > area.width() && target > 0; ++attempt) {
            marked = remap(whole, metrics.elidedText(whole.text, Qt::ElideMiddle, target));
            width = layOut(layout, marked, font);
            target -= width - area.width() + 1;
        }
    }
    const QTextLine line = layout.lineAt(0);
    painter.save();
    painter.setClipRect(area);
    layout.draw(&painter, QPointF(area.left(), area.top() + (area.height() - line.height()) / 2));
    painter.restore();
}

void drawPlain(QPainter& painter, const QRectF& area, const CellContent& cell, const QFont& font) {
    const QFontMetricsF metrics(font);
    const QString text =
        metrics.elidedText(QString::fromStdString(cell.text),
                           cell.elision == Elision::head ? Qt::ElideLeft : Qt::ElideMiddle, area.width());
    painter.setFont(font);
    painter.drawText(area, Qt::AlignVCenter | (cell.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::TextSingleLine, text);
}

void drawBadge(QPainter& painter, const QRectF& cell, const QString& text, const QColor& textColour,
               const QColor& ground) {
    const QFont font = Fonts::system(CellDelegate::kBadgeFontSize, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    const qreal maxWidth = cell.width() - 2 * CellDelegate::kPadding;
    if (maxWidth <= 2 * CellDelegate::kBadgePadding) return;
    const qreal boxWidth = std::min(metrics.horizontalAdvance(text) + 2 * CellDelegate::kBadgePadding, maxWidth);
    const QRectF box(cell.left() + CellDelegate::kPadding, cell.center().y() - CellDelegate::kBadgeHeight / 2, boxWidth,
                     CellDelegate::kBadgeHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ground);
    painter.drawRoundedRect(box, CellDelegate::kBadgeRadius, CellDelegate::kBadgeRadius);
    const QRectF inside = box.adjusted(CellDelegate::kBadgePadding, 0, -CellDelegate::kBadgePadding, 0);
    painter.setPen(textColour);
    painter.setFont(font);
    painter.drawText(inside, Qt::AlignCenter | Qt::TextSingleLine,
                     metrics.elidedText(text, Qt::ElideMiddle, inside.width()));
}

}  // namespace

CellDelegate::CellDelegate(CellIcons& icons, QObject* parent) : QAbstractItemDelegate(parent), icons_(icons) {}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant value = index.data(ResultsModel::kContentRole);
    if (!value.isValid() || index.column() < 0 || static_cast<std::size_t>(index.column()) >= ColumnDef::all.size())
        return;
    const auto cell = value.value<CellContent>();
    const Role role = ColumnDef::all[static_cast<std::size_t>(index.column())].role;
    const QPalette& palette = option.palette;
    const bool emphasised =
        (option.state & QStyle::State_Selected) && option.widget && KeyTable::selectionEmphasised(*option.widget);
    const QColor textColour = emphasised           ? QColor(Qt::white)
                              : cell.offline       ? TextTones::colour(TextTone::tertiary, palette)
                              : role == Role::name ? TextTones::colour(TextTone::primary, palette)
                                                   : TextTones::colour(TextTone::secondary, palette);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(option.rect);
    qreal left = area.left() + kPadding;
    if (!cell.iconKey.empty()) {
        const QRectF icon(left, area.center().y() - kIconSize / 2, kIconSize, kIconSize);
        const QColor tint = emphasised ? QColor(Qt::white) : TextTones::colour(TextTone::secondary, palette);
        painter->save();
        if (cell.offline && role == Role::name) painter->setOpacity(kOfflineIconOpacity);
        icons_.paint(*painter, icon, cell.iconKey, cell.iconFallbackKey, tint);
        painter->restore();
        left = icon.right() + kIconGap;
    }
    const QRectF textArea(left, area.top(), std::max<qreal>(area.right() - kPadding - left, 0), area.height());

    if (cell.badge) {
        QColor ground = emphasised ? QColor(Qt::white) : Theme::badge.in(palette);
        if (emphasised) ground.setAlphaF(kEmphasisedBadgeOpacity);
        drawBadge(*painter, area, QString::fromStdString(cell.text), textColour, ground);
    } else if (role == Role::name && !cell.highlights.empty()) {
        painter->setPen(textColour);
        Marked marked{QString::fromStdString(cell.text),
                      marks(cell.highlights, emphasised ? QColor(Qt::white) : Theme::accent.in(palette))};
        // The layout takes its colour from the painter's pen for unmarked text.
        drawMarked(*painter, textArea, std::move(marked), Fonts::system(kFontSize));
    } else {
        painter->setPen(textColour);
        drawPlain(*painter, textArea, cell, Fonts::system(kFontSize));
    }
    painter->restore();
}

QSize CellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    const auto column = static_cast<std::size_t>(std::max(index.column(), 0));
    return {column < ColumnDef::all.size() ? static_cast<int>(ColumnDef::all[column].width) : 0, KeyTable::kRowHeight};
}

}  // namespace quorvanta::app
