// The results table with its services recorded, for the tests of its keys, menu, dragging and
// preview: a scanned folder of files (named by the test, in row order) and, last, one file of an
// offline catalog "Old". The desktop records what it is asked, the alerts answer from a script,
// and the preview window is the test's own.
#pragma once

#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/PreviewPanel.h"
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/ResultsTable/ResultsTable.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaApp/shell/DesktopServices.h"
#include "QuorvantaApp/shell/DialogPresenter.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/QuorvantaApp/ResultsTable/CellFixtures.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app::test {

// Makes files in the test's folder before it is scanned.
using MakeFiles = std::function<void(const quorvanta::test::TempDir& dir)>;

// The folder `dir` after `make`, with a short text file for each name it did not make, scanned.
inline std::shared_ptr<VolumeState> scannedFiles(const quorvanta::test::TempDir& dir,
                                                 const std::vector<std::string>& names, const MakeFiles& make) {
    if (make) make(dir);
    for (const auto& name : names)
        if (!std::filesystem::exists(dir / name)) dir.write(name, "contents of " + name + "\n");
    return scannedVolume({"Disk", dir.path().string()});
}

struct ActionTable {
    static constexpr int kWidth = 900;
    static constexpr int kHeight = 420;

    explicit ActionTable(std::vector<std::string> fileNames = {"a.txt", "b.txt", "-dash.txt", "c.txt"},
                         const MakeFiles& make = {})
        : names(std::move(fileNames)),
          disk(scannedFiles(dir, names, make)),
          catalog(offlineVolume("Old", "/media/me/Old",
                                core::test::buildIndex({{"/media/me/Old", FIDX_NONE}, {"gone.mp3", 0, 0, 2500}}))),
          model(makeModel(world, {})),
          results(new ResultsTable(*model, TableServices{desktop, dialogs, preview})),
          host(results, kWidth, kHeight) {
        std::vector<RowKey> rows;
        for (const auto& name : names) rows.push_back(rowKey(0, entryNamed(*disk->index(), name)));
        rows.push_back(rowKey(1, entryNamed(*catalog->index(), "gone.mp3")));
        show(std::move(rows));
    }

    ResultsCoordinator& coordinator() const { return results->coordinator(); }
    KeyTable& view() const { return results->table(); }
    // The row of the offline file.
    int offlineRow() const { return static_cast<int>(names.size()); }
    std::string path(int row) const {
        return row == offlineRow() ? "/media/me/Old/gone.mp3" : (dir.path() / names[static_cast<std::size_t>(row)]).string();
    }

    void show(std::vector<RowKey> rows) {
        coordinator().show(ResultSet::create({disk, catalog}, std::move(rows), 2, {}, true));
        showChanges();
    }
    void select(const std::vector<int>& rows) {
        QItemSelection selection;
        for (const int row : rows)
            selection.select(coordinator().rows().index(row, 0), coordinator().rows().index(row, 0));
        view().selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Sends a key press to `to` (the table by default); whether it was taken.
    bool press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QWidget* to = nullptr,
               const QString& text = {}) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        event.ignore();
        QApplication::sendEvent(to ? to : &view(), &event);
        return event.isAccepted();
    }

    quorvanta::test::TempDir dir;
    std::vector<std::string> names;
    std::shared_ptr<VolumeState> disk;
    std::shared_ptr<VolumeState> catalog;
    RecordingDesktopServices desktop;
    ScriptedDialogs dialogs;
    PreviewPanel preview;
    ModelWorld world;
    std::shared_ptr<AppModel> model;
    ResultsTable* results;
    Host host;  // last: the window and the table go first
};

}  // namespace quorvanta::app::test
