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
// Reloads (show): a new result set is one model reset. A set marked resetScroll scrolls to the
// top and drops the selection; any other keeps the scroll offset and selects again the files that
// were selected (the first 50 of them), found within 3000 rows of where they were. While a rename
// is open (setRenameSession) new result sets wait, so the field stays over its row. Two requests
// of the file actions wait for later reloads: a path to select once it shows up among the first
// 200,000 rows (dropped after five reloads without it), and a row to select, applied by the first
// reload that keeps the scroll, clamped to the last row, when nothing is selected.
//
// Sorting: the header's sort indicator follows the model's sort key and direction. A click on a
// column with a sort order asks the model to sort by it (setSort); a click on one without leaves
// the indicator where it was and asks nothing. Changes the coordinator makes itself are made under
// applyingSort, so they never call back into the model.
//
// A change of the interface language (Lang's notice, on the model's main queue) retitles the
// columns and rereads every cell in the new language (numbers, dates, kind descriptions); the
// widths stay as they are.
//
// The lazy columns (play time, pixel size, pages, last opened) read per-file metadata through
// MetaRequests: a cell drawn asks for it, and when it lands that row's lazy cells are read again.
// Every new result set resets the requests.
//
// A change of the selection calls selectionChanged, except while a reload restores it; an open
// preview then shows the new selection, unless it holds a row of an offline drive.
//
// Acting on rows (ResultsActions.cpp). The acted-on rows are the selected rows, or, when nothing
// is selected, the row the context menu was opened on; rows past the shown set are left out. They
// are kept as ranges, so that a selection of millions of rows costs nothing until an action needs
// its files:
//   - openSelected: each file opened with the desktop's default program, one request per file, in
//     row order (a file URI of the raw path bytes, DesktopServices.h);
//   - reveal: the files shown in the file manager;
//   - quickLook: the preview window toggled over the files (PreviewPanel.h), when there is one;
//   - copyPath: the full paths, one per line in row order and without a final line feed, as plain
//     text on the clipboard (emptied first); names that are not UTF-8 are repaired for the text.
//     Rows of offline drives are copied too; with no row the text is empty;
//   - renameSelected, trashSelected: the file actions' flows, when they are set.
// Rows of a drive that is not connected never reach the desktop: opening, revealing and
// previewing them shows the offline alert (alertOffline) instead and does nothing else, and such
// a row cannot be dragged.
//
// Keys and mouse (KeyTable.h): Return and a double click open, Ctrl+Return reveals, Space
// previews, Ctrl+C and the Edit menu's Copy copy the paths, F2 renames and Backspace or Delete
// move to the Trash. The row context menu holds Open, Show in File Manager, Copy path, Preview, a
// separator, Rename … (F2) and Move to Trash (Delete); it is built anew on every language change.
// Dragging rows out carries their files' URIs, for the copy action only.
//
// Threads: main thread. The model, the table and the services must outlive the coordinator.
#pragma once

#include "QuorvantaApp/ResultsTable/CellContext.h"
#include "QuorvantaApp/ResultsTable/CellIcons.h"
#include "QuorvantaApp/model/columns/ColumnFit.h"
#include "QuorvantaApp/model/columns/ColumnSets.h"
#include "platform/notify/Connection.h"
#include "platform/settings/Settings.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

class QMenu;
class QMimeData;

namespace quorvanta::app {

class AppModel;
class CellDelegate;
class DesktopServices;
class DialogPresenter;
class FlatHeader;
class KeyTable;
class MetaRequests;
class PreviewPanel;
class ResultSet;
class ResultsModel;
class VolumeState;

// What the table asks of the world outside it.
struct TableServices {
    DesktopServices& desktop;
    DialogPresenter& dialogs;
    PreviewPanel& preview;

    // The application's own: the desktop's opener and file manager, Qt's alerts, the one preview
    // window of the process.
    static TableServices application();
};

class ResultsCoordinator final : public QObject {
public:
    // Rows first..last (inclusive), ascending and apart.
    using RowRanges = std::vector<std::pair<int, int>>;

    // A selected row and the file it shows: the volume and its entry index.
    struct SelectedEntry {
        int row;
        std::shared_ptr<VolumeState> vol;
        std::uint32_t entry;
    };
    // A file to select once it shows up, with the reloads that went by without it.
    struct PendingPath {
        std::string path;
        int tries = 0;
    };

    static constexpr std::size_t kKeptSelection = 50;      // selected entries a reload keeps
    static constexpr int kSelectionWindow = 3000;          // rows a kept entry may have moved
    static constexpr std::size_t kPendingPathRows = 200'000;  // rows searched for a pending path
    static constexpr int kPendingPathTries = 5;            // reloads a pending path waits
    static constexpr int kTypeSelectRows = 10'000;          // names type-to-select compares at most

    // Sets the table up (model, delegate, header behaviour, stored order and widths, keys and
    // menu) and shows the empty result set.
    ResultsCoordinator(AppModel& model, KeyTable& table, FlatHeader& header, TableServices services);
    ~ResultsCoordinator() override;

    const std::shared_ptr<const ResultSet>& shown() const;
    ResultsModel& rows() const { return *rows_; }
    MetaRequests& metaRequests() const { return *meta_; }
    const ColumnWidths& preferredWidths() const { return prefWidth_; }
    const ColumnSet& emptyColumns() const { return emptyColumns_; }

    // Follows the model: the sort column of the header, a new result set, a new category.
    void update();
    // Shows `set`: one model reset, then the columns. A set marked resetScroll scrolls to the top
    // and drops the selection; another keeps the scroll offset.
    void show(std::shared_ptr<const ResultSet> set);

    // The first `max` selected rows in ascending order with their files, read from the
    // selection's ranges; rows beyond the shown set are left out.
    std::vector<SelectedEntry> selectedEntries(std::size_t max) const;
    // Selects the rows that show the remembered files now: each at its old row, or else the first
    // such row within kSelectionWindow rows of it. Files not found are dropped; with none found
    // nothing stays selected.
    void restoreSelection(const std::vector<SelectedEntry>& entries);

    // Set by the rename flow: a file to select once it shows up, a row to select after the next
    // reload that keeps the scroll.
    void setPendingSelectPath(std::string path) { pendingSelectPath_ = PendingPath{std::move(path), 0}; }
    const std::optional<PendingPath>& pendingSelectPath() const { return pendingSelectPath_; }
    void setPendingSelectRow(int row) { pendingSelectRow_ = row; }
    const std::optional<int>& pendingSelectRow() const { return pendingSelectRow_; }

    // Whether a rename field is open over the table. While it is, new result sets wait; closing
    // it shows the newest.
    void setRenameSession(bool open);
    bool renameSession() const { return renameSession_; }

    // Called when the user's selection changes (the preview follows it).
    std::function<void()> selectionChanged;

    // The interface language changed: new titles, cells read again, widths kept.
    void languageChanged();

    void applyColumns();
    void refreshEmpty();
    void fit();
    void reloadPathCells();

    // The acted-on rows (see above).
    RowRanges actedOnRows() const;
    void openSelected();
    void reveal();
    void quickLook();
    void copyPath();
    // The file URIs of the acted-on rows, in row order.
    std::vector<std::string> selectedURLs() const;
    // The volume of the first acted-on row on an offline drive; none when there is none.
    std::shared_ptr<VolumeState> offlineSelection() const;
    // Tells that `volume` is not connected, in a modal alert.
    void alertOffline(const VolumeState& volume);
    // The rename and Trash flows of the file actions; unset, their keys and items do nothing.
    std::function<void()> renameSelected;
    std::function<void()> trashSelected;

    // The row context menu, and the row it was last opened on (-1: none, or closed).
    QMenu* contextMenu() const { return contextMenu_; }
    int clickedRow() const { return clickedRow_; }
    // Opens the row context menu for the row at `at` (viewport coordinates).
    void showContextMenu(const QPoint& at, const QPoint& global);
    // What dragging the selected rows carries: the file URIs of those on connected drives; none
    // when there is no such row.
    QMimeData* dragData() const;
    // Type-to-select: the first row, from `from` on and around, whose name starts with `typed`,
    // comparing at most kTypeSelectRows names.
    std::optional<int> typeSelect(const QString& typed, int from) const;
    // Test seam: how many names type-to-select compared so far.
    std::uint64_t namesComparedForTesting() const { return namesCompared_; }

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
    void sortClicked(int column, Qt::SortOrder order);
    void metaLoaded(std::size_t row);
    void selectPendingPath();
    void selectPendingRow(bool resetScroll);
    // Selects `rows` (ascending) alone, as few ranges as they make.
    void selectRows(const std::vector<int>& rows);
    // The selected rows as ranges, clipped to the shown set.
    RowRanges selectedRanges() const;
    // The full paths of the rows in `ranges`, in order.
    std::vector<std::string> pathsOf(const RowRanges& ranges) const;
    // The volume of the first row of `ranges` on an offline drive; none when there is none.
    std::shared_ptr<VolumeState> offlineIn(const RowRanges& ranges) const;
    // Whether `ranges` hold a row of an offline drive; if so, alerts and answers true.
    bool refuseOffline(const RowRanges& ranges);
    void installActions();
    void buildContextMenu();
    // The selection changed: an open preview shows the acted-on rows, unless one is offline.
    void previewChanged();
    // The columns the table shows now.
    ColumnSet shownColumns() const;

    AppModel& model_;
    TableServices services_;
    platform::Settings& defaults_;
    QPointer<KeyTable> table_;
    FlatHeader& header_;
    CellContext context_;
    CellIcons icons_;
    ResultsModel* rows_;
    MetaRequests* meta_;
    CellDelegate* delegate_;
    ColumnWidths prefWidth_;      // every column but name
    bool fitting_ = false;        // the columns are being changed by the table itself
    bool layoutChanged_ = false;  // by the user, since the layout was last stored
    ColumnSet emptyColumns_;
    std::string appliedCategory_;  // the category the columns were applied for
    std::optional<PendingPath> pendingSelectPath_;
    std::optional<int> pendingSelectRow_;
    bool renameSession_ = false;
    bool applyingSort_ = false;        // the sort indicator is being set by the coordinator
    bool restoringSelection_ = false;  // a reload selects again what was selected
    QMenu* contextMenu_ = nullptr;
    int clickedRow_ = -1;
    mutable std::uint64_t namesCompared_ = 0;
    platform::Connection kindStyleChanges_;
    platform::Connection languageChanges_;
};

}  // namespace quorvanta::app
