// The results table's view: a QTableView with fixed 24-point rows (a hidden vertical header whose
// sections are fixed), no grid, rows selected whole and several at once, and no background of its
// own (it lies on the panel's ground). It draws the row selection itself, under the cells: each
// selected row's bounds inset by 1 point top and bottom, as a rounded rectangle of radius 6 in
// Theme.fill when the selection is emphasised (the table has the focus in the active window), else
// Theme.accent at 20 %. The selection is read as ranges (selectionModel()->selection()), only for
// the rows in view, so that a selection of millions of rows costs nothing to draw.
//
// It tells its owner when its viewport changes size, since the columns are fitted to it.
//
// Threads: main thread.
#pragma once

#include <QTableView>

#include <functional>
#include <optional>
#include <utility>

namespace quorvanta::app {

class KeyTable final : public QTableView {
public:
    static constexpr int kRowHeight = 24;
    static constexpr qreal kSelectionInset = 1;
    static constexpr qreal kSelectionRadius = 6;
    static constexpr qreal kUnemphasisedOpacity = 0.2;

    explicit KeyTable(QWidget* parent = nullptr);

    // Called after the viewport changed its size.
    std::function<void()> viewportResized;

    // Whether a selection in `view` is drawn emphasised: the view has the focus in the active window.
    static bool selectionEmphasised(const QWidget& view);

    // The rows in view, first and last; none without rows in view.
    std::optional<std::pair<int, int>> rowsInView() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
};

}  // namespace quorvanta::app
