#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"

#include "QuorvantaApp/ResultsTable/CellDelegate.h"
#include "QuorvantaApp/ResultsTable/FlatHeader.h"
#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/MetaRequests.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/columns/ColumnLayout.h"
#include "QuorvantaApp/model/columns/HeaderMenu.h"
#include "QuorvantaApp/model/columns/KindStyle.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/lang/Tr.h"
#include "platform/notify/NotificationCenter.h"

#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace quorvanta::app {
namespace {

// How many rows refreshEmpty looks at.
constexpr std::size_t kEmptyScanRows = 2000;

int columnOf(std::string_view id) { return *ResultsModel::column(id); }
const int kNameColumn = columnOf("name");

CellContext::Setup cellSetup(const platform::Settings& d, CellContext::MetaLookup meta) {
    CellContext::Setup setup{core::Lang::locale(), core::Calendar::current(), kindStyle(d), {}, std::move(meta)};
    setup.measure = [metrics = QFontMetricsF(Fonts::system(CellDelegate::kFontSize))](std::string_view text) {
        return metrics.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    return setup;
}

}  // namespace

ResultsCoordinator::ResultsCoordinator(AppModel& model, KeyTable& table, FlatHeader& header, TableServices services)
    : model_(model),
      services_(services),
      defaults_(model.defaults()),
      table_(&table),
      header_(header),
      context_(cellSetup(defaults_,
                         [this](const VolumeState& volume, std::size_t row, std::uint32_t entry) {
                             return meta_->meta(*volume.index(), row, entry);
                         })),
      rows_(new ResultsModel(context_, this)),
      meta_(new MetaRequests([this](std::size_t row) { metaLoaded(row); }, this)),
      delegate_(new CellDelegate(icons_, this)) {
    table.setHorizontalHeader(&header);
    table.setModel(rows_);
    table.setItemDelegate(delegate_);
    // A double click on a column's edge would size it to its contents, reading thousands of rows.
    QObject::disconnect(&header, SIGNAL(sectionHandleDoubleClicked(int)), &table, nullptr);

    header.setSectionsMovable(true);
    header.setStretchLastSection(false);
    header.setMinimumSectionSize(static_cast<int>(ColumnLayout::kMinimumWidth));
    header.setMaximumSectionSize(static_cast<int>(ColumnLayout::kMaximumWidth));
    header.setSectionResizeMode(QHeaderView::Interactive);
    header.setSectionResizeMode(kNameColumn, QHeaderView::Fixed);
    header.setSectionsClickable(true);
    QObject::connect(&header, &QHeaderView::sortIndicatorChanged, this,
                     [this](int column, Qt::SortOrder order) { sortClicked(column, order); });
    restoreLayout();

    QObject::connect(&header, &QHeaderView::sectionResized, this,
                     [this](int logical, int, int newSize) { columnResized(logical, newSize); });
    QObject::connect(&header, &QHeaderView::sectionMoved, this, [this] {
        if (!fitting_) layoutChanged_ = true;
    });
    header.dragEnded = [this] {
        if (!layoutChanged_) return;
        layoutChanged_ = false;
        saveLayout();
    };
    header.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&header, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = headerMenu(&header_);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(header_.viewport()->mapToGlobal(at));
    });
    table.viewportResized = [this] { fit(); };
    QObject::connect(table.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (restoringSelection_) return;
        if (selectionChanged) selectionChanged();
        previewChanged();
    });
    installActions();

    kindStyleChanges_ = defaults_.observe(kindStyleKey, model_.mainQueue(), [this] { kindStyleChanged(); });
    languageChanges_ = platform::NotificationCenter::standard().observe(core::Lang::didChange, model_.mainQueue(),
                                                                        [this] { languageChanged(); });
    followSort();
    applyColumns();
}

ResultsCoordinator::~ResultsCoordinator() {
    if (!table_) return;
    table_->viewportResized = nullptr;
    table_->onSpace = table_->onReturn = table_->onReveal = table_->onCopy = table_->onRename = table_->onTrash =
        nullptr;
    table_->typeSelect = nullptr;
    table_->onContextMenu = nullptr;
    table_->dragData = nullptr;
    header_.dragEnded = nullptr;
    // The model and the delegate read the context, which goes first.
    table_->setItemDelegate(nullptr);
    table_->setModel(nullptr);
}

const std::shared_ptr<const ResultSet>& ResultsCoordinator::shown() const { return rows_->shown(); }

void ResultsCoordinator::update() {
    followSort();
    if (renameSession_) return;
    const auto& results = model_.results.get();
    if (results != rows_->shown())
        show(results);
    else if (model_.filter->id != appliedCategory_)
        applyColumns();
}

void ResultsCoordinator::show(std::shared_ptr<const ResultSet> set) {
    if (!table_) return;
    const bool reset = set->resetScroll();
    const int kept = table_->verticalScrollBar()->value();
    // The reset drops the view's selection: note the files first.
    std::vector<SelectedEntry> selected;
    if (!reset) selected = selectedEntries(kKeptSelection);
    meta_->reset();
    rows_->show(std::move(set));
    applyColumns();
    if (reset) {
        table_->clearSelection();
        table_->scrollToTop();
    } else {
        table_->doItemsLayout();  // the scroll range of the new rows
        table_->verticalScrollBar()->setValue(kept);
        restoreSelection(selected);
    }
    selectPendingPath();
    selectPendingRow(reset);
}

void ResultsCoordinator::setRenameSession(bool open) {
    renameSession_ = open;
    if (!open) update();
}

std::vector<ResultsCoordinator::SelectedEntry> ResultsCoordinator::selectedEntries(std::size_t max) const {
    std::vector<SelectedEntry> entries;
    if (!table_ || max == 0) return entries;
    const ResultSet& set = *rows_->shown();
    for (const auto& [top, bottom] : selectedRanges()) {
        for (int row = top; row <= bottom; ++row) {
            const RowKey key = set.rows()[static_cast<std::size_t>(row)];
            if (rowPosition(key) < set.vols().size())
                entries.push_back({row, set.vols()[rowPosition(key)], rowEntry(key)});
            if (entries.size() == max) return entries;
        }
    }
    return entries;
}

void ResultsCoordinator::restoreSelection(const std::vector<SelectedEntry>& entries) {
    if (!table_) return;
    const ResultSet& set = *rows_->shown();
    const int rows = static_cast<int>(set.rows().size());
    const auto shows = [&](int row, const SelectedEntry& entry) {
        const RowKey key = set.rows()[static_cast<std::size_t>(row)];
        return rowEntry(key) == entry.entry && rowPosition(key) < set.vols().size() &&
               set.vols()[rowPosition(key)] == entry.vol;
    };
    std::vector<int> found;
    for (const SelectedEntry& entry : entries) {
        if (entry.row < rows && shows(entry.row, entry)) {
            found.push_back(entry.row);
            continue;
        }
        const int last = std::min(entry.row + kSelectionWindow, rows - 1);
        for (int row = std::max(entry.row - kSelectionWindow, 0); row <= last; ++row) {
            if (shows(row, entry)) {
                found.push_back(row);
                break;
            }
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    const QScopedValueRollback guard(restoringSelection_, true);
    selectRows(found);
}

void ResultsCoordinator::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    const int lastColumn = rows_->columnCount() - 1;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1) ++end;
        selection.select(rows_->index(rows[i], 0), rows_->index(rows[end - 1], lastColumn));
        i = end;
    }
    table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ResultsCoordinator::selectPendingPath() {
    if (!pendingSelectPath_) return;
    const ResultSet& set = *rows_->shown();
    const std::size_t rows = std::min(set.rows().size(), kPendingPathRows);
    for (std::size_t r = 0; r < rows; ++r) {
        const RowKey key = set.rows()[r];
        if (rowPosition(key) >= set.vols().size()) continue;
        const core::VolumeIndex& index = *set.vols()[rowPosition(key)]->index();
        if (rowEntry(key) >= index.count() || index.path(rowEntry(key)) != pendingSelectPath_->path) continue;
        const int row = static_cast<int>(r);
        selectRows({row});
        table_->scrollTo(rows_->index(row, kNameColumn));
        pendingSelectPath_.reset();
        return;
    }
    if (++pendingSelectPath_->tries >= kPendingPathTries) pendingSelectPath_.reset();
}

void ResultsCoordinator::selectPendingRow(bool resetScroll) {
    if (!pendingSelectRow_ || resetScroll) return;
    const int pending = *pendingSelectRow_;
    pendingSelectRow_.reset();
    const int rows = rows_->rowCount();
    if (rows > 0 && !table_->selectionModel()->hasSelection()) selectRows({std::clamp(pending, 0, rows - 1)});
}

void ResultsCoordinator::applyColumns() {
    if (!table_) return;
    refreshEmpty();
    appliedCategory_ = model_.filter->id;
    const ColumnSet visible = ColumnSets::visible(appliedCategory_, defaults_);
    const bool oneVolume = rows_->shown()->hitVolumes() < 2;
    {
        // Hiding and showing a section tell of a resize, which is not the user's.
        const QScopedValueRollback guard(fitting_, true);
        for (std::size_t c = 0; c < ColumnDef::all.size(); ++c) {
            const std::string_view id = ColumnDef::all[c].id;
            const bool hidden = !visible.contains(id) || (id == "drive" && oneVolume) ||
                                (ColumnDef::isAudioTag(id) && emptyColumns_.contains(id));
            if (table_->isColumnHidden(static_cast<int>(c)) != hidden)
                table_->setColumnHidden(static_cast<int>(c), hidden);
        }
    }
    fit();
}

void ResultsCoordinator::refreshEmpty() {
    const ResultSet& set = *rows_->shown();
    ColumnSet filled;
    const std::size_t rows = std::min(set.rows().size(), kEmptyScanRows);
    for (std::size_t r = 0; r < rows && filled.size() < ColumnDef::audioTags.size(); ++r) {
        const RowKey key = set.rows()[r];
        if (rowPosition(key) >= set.vols().size()) continue;
        const core::VolumeIndex& index = *set.vols()[rowPosition(key)]->index();
        if (rowEntry(key) >= index.count()) continue;
        const auto audio = context_.audioMeta(index, rowEntry(key));
        if (!audio) continue;
        const auto mark = [&](std::string_view id, bool present) {
            if (present) filled.emplace(id);
        };
        mark("artist", !audio->artist.empty());
        mark("title", !audio->title.empty());
        mark("album", !audio->album.empty());
        mark("genre", !audio->genre.empty());
        mark("key", !audio->key.empty());
        mark("year", audio->year != 0);
        mark("bpm", audio->bpm10 != 0);
        mark("codec", audio->codec != core::AudioCodec::unknown);
        mark("bits", audio->bits != 0);
        mark("channels", audio->channels != 0);
    }
    emptyColumns_.clear();
    for (const std::string_view id : ColumnDef::audioTags)
        if (!filled.contains(id)) emptyColumns_.emplace(id);
}

ColumnSet ResultsCoordinator::shownColumns() const {
    ColumnSet shown;
    for (std::size_t c = 0; c < ColumnDef::all.size(); ++c)
        if (!table_->isColumnHidden(static_cast<int>(c))) shown.emplace(ColumnDef::all[c].id);
    return shown;
}

void ResultsCoordinator::fit() {
    if (!table_ || fitting_) return;
    const QScopedValueRollback guard(fitting_, true);
    const double available = table_->viewport()->width();
    const QFontMetricsF titles(FlatHeader::titleFont(true));
    const auto widths = ColumnFit::fit(prefWidth_, shownColumns(), available, [&](const ColumnDef& column) {
        return titles.horizontalAdvance(QString::fromStdString(core::tr(column.title)));
    });
    // Sections are whole points: the name column takes what the rounded others leave.
    int others = 0;
    for (std::size_t c = 0; c < widths.size(); ++c) {
        const int column = static_cast<int>(c);
        if (column == kNameColumn) continue;
        const int width = static_cast<int>(std::lround(widths[c]));
        if (!table_->isColumnHidden(column)) others += width;
        if (header_.sectionSize(column) != width) header_.resizeSection(column, width);
    }
    const int name =
        std::max(static_cast<int>(ColumnFit::kNameMinimum), static_cast<int>(std::floor(available)) - others);
    if (header_.sectionSize(kNameColumn) != name) header_.resizeSection(kNameColumn, name);
    reloadPathCells();
}

void ResultsCoordinator::reloadPathCells() {
    const int path = columnOf("path");
    if (!table_ || table_->isColumnHidden(path)) return;
    context_.setPathColumnWidth(header_.sectionSize(path));
    if (const auto inView = table_->rowsInView()) rows_->cellsChanged(path, inView->first, inView->second);
}

void ResultsCoordinator::columnResized(int logical, int newSize) {
    if (fitting_ || logical == kNameColumn || logical < 0 || static_cast<std::size_t>(logical) >= ColumnDef::all.size())
        return;
    prefWidth_[std::string(ColumnDef::all[static_cast<std::size_t>(logical)].id)] = newSize;
    layoutChanged_ = true;
    fit();
}

void ResultsCoordinator::restoreLayout() {
    const QScopedValueRollback guard(fitting_, true);
    const ColumnLayout stored = ColumnLayout::load(defaults_);
    for (const ColumnDef& def : ColumnDef::all)
        if (def.id != "name") prefWidth_[std::string(def.id)] = def.width;
    for (const auto& [id, width] : stored.widths) prefWidth_[id] = width;
    // The stored ids first, in their order; columns it does not name keep catalogue order after.
    int place = 0;
    for (const auto& id : stored.order) {
        const int from = header_.visualIndex(columnOf(id));
        if (from != place) header_.moveSection(from, place);
        ++place;
    }
    for (std::size_t c = 0; c < ColumnDef::all.size(); ++c) {
        const int column = static_cast<int>(c);
        header_.resizeSection(column,
                              column == kNameColumn
                                  ? static_cast<int>(ColumnDef::all[c].width)
                                  : static_cast<int>(std::lround(prefWidth_.at(std::string(ColumnDef::all[c].id)))));
    }
}

void ResultsCoordinator::saveLayout() const {
    ColumnLayout layout;
    for (int visual = 0; visual < header_.count(); ++visual)
        layout.order.emplace_back(ColumnDef::all[static_cast<std::size_t>(header_.logicalIndex(visual))].id);
    // Only what the user chose: columns at their default width follow the default.
    for (const auto& [id, width] : prefWidth_)
        if (width != ColumnDef::byID(id)->width) layout.widths[id] = width;
    layout.save(defaults_);
}

QMenu* ResultsCoordinator::headerMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const HeaderMenuEntry& entry : app::headerMenu(ColumnSets::visible(model_.filter->id, defaults_))) {
        switch (entry.kind) {
            case HeaderMenuEntry::Kind::separator:
                menu->addSeparator();
                break;
            case HeaderMenuEntry::Kind::heading:
                menu->addAction(QString::fromStdString(core::tr(entry.title)))->setEnabled(false);
                break;
            case HeaderMenuEntry::Kind::item: {
                QAction* item = menu->addAction(QString::fromStdString(core::tr(entry.title)));
                item->setCheckable(true);
                item->setChecked(entry.checked);
                item->setData(QString::fromUtf8(entry.id.data(), static_cast<qsizetype>(entry.id.size())));
                QObject::connect(item, &QAction::triggered, this,
                                 [this, id = std::string(entry.id)] { toggleColumn(id); });
                break;
            }
        }
    }
    return menu;
}

void ResultsCoordinator::toggleColumn(std::string_view id) {
    toggle(id, model_.filter->id, defaults_);
    applyColumns();
    rows_->allCellsChanged();
}

void ResultsCoordinator::metaLoaded(std::size_t row) {
    const int at = static_cast<int>(row);
    for (std::size_t c = 0; c < ColumnDef::all.size(); ++c)
        if (ColumnDef::all[c].lazy) rows_->cellsChanged(static_cast<int>(c), at, at);
}

void ResultsCoordinator::languageChanged() {
    context_.languageChanged(core::Lang::locale());
    buildContextMenu();
    rows_->headerDataChanged(Qt::Horizontal, 0, rows_->columnCount() - 1);
    rows_->allCellsChanged();
    header_.viewport()->update();
}

void ResultsCoordinator::kindStyleChanged() {
    const KindStyle style = kindStyle(defaults_);
    if (style == context_.kindStyle()) return;
    context_.setKindStyle(style);
    rows_->cellsChanged(columnOf("kind"), 0, rows_->rowCount() - 1);
}

void ResultsCoordinator::followSort() {
    int column = -1;
    for (std::size_t c = 0; c < ColumnDef::all.size(); ++c)
        if (ColumnDef::all[c].sort == model_.sortKey.get()) column = static_cast<int>(c);
    const Qt::SortOrder order = model_.sortDesc.get() ? Qt::DescendingOrder : Qt::AscendingOrder;
    if (header_.sortIndicatorSection() == column && header_.sortIndicatorOrder() == order) return;
    const QScopedValueRollback guard(applyingSort_, true);
    header_.setSortIndicator(column, order);
}

void ResultsCoordinator::sortClicked(int column, Qt::SortOrder order) {
    if (applyingSort_) return;
    const auto key = column >= 0 && static_cast<std::size_t>(column) < ColumnDef::all.size()
                         ? ColumnDef::all[static_cast<std::size_t>(column)].sort
                         : std::nullopt;
    if (!key) {
        followSort();  // back to the model's column
        return;
    }
    model_.setSort(*key, order == Qt::DescendingOrder);
}

}  // namespace quorvanta::app
