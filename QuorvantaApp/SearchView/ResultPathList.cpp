#include "QuorvantaApp/SearchView/ResultPathList.h"

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaApp/model/search/RowKey.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include <QAbstractListModel>
#include <QScrollBar>

namespace quorvanta::app {

// The rows of one result set, read one line at a time.
class ResultPathList::Rows final : public QAbstractListModel {
public:
    explicit Rows(QObject* parent) : QAbstractListModel(parent) {}

    const std::shared_ptr<const ResultSet>& set() const { return set_; }
    void show(std::shared_ptr<const ResultSet> set) {
        beginResetModel();
        set_ = std::move(set);
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() || !set_ ? 0 : static_cast<int>(set_->rows().size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !set_ || index.row() < 0 ||
            static_cast<std::size_t>(index.row()) >= set_->rows().size())
            return {};
        ++reads_;
        const RowKey row = set_->rows()[static_cast<std::size_t>(index.row())];
        const VolumeState& volume = *set_->vols()[rowPosition(row)];
        return QString::fromStdString(volume.displayPath(volume.index()->path(rowEntry(row))));
    }

    std::uint64_t reads() const { return reads_; }

private:
    std::shared_ptr<const ResultSet> set_;
    mutable std::uint64_t reads_ = 0;
};

// The model's focusTable while this list is installed; told apart from another list's by `list`.
struct ResultPathList::Focus {
    ResultPathList* list;
    void operator()() const { list->takeFocus(); }
};

ResultPathList::ResultPathList(AppModel& model, QWidget* parent)
    : QListView(parent), model_(model), rows_(new Rows(this)), refresh_(this, [this] { refresh(); }) {
    setModel(rows_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    setFrameShape(QFrame::NoFrame);
    // The lines lie on the results area's ground.
    QPalette lines = palette();
    lines.setColor(QPalette::Base, Qt::transparent);
    setPalette(lines);
    model_.focusTable = Focus{this};
    refresh_.follow(model_.objectWillChange);
    refresh();
}

ResultPathList::~ResultPathList() {
    // A list built later (a rebuilt window) may have installed its own by now.
    if (const auto* installed = model_.focusTable.target<Focus>(); installed && installed->list == this)
        model_.focusTable = nullptr;
}

const std::shared_ptr<const ResultSet>& ResultPathList::shown() const { return rows_->set(); }

std::uint64_t ResultPathList::linesReadForTesting() const { return rows_->reads(); }

void ResultPathList::takeFocus() {
    setFocus(Qt::OtherFocusReason);
    if (!currentIndex().isValid() && rows_->rowCount({}) > 0) setCurrentIndex(rows_->index(0));
}

void ResultPathList::refresh() {
    const auto& results = model_.results.get();
    if (results == rows_->set()) return;
    // A new set that keeps the scroll (a re-run after file changes) stays where the user was.
    const int kept = verticalScrollBar()->value();
    rows_->show(results);
    if (results->resetScroll()) {
        clearSelection();
        scrollToTop();
    } else {
        updateGeometries();
        verticalScrollBar()->setValue(kept);
    }
}

}  // namespace quorvanta::app
