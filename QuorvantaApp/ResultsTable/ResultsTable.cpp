#include "QuorvantaApp/ResultsTable/ResultsTable.h"

#include "QuorvantaApp/ResultsTable/FlatHeader.h"
#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/search/ResultSet.h"

#include <QItemSelectionModel>
#include <QVBoxLayout>

namespace quorvanta::app {

// The model's focusTable while this table is installed; told apart from another's by `table`.
struct ResultsTable::Focus {
    ResultsTable* table;
    void operator()() const { table->takeFocus(); }
};

ResultsTable::ResultsTable(AppModel& model, QWidget* parent)
    : ResultsTable(model, TableServices::application(), parent) {}

ResultsTable::ResultsTable(AppModel& model, TableServices services, QWidget* parent)
    : QWidget(parent),
      model_(model),
      table_(new KeyTable(this)),
      header_(new FlatHeader(table_)),
      coordinator_(std::make_unique<ResultsCoordinator>(model_, *table_, *header_, services)),
      refresh_(this, [this] { refresh(); }) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(table_);
    model_.focusTable = Focus{this};
    refresh_.follow(model_.objectWillChange);
    refresh();
}

ResultsTable::~ResultsTable() {
    // A table built later (a rebuilt window) may have installed its own by now.
    if (const auto* installed = model_.focusTable.target<Focus>(); installed && installed->table == this)
        model_.focusTable = nullptr;
}

void ResultsTable::takeFocus() {
    table_->setFocus(Qt::OtherFocusReason);
    const auto& rows = coordinator_->rows();
    if (!table_->selectionModel()->hasSelection() && rows.rowCount() > 0) {
        table_->selectionModel()->setCurrentIndex(rows.index(0, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void ResultsTable::refresh() {
    coordinator_->update();
    volumes_.follow(coordinator_->shown()->vols());
    table_->viewport()->update();
}

}  // namespace quorvanta::app
