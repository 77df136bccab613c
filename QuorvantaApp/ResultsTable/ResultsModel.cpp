#include "QuorvantaApp/ResultsTable/ResultsModel.h"

#include "QuorvantaApp/ResultsTable/CellValues.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaApp/shell/DesktopServices.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/lang/Tr.h"

#include <QMimeData>
#include <QUrl>

#include <algorithm>

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
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (draggable(index.row())) flags |= Qt::ItemIsDragEnabled;
    return flags;
}

bool ResultsModel::draggable(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_->rows().size()) return false;
    const RowKey key = shown_->rows()[static_cast<std::size_t>(row)];
    if (rowPosition(key) >= shown_->vols().size()) return false;
    const VolumeState& volume = *shown_->vols()[rowPosition(key)];
    return !volume.offline.get() && rowEntry(key) < volume.index()->count();
}

QStringList ResultsModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

Qt::DropActions ResultsModel::supportedDragActions() const { return Qt::CopyAction; }

QMimeData* ResultsModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<std::pair<int, int>> ranges;
    for (const int row : rows) ranges.emplace_back(row, row);
    return mimeDataFor(ranges);
}

QMimeData* ResultsModel::mimeDataFor(const std::vector<std::pair<int, int>>& ranges) const {
    QList<QUrl> urls;
    for (const auto& [first, last] : ranges) {
        for (int row = first; row <= last; ++row) {
            if (!draggable(row)) continue;
            const RowKey key = shown_->rows()[static_cast<std::size_t>(row)];
            const std::string path = shown_->vols()[rowPosition(key)]->index()->path(rowEntry(key));
            urls.push_back(QUrl::fromEncoded(QByteArray::fromStdString(fileURI(path)), QUrl::StrictMode));
        }
    }
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace quorvanta::app
