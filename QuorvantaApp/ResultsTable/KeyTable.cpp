#include "QuorvantaApp/ResultsTable/KeyTable.h"

#include "QuorvantaApp/Theme/Theme.h"

#include <QHeaderView>
#include <QItemSelectionModel>
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
