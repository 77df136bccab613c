// The results table's actions on its rows: open, reveal, preview, copy, drag, the context menu,
// the offline refusal and type-to-select (ResultsCoordinator.h).
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"

#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/MetaRequests.h"
#include "QuorvantaApp/ResultsTable/PreviewPanel.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaApp/shell/DesktopServices.h"
#include "QuorvantaApp/shell/DialogPresenter.h"
#include "QuorvantaCore/index/EntryFlags.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/json/UTF8Repair.h"
#include "QuorvantaCore/lang/Tr.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>

#include <algorithm>

namespace quorvanta::app {
namespace {

// The volume and entry of one row of `set`; none past its volumes.
struct RowFile {
    const VolumeState* volume;
    std::uint32_t entry;
};

std::optional<RowFile> rowFile(const ResultSet& set, int row) {
    const RowKey key = set.rows()[static_cast<std::size_t>(row)];
    if (rowPosition(key) >= set.vols().size()) return std::nullopt;
    const VolumeState* volume = set.vols()[rowPosition(key)].get();
    if (rowEntry(key) >= volume->index()->count()) return std::nullopt;
    return RowFile{volume, rowEntry(key)};
}

}  // namespace

TableServices TableServices::application() {
    static XdgDesktopServices desktop;
    static QtDialogs dialogs;
    return TableServices{desktop, dialogs, PreviewPanel::shared()};
}

ResultsCoordinator::RowRanges ResultsCoordinator::selectedRanges() const {
    RowRanges ranges;
    if (!table_) return ranges;
    const int rows = static_cast<int>(rows_->shown()->rows().size());
    // Ranges come in the order they were made and may overlap: sort and merge them.
    RowRanges made;
    for (const QItemSelectionRange& range : table_->selectionModel()->selection())
        if (range.top() < rows) made.emplace_back(range.top(), std::min(range.bottom(), rows - 1));
    std::sort(made.begin(), made.end());
    for (const auto& [top, bottom] : made) {
        if (!ranges.empty() && top <= ranges.back().second + 1)
            ranges.back().second = std::max(ranges.back().second, bottom);
        else
            ranges.emplace_back(top, bottom);
    }
    return ranges;
}

ResultsCoordinator::RowRanges ResultsCoordinator::actedOnRows() const {
    RowRanges ranges = selectedRanges();
    if (ranges.empty() && clickedRow_ >= 0 && clickedRow_ < static_cast<int>(rows_->shown()->rows().size()))
        ranges.emplace_back(clickedRow_, clickedRow_);
    return ranges;
}

std::vector<std::string> ResultsCoordinator::pathsOf(const RowRanges& ranges) const {
    std::vector<std::string> paths;
    const ResultSet& set = *rows_->shown();
    for (const auto& [first, last] : ranges)
        for (int row = first; row <= last; ++row)
            if (const auto file = rowFile(set, row)) paths.push_back(file->volume->index()->path(file->entry));
    return paths;
}

std::shared_ptr<VolumeState> ResultsCoordinator::offlineIn(const RowRanges& ranges) const {
    const ResultSet& set = *rows_->shown();
    for (const auto& [first, last] : ranges) {
        for (int row = first; row <= last; ++row) {
            const RowKey key = set.rows()[static_cast<std::size_t>(row)];
            if (rowPosition(key) >= set.vols().size()) continue;
            const auto& volume = set.vols()[rowPosition(key)];
            if (volume->offline.get()) return volume;
        }
    }
    return nullptr;
}

std::shared_ptr<VolumeState> ResultsCoordinator::offlineSelection() const { return offlineIn(actedOnRows()); }

void ResultsCoordinator::alertOffline(const VolumeState& volume) {
    Alert alert;
    alert.style = Alert::Style::warning;
    alert.message = core::tr("“%@” is not connected", volume.name());
    alert.informative = core::tr(
        "The file is on a drive that is not connected right now. The catalog stays searchable; opening and "
        "showing work again as soon as the drive is back.");
    services_.dialogs.alert(alert, table_ ? table_->window() : nullptr);
}

bool ResultsCoordinator::refuseOffline(const RowRanges& ranges) {
    const auto volume = offlineIn(ranges);
    if (!volume) return false;
    alertOffline(*volume);
    return true;
}

void ResultsCoordinator::openSelected() {
    const RowRanges ranges = actedOnRows();
    if (refuseOffline(ranges)) return;
    for (const auto& path : pathsOf(ranges)) services_.desktop.openUrl(fileURI(path));
}

void ResultsCoordinator::reveal() {
    const RowRanges ranges = actedOnRows();
    if (refuseOffline(ranges)) return;
    const auto paths = pathsOf(ranges);
    if (!paths.empty()) services_.desktop.reveal(paths);
}

std::vector<std::string> ResultsCoordinator::selectedURLs() const {
    std::vector<std::string> urls;
    for (const auto& path : pathsOf(actedOnRows())) urls.push_back(fileURI(path));
    return urls;
}

void ResultsCoordinator::copyPath() {
    std::string text;
    bool first = true;
    for (const auto& path : pathsOf(actedOnRows())) {
        if (!first) text.push_back('\n');
        first = false;
        text += core::repairUTF8(path);
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
}

namespace {

// The files of `ranges` of `set` as a preview list: the file at a place is made when asked for.
PreviewItems previewItems(std::shared_ptr<const ResultSet> set, ResultsCoordinator::RowRanges ranges,
                          MetaRequests& requests) {
    // starts[i]: the place of ranges[i]'s first row.
    std::vector<std::size_t> starts;
    std::size_t count = 0;
    for (const auto& [first, last] : ranges) {
        starts.push_back(count);
        count += static_cast<std::size_t>(last - first + 1);
    }
    PreviewItems items;
    items.count = count;
    items.at = [set = std::move(set), ranges = std::move(ranges), starts = std::move(starts),
                meta = QPointer<MetaRequests>(&requests)](std::size_t place) {
        const std::size_t i =
            static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), place) - starts.begin()) - 1;
        const int row = ranges[i].first + static_cast<int>(place - starts[i]);
        PreviewFile file;
        const auto found = rowFile(*set, row);
        if (!found) return file;
        const core::VolumeIndex& index = *found->volume->index();
        file.path = index.path(found->entry);
        file.name = index.name(found->entry);
        file.ext = index.ext(found->entry);
        file.folder = index.flags(found->entry).contains(core::EntryFlags::dir);
        file.size = index.size(found->entry);
        file.modified = index.mtime(found->entry);
        if (meta && !file.folder) file.meta = meta->meta(index, static_cast<std::size_t>(row), found->entry);
        return file;
    };
    return items;
}

}  // namespace

void ResultsCoordinator::quickLook() {
    const RowRanges ranges = actedOnRows();
    if (refuseOffline(ranges)) return;
    if (ranges.empty()) return;
    services_.preview.show(previewItems(rows_->shown(), ranges, *meta_));
}

void ResultsCoordinator::previewChanged() {
    if (!services_.preview.isOpen()) return;
    const RowRanges ranges = actedOnRows();
    if (ranges.empty() || offlineIn(ranges)) return;
    services_.preview.refresh(previewItems(rows_->shown(), ranges, *meta_));
}

QMimeData* ResultsCoordinator::dragData() const { return rows_->mimeDataFor(selectedRanges()); }

std::optional<int> ResultsCoordinator::typeSelect(const QString& typed, int from) const {
    const ResultSet& set = *rows_->shown();
    const int rows = static_cast<int>(set.rows().size());
    if (rows == 0 || typed.isEmpty()) return std::nullopt;
    const int bound = std::min(rows, kTypeSelectRows);
    for (int k = 0; k < bound; ++k) {
        const int row = (std::clamp(from, 0, rows - 1) + k) % rows;
        const auto file = rowFile(set, row);
        if (!file) continue;
        ++namesCompared_;
        const std::string name = file->volume->index()->name(file->entry);
        const QString shown = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        if (shown.startsWith(typed, Qt::CaseInsensitive)) return row;
    }
    return std::nullopt;
}

void ResultsCoordinator::installActions() {
    KeyTable& table = *table_;
    // The table's handlers live no longer than the table; the coordinator clears them when it goes.
    table.onReturn = [this] { openSelected(); };
    table.onReveal = [this] { reveal(); };
    table.onSpace = [this] { quickLook(); };
    table.onCopy = [this] { copyPath(); };
    table.onRename = [this] {
        if (renameSelected) renameSelected();
    };
    table.onTrash = [this] {
        if (trashSelected) trashSelected();
    };
    table.typeSelect = [this](const QString& typed, int from) { return typeSelect(typed, from); };
    table.onContextMenu = [this](const QPoint& at, const QPoint& global) { showContextMenu(at, global); };
    table.dragData = [this] { return dragData(); };
    services_.preview.setTable(&table);
    buildContextMenu();
}

void ResultsCoordinator::buildContextMenu() {
    delete contextMenu_;
    contextMenu_ = new QMenu(table_);
    const auto add = [this](std::string_view title, void (ResultsCoordinator::*action)()) {
        QAction* item = contextMenu_->addAction(QString::fromStdString(core::tr(title)));
        QObject::connect(item, &QAction::triggered, this, action);
        return item;
    };
    add(core::trNoop("Open"), &ResultsCoordinator::openSelected);
    add(core::trNoop("Show in File Manager"), &ResultsCoordinator::reveal);
    add(core::trNoop("Copy path"), &ResultsCoordinator::copyPath);
    add(core::trNoop("Preview"), &ResultsCoordinator::quickLook);
    contextMenu_->addSeparator();
    QAction* rename = contextMenu_->addAction(QString::fromStdString(core::tr("Rename …")));
    rename->setShortcut(QKeySequence(Qt::Key_F2));
    QObject::connect(rename, &QAction::triggered, this, [this] {
        if (renameSelected) renameSelected();
    });
    QAction* trash = contextMenu_->addAction(QString::fromStdString(core::tr("Move to Trash")));
    trash->setShortcut(QKeySequence(Qt::Key_Delete));
    QObject::connect(trash, &QAction::triggered, this, [this] {
        if (trashSelected) trashSelected();
    });
    // The shortcuts are shown only: the table's keys carry them out.
    for (QAction* item : contextMenu_->actions()) item->setShortcutContext(Qt::WidgetShortcut);
    // The menu's row counts while an item of it runs, which happens before the menu's hide is
    // done with: forget it one turn later.
    QObject::connect(contextMenu_, &QMenu::aboutToHide, this, [this] {
        QMetaObject::invokeMethod(this, [this] { clickedRow_ = -1; }, Qt::QueuedConnection);
    });
}

void ResultsCoordinator::showContextMenu(const QPoint& at, const QPoint& global) {
    if (!table_ || !contextMenu_) return;
    clickedRow_ = table_->rowAt(at.y());
    const auto actions = contextMenu_->actions();
    actions[actions.size() - 2]->setEnabled(static_cast<bool>(renameSelected));
    actions.back()->setEnabled(static_cast<bool>(trashSelected));
    contextMenu_->popup(global);
}

}  // namespace quorvanta::app
