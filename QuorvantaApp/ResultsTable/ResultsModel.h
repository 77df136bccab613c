// The results table's item model over the shown result set: one row per row key, one column per
// column of the catalogue (ColumnDef::all, in its order; the view hides what is not shown). Rows
// are never copied out: each cell is built when the view asks for it, by cellContent through the
// cell context, from the row key and the volume's index. A new result set is one model reset.
//
// Dragging: a row on a connected drive can be dragged; its drag data is its file's URI (made from
// the path's raw bytes, DesktopServices.h), for the copy action only. Rows of an offline drive
// and rows past the shown set give none.
//
// Roles: kContentRole gives the whole CellContent (what the delegate paints from); DisplayRole its
// text and ToolTipRole its tooltip, for accessibility and tooltips. Header titles are the columns'
// titles through tr, aligned as their values.
//
// Threads: main thread, like the view and the cell context. The context must outlive the model.
#pragma once

#include "QuorvantaApp/ResultsTable/CellContent.h"
#include "QuorvantaApp/ResultsTable/CellContext.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

Q_DECLARE_METATYPE(quorvanta::app::CellContent)

namespace quorvanta::app {

class ResultSet;

class ResultsModel final : public QAbstractTableModel {
public:
    static constexpr int kContentRole = Qt::UserRole + 1;

    ResultsModel(CellContext& context, QObject* parent);

    // The result set shown; the empty one until the first show.
    const std::shared_ptr<const ResultSet>& shown() const { return shown_; }
    // Shows `set`: the cell context takes its rows, and the views reset.
    void show(std::shared_ptr<const ResultSet> set);

    // The catalogue position of a column id; none for an id the catalogue does not know.
    static std::optional<int> column(std::string_view id);

    // Tells the views that the cells of `column` in rows first..last (inclusive) read differently
    // now; nothing for an empty range.
    void cellsChanged(int column, int first, int last);
    // Every cell may read differently now (the rows stay).
    void allCellsChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    // The drag data of the rows first..last of each range (ascending); none when none of them can
    // be dragged. The caller owns the result.
    QMimeData* mimeDataFor(const std::vector<std::pair<int, int>>& ranges) const;

    // Test seam: how many cells were built so far.
    std::uint64_t cellsBuiltForTesting() const { return cellsBuilt_; }

private:
    std::optional<CellContent> content(const QModelIndex& index) const;
    // Whether `row` shows a file of a connected drive.
    bool draggable(int row) const;

    CellContext& context_;
    std::shared_ptr<const ResultSet> shown_;
    mutable std::uint64_t cellsBuilt_ = 0;
};

}  // namespace quorvanta::app
