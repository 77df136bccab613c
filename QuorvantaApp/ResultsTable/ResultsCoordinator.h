// The results table's coordinator: the owner of everything the table knows besides its view. It
// holds the result set on screen (through its item model), the cell context with its caches, the
// icons, the user's preferred column widths and the columns found empty, and it decides which
// columns show and how wide they are.
//
// Columns (applyColumns): a column shows when it is in the category's visible set (ColumnSets),
// except Drive while the hits come from fewer than two volumes, and an audio-tag column that is
// empty in the first 2000 rows (refreshEmpty), even when the user ticked it. Every change of the
// shown set, the category, the table's width or a preferred width fits the widths again
// (ColumnFit), and then only the path cells in view are told to read again, since their text is
// cut to the column's width.
//
// Widths and order: the user may move every column and resize every one but the name column,
// between 40 and 4000 points. A resize by the user becomes that column's preferred width; widths
// set by fitting never do. When a drag that resized or moved a column ends, the order and the
// preferred widths are stored (ColumnLayout, "QuorvantaResults2"), and a new table restores them.
//
// The header's context menu is built from headerMenu each time it opens; ticking a column
// toggles it for the current category (toggle), applies the columns and redraws the cells.
//
// The kind style follows the settings store: when "kindStyle" changes, its notice (on the model's
// main queue) repaints the Kind column in the new style; no reset, so the selection and the scroll
// stay.
//
// Threads: main thread. The model and the table must outlive the coordinator.
#pragma once

#include "QuorvantaApp/ResultsTable/CellContext.h"
#include "QuorvantaApp/ResultsTable/CellIcons.h"
#include "QuorvantaApp/model/columns/ColumnFit.h"
#include "QuorvantaApp/model/columns/ColumnSets.h"
#include "platform/notify/Connection.h"
#include "platform/settings/Settings.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>
#include <string_view>

class QMenu;

namespace quorvanta::app {

class AppModel;
class CellDelegate;
class FlatHeader;
class KeyTable;
class ResultSet;
class ResultsModel;

class ResultsCoordinator final : public QObject {
public:
    // Sets the table up (model, delegate, header behaviour, stored order and widths) and shows
    // the empty result set.
    ResultsCoordinator(AppModel& model, KeyTable& table, FlatHeader& header);
    ~ResultsCoordinator() override;

    const std::shared_ptr<const ResultSet>& shown() const;
    ResultsModel& rows() const { return *rows_; }
    const ColumnWidths& preferredWidths() const { return prefWidth_; }
    const ColumnSet& emptyColumns() const { return emptyColumns_; }

    // Follows the model: the sort column of the header, a new result set, a new category.
    void update();
    // Shows `set`: one model reset, then the columns. A set marked resetScroll scrolls to the top
    // and drops the selection; another keeps the scroll offset.
    void show(std::shared_ptr<const ResultSet> set);

    void applyColumns();
    void refreshEmpty();
    void fit();
    void reloadPathCells();

    // The header's column menu, built now for the current category; owned by `parent`.
    QMenu* headerMenu(QWidget* parent);
    // The action of the menu's item for column `id`.
    void toggleColumn(std::string_view id);

private:
    void restoreLayout();
    void saveLayout() const;
    void columnResized(int logical, int newSize);
    void kindStyleChanged();
    void followSort();
    // The columns the table shows now.
    ColumnSet shownColumns() const;

    AppModel& model_;
    platform::Settings& defaults_;
    QPointer<KeyTable> table_;
    FlatHeader& header_;
    CellContext context_;
    CellIcons icons_;
    ResultsModel* rows_;
    CellDelegate* delegate_;
    ColumnWidths prefWidth_;      // every column but name
    bool fitting_ = false;        // the columns are being changed by the table itself
    bool layoutChanged_ = false;  // by the user, since the layout was last stored
    ColumnSet emptyColumns_;
    std::string appliedCategory_;  // the category the columns were applied for
    platform::Connection kindStyleChanges_;
};

}  // namespace quorvanta::app
