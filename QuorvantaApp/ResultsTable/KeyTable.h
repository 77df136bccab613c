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
// Keys, handled before the view's own (which would copy the current cell on Ctrl+C and edit on F2):
//   Return, keypad Enter   with Ctrl: onReveal; without: onReturn
//   Space                  any modifiers: onSpace
//   Backspace, Delete      any modifiers: onTrash
//   F2                     any modifiers: onRename
//   Ctrl+C, Ctrl+Insert    onCopy
// A key of the table whose handler is not set is taken without effect; every other key is the
// view's (arrows, selection). The same keys win over the application's shortcuts while the table
// has the focus. The Edit menu's Copy reaches the copy slot, which is onCopy.
//
// Type-to-select is the table's own: the typed text (a pause longer than the desktop's keyboard
// input interval starts a new one) goes to typeSelect with the row to start from, and the row it
// answers becomes the current and only selected row. Qt's own would read every row's cell.
//
// The mouse: a right click changes no selection and asks onContextMenu for the menu at that place;
// a double click on a row is onReturn. A drag starts with what dragData gives, offering the copy
// action only; nothing is dragged when it gives nothing.
//
// Threads: main thread.
#pragma once

#include <QElapsedTimer>
#include <QTableView>

#include <functional>
#include <optional>
#include <utility>

class QMimeData;

namespace quorvanta::app {

class KeyTable final : public QTableView {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 24;
    static constexpr qreal kSelectionInset = 1;
    static constexpr qreal kSelectionRadius = 6;
    static constexpr qreal kUnemphasisedOpacity = 0.2;

    explicit KeyTable(QWidget* parent = nullptr);

    // Called after the viewport changed its size.
    std::function<void()> viewportResized;

    // The key handlers (see above); each may be unset.
    std::function<void()> onSpace, onReturn, onReveal, onCopy, onRename, onTrash;
    // The row whose name starts with `typed` (compared without case), looking from row `from`
    // onward; none when there is none within its bound.
    std::function<std::optional<int>(const QString& typed, int from)> typeSelect;
    // The context menu is wanted at `at` (viewport coordinates; `global` on the screen).
    std::function<void(const QPoint& at, const QPoint& global)> onContextMenu;
    // What a drag of the selected rows carries; none: no drag. The caller owns the result.
    std::function<QMimeData*()> dragData;

    void keyboardSearch(const QString& search) override;

    // Whether a selection in `view` is drawn emphasised: the view has the focus in the active window.
    static bool selectionEmphasised(const QWidget& view);

    // The rows in view, first and last; none without rows in view.
    std::optional<std::pair<int, int>> rowsInView() const;

public Q_SLOTS:
    // The Edit menu's Copy: onCopy.
    void copy();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // The handler of a table key; none for a key that is not one. The handler itself may be unset.
    const std::function<void()>* handlerOf(const QKeyEvent& event) const;

    QString typed_;            // the text typed so far
    QElapsedTimer typedTime_;  // since the last typed key
};

}  // namespace quorvanta::app
