#include "QuorvantaApp/ResultsTable/ResultsModel.h"

#include "QuorvantaApp/ResultsTable/CellValues.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaCore/lang/Tr.h"

namespace quorvanta::app {

ResultsModel::ResultsModel(CellContext& context, QObject* parent)
    : QAbstractTableModel(parent), context_(context), shown_(ResultSet::empty()) {
    context_.setShown({shown_->vols(), shown_->rows(), shown_->terms(), shown_});
}

void ResultsModel::show(std::shared_ptr<const ResultSet> set) {
    beginResetModel();
    shown_ = std::move(set);
    context_.setShown({shown_->vols(), shown_->rows(), shown_->terms(), shown_});
    endResetModel();
}

std::optional<int> ResultsModel::column(std::string_view id) {
    const ColumnDef* def = ColumnDef::byID(id);
    if (!def) return std::nullopt;
    return static_cast<int>(def - ColumnDef::all.data());
}

void ResultsModel::cellsChanged(int column, int first, int last) {
    if (first < 0 || last < first || last >= rowCount() || column < 0 || column >= columnCount()) return;
    Q_EMIT dataChanged(index(first, column), index(last, column));
}

void ResultsModel::allCellsChanged() {
    if (rowCount() == 0) return;
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_->rows().size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ColumnDef::all.size());
}

std::optional<CellContent> ResultsModel::content(const QModelIndex& index) const {
    if (!index.isValid() || index.column() >= columnCount()) return std::nullopt;
    ++cellsBuilt_;
    return cellContent(context_, static_cast<std::size_t>(index.row()),
                       ColumnDef::all[static_cast<std::size_t>(index.column())].id);
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (role != kContentRole && role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const auto cell = content(index);
    if (!cell) return {};
    switch (role) {
        case kContentRole:
            return QVariant::fromValue(*cell);
        case Qt::DisplayRole:
            return QString::fromStdString(cell->text);
        default:
            return cell->tooltip.empty() ? QVariant() : QVariant(QString::fromStdString(cell->tooltip));
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const ColumnDef& def = ColumnDef::all[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromStdString(core::tr(def.title));
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>((def.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace quorvanta::app
