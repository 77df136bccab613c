// Paints every cell of the results table from its CellContent (ResultsModel::kContentRole), as its
// column's role wants it:
//   name   the file's icon (16 × 16, 8 points in; at 40 % for an offline drive) and the name 6
//          points after it, the search terms' matches in semibold and the theme's accent;
//   drive  the drive glyph, tinted in the secondary tone, and the drive's name;
//   kind   in badge style the upper-case extension in a rounded badge (Theme.badge, 10 pt
//          semibold), else the type's description;
//   path   the folder, cut at its head; other roles in the middle;
//   right-aligned columns (numbers) are right-aligned. The fonts' digits are tabular, so numbers
//   line up.
// Text colours: white on an emphasised selection (the table has the focus in the active window),
// the tertiary tone for an offline drive's rows, the text colour for names and the secondary tone
// for everything else. Colours are resolved from the palette at paint time, so an appearance
// change repaints in the new one. The row selection itself is the table's (KeyTable.h).
//
// Threads: main thread.
#pragma once

#include <QAbstractItemDelegate>

namespace quorvanta::app {

class CellIcons;

class CellDelegate final : public QAbstractItemDelegate {
public:
    static constexpr qreal kFontSize = 12;
    static constexpr qreal kBadgeFontSize = 10;
    static constexpr qreal kPadding = 8;  // from the cell's edges to its content
    static constexpr qreal kIconSize = 16;
    static constexpr qreal kIconGap = 6;  // between the icon and the text
    static constexpr qreal kBadgeHeight = 16;
    static constexpr qreal kBadgeRadius = 4;
    static constexpr qreal kBadgePadding = 6;  // inside the badge, each side of its text
    static constexpr qreal kOfflineIconOpacity = 0.4;
    static constexpr qreal kEmphasisedBadgeOpacity = 0.22;

    CellDelegate(CellIcons& icons, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CellIcons& icons_;
};

}  // namespace quorvanta::app
