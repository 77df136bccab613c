// The results table's header: 26 points high, filled with Theme.base, no borders or separators.
// Each section shows its column's title (from the model's header data, aligned as the column's
// values) in the application font at 11 points, 8 points in from the left and 16 points narrower
// than the section (28 on the active sort column), cut at the tail: semibold in the text colour on
// the active sort column, medium in the secondary tone on the others. The active sort column is
// the header's sort indicator section (set by the table; the header draws no indicator of Qt's
// own) and also shows a chevron, up for ascending and down for descending, 8 × 8 points in the
// text colour, 4 points after the title's end, or for a right-aligned column 12 points before its
// start.
//
// It tells its owner when a mouse button is released over it, which ends any drag that resized or
// moved a column.
//
// Threads: main thread.
#pragma once

#include <QHeaderView>

#include <functional>

namespace quorvanta::app {

class FlatHeader final : public QHeaderView {
public:
    static constexpr int kHeight = 26;
    static constexpr qreal kFontSize = 11;
    static constexpr qreal kTitleInset = 8;
    static constexpr qreal kTitleNarrowing = 16;        // the title's rectangle against the section
    static constexpr qreal kActiveTitleNarrowing = 28;  // with room for the chevron
    static constexpr qreal kChevronSize = 8;
    static constexpr qreal kChevronAfterTitle = 4;
    static constexpr qreal kChevronBeforeTitle = 12;

    explicit FlatHeader(QWidget* parent = nullptr);

    // Called after a mouse button was released over the header.
    std::function<void()> dragEnded;

    // The font of a title; the active sort column's is semibold.
    static QFont titleFont(bool active);

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;
};

}  // namespace quorvanta::app
