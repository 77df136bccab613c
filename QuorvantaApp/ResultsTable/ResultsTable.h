// The results table: the hits of the application model's current search as rows, one per hit,
// with the columns of the category (ResultsCoordinator.h) and cells read from the volume indexes
// only when drawn (ResultsModel.h, CellDelegate.h), so that it stays fast with millions of rows.
// It fills the search view's results area.
//
// It shows each new result set the model publishes, one turn of the event loop after the model
// changed (a set marked resetScroll scrolls back to the top and drops the selection), keeps the
// header's sort column in step with the model's sort, and redraws when a volume of the shown set
// changes (a drive that goes offline turns its rows faint). While it lives it is the model's
// focusTable: the search field's Return and Down keys move the focus into it, selecting the first
// row when none is.
//
// Threads: main thread. The model must outlive the table.
#pragma once

#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/Widgets/VolumeFollower.h"

#include <QWidget>

#include <memory>

namespace quorvanta::app {

class AppModel;
class FlatHeader;
class KeyTable;

class ResultsTable final : public QWidget {
public:
    // With the application's services (TableServices::application()).
    explicit ResultsTable(AppModel& model, QWidget* parent = nullptr);
    ResultsTable(AppModel& model, TableServices services, QWidget* parent = nullptr);
    ~ResultsTable() override;

    KeyTable& table() const { return *table_; }
    FlatHeader& header() const { return *header_; }
    ResultsCoordinator& coordinator() const { return *coordinator_; }

    // Takes the keyboard focus; selects the first row when no row is selected.
    void takeFocus();

private:
    struct Focus;

    void refresh();

    AppModel& model_;
    KeyTable* table_;
    FlatHeader* header_;
    std::unique_ptr<ResultsCoordinator> coordinator_;  // before the table and header go
    CoalescedRefresh refresh_;
    // Last: dropped first, so no observer runs into a table being destroyed.
    VolumeFollower volumes_{refresh_};
};

}  // namespace quorvanta::app
