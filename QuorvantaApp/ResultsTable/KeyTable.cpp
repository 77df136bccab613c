#include "QuorvantaApp/ResultsTable/KeyTable.h"

#include "QuorvantaApp/Theme/Theme.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <utility>
#include <vector>

namespace quorvanta::app {

KeyTable::KeyTable(QWidget* parent) : QTableView(parent) {
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setAlternatingRowColors(false);
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(kRowHeight);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    // The cells lie on the results area's ground, and the style draws no selection of its own.
    QPalette ground = palette();
    ground.setColor(QPalette::Base, Qt::transparent);
    ground.setColor(QPalette::Highlight, Qt::transparent);
    setPalette(ground);
    viewport()->setAutoFillBackground(false);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
}

const std::function<void()>* KeyTable::handlerOf(const QKeyEvent& event) const {
    const bool ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    switch (event.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return ctrl ? &onReveal : &onReturn;
        case Qt::Key_Space:
            return &onSpace;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            return &onTrash;
        case Qt::Key_F2:
            return &onRename;
        case Qt::Key_C:
            return ctrl ? &onCopy : nullptr;
        default:
            // The view's own copy of the current cell answers Ctrl+Insert too.
            return event.matches(QKeySequence::Copy) ? &onCopy : nullptr;
    }
}

bool KeyTable::event(QEvent* event) {
    // The table's keys are the table's while it has the focus, before any shortcut of the menus.
    if (event->type() == QEvent::ShortcutOverride && handlerOf(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

void KeyTable::keyPressEvent(QKeyEvent* event) {
    if (const auto* handler = handlerOf(*event)) {
        event->accept();
        if (*handler) (*handler)();
        return;
    }
    QTableView::keyPressEvent(event);
}

void KeyTable::copy() {
    if (onCopy) onCopy();
}

void KeyTable::keyboardSearch(const QString& search) {
    if (search.isEmpty() || !typeSelect || !model() || model()->rowCount() == 0) return;
    const bool fresh = !typedTime_.isValid() || typedTime_.elapsed() > QApplication::keyboardInputInterval();
    typedTime_.start();
    typed_ = fresh ? search : typed_ + search;
    // A new text looks from the row after the current one, so typing one letter again moves on; a
    // longer text may stay on the current row.
    const QModelIndex current = currentIndex();
    int from = current.isValid() ? current.row() + (fresh ? 1 : 0) : 0;
    if (from >= model()->rowCount()) from = 0;
    const auto row = typeSelect(typed_, from);
    if (!row) return;
    const QModelIndex found = model()->index(*row, 0);
    selectionModel()->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(found);
}

void KeyTable::mousePressEvent(QMouseEvent* event) {
    // A right click leaves the selection as it is; the menu acts on the clicked row only when
    // nothing is selected.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void KeyTable::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        event->accept();
        if (onReturn) onReturn();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void KeyTable::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (onContextMenu) onContextMenu(event->pos(), event->globalPos());
}

void KeyTable::startDrag(Qt::DropActions supportedActions) {
    if (!dragData || !supportedActions.testFlag(Qt::CopyAction)) return;
    QMimeData* data = dragData();
    if (!data) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool KeyTable::selectionEmphasised(const QWidget& view) { return view.hasFocus() && view.isActiveWindow(); }

std::optional<std::pair<int, int>> KeyTable::rowsInView() const {
    if (!model() || model()->rowCount() == 0) return std::nullopt;
    const int first = rowAt(0);
    if (first < 0) return std::nullopt;
    int last = rowAt(viewport()->height() - 1);
    if (last < 0) last = model()->rowCount() - 1;
    return std::pair{first, last};
}

void KeyTable::paintEvent(QPaintEvent* event) {
    if (selectionModel() && model()) {
        const QRect area = event->rect();
        const int top = rowAt(area.top());
        int bottom = rowAt(area.bottom());
        if (bottom < 0) bottom = model()->rowCount() - 1;
        // The selected spans among the rows to paint, each row once.
        std::vector<std::pair<int, int>> spans;
        if (top >= 0) {
            for (const QItemSelectionRange& range : selectionModel()->selection()) {
                const int from = std::max(range.top(), top);
                const int to = std::min(range.bottom(), bottom);
                if (from <= to) spans.emplace_back(from, to);
            }
        }
        if (!spans.empty()) {
            std::ranges::sort(spans);
            QColor fill = selectionEmphasised(*this) ? Theme::fill.in(palette()) : Theme::accent.in(palette());
            if (!selectionEmphasised(*this)) fill.setAlphaF(kUnemphasisedOpacity);
            QPainter painter(viewport());
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            int done = top - 1;  // the last row drawn
            for (const auto& [from, to] : spans) {
                for (int row = std::max(from, done + 1); row <= to; ++row) {
                    const QRectF bounds(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
                    painter.drawRoundedRect(bounds.adjusted(0, kSelectionInset, 0, -kSelectionInset), kSelectionRadius,
                                            kSelectionRadius);
                }
                done = std::max(done, to);
            }
        }
    }
    QTableView::paintEvent(event);
}

bool KeyTable::viewportEvent(QEvent* event) {
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize && viewportResized) viewportResized();
    return handled;
}

}  // namespace quorvanta::app
