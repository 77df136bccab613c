// The results table taking a new result set: the scroll offset and the selected files kept where
// they moved, the selection dropped with resetScroll, results held back while a rename is open,
// the pending path and row the file actions ask for, focusTable, and the selection hook that the
// preview follows. Result sets are built by hand over one volume of numbered files.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/ResultsTable/FlatHeader.h"
#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/ResultsTable/ResultsTable.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/lang/Tr.h"
#include "tests/QuorvantaApp/ResultsTable/CellFixtures.h"
#include "tests/support/LanguageScope.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using core::test::IndexEntry;
using test::showChanges;

// A volume of `files` files named "file <n>" in its root; file n is entry n.
std::shared_ptr<VolumeState> numberedDrive(int files) {
    std::vector<IndexEntry> entries{{"/media/me/Disk", FIDX_NONE, 0}};
    for (int n = 1; n <= files; ++n) entries.push_back({"file " + std::to_string(n), 0, 0, 100u});
    return test::onlineVolume({"Disk", "/media/me/Disk"}, entries);
}

// The rows of entries first..last of volume 0, in order.
std::vector<RowKey> entries(std::uint32_t first, std::uint32_t last) {
    std::vector<RowKey> rows;
    for (std::uint32_t i = first; i <= last; ++i) rows.push_back(rowKey(0, i));
    return rows;
}

std::vector<RowKey> operator+(std::vector<RowKey> a, const std::vector<RowKey>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The selected rows, ascending, read from the selection's ranges.
std::vector<int> selectedRows(const KeyTable& view) {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : view.selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<int> span(int first, int last) {
    std::vector<int> rows;
    for (int row = first; row <= last; ++row) rows.push_back(row);
    return rows;
}

struct Table {
    Table() : model(test::makeModel(world, {})), results(new ResultsTable(*model)), host(results, 900, 480) {}

    ResultsCoordinator& coordinator() const { return results->coordinator(); }
    KeyTable& view() const { return results->table(); }

    void show(std::vector<RowKey> rows, bool resetScroll) {
        coordinator().show(ResultSet::create({volume}, std::move(rows), 1, {}, resetScroll));
        showChanges();
        view().doItemsLayout();  // what the view's layout timer does: the scroll range of the rows
    }
    void select(const std::vector<int>& rows) {
        QItemSelection selection;
        for (const int row : rows)
            selection.select(coordinator().rows().index(row, 0), coordinator().rows().index(row, 0));
        view().selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Publishes a new (empty) result set through the model, the way a search does.
    void search(const std::string& query) {
        model->setQuery(query);
        world.settle(*model);
        showChanges();
    }

    test::ModelWorld world;
    std::shared_ptr<AppModel> model;
    ResultsTable* results;
    test::Host host;
    std::shared_ptr<VolumeState> volume = numberedDrive(7001);
};

// Rows 0..3999 show entries 3002..7001; the next set puts `shift` other files in front of them.
TEST(ResultsReloadSelection, KeepsTheSameFilesWhereTheyMovedWithinTheWindow) {
    struct Case {
        const char* what;
        std::uint32_t shift;
        bool resetScroll;
        std::vector<int> select;
        std::vector<int> expected;
    };
    const std::vector<Case> cases{
        {"same rows, new set", 0, false, {10, 11, 12, 100}, {10, 11, 12, 100}},
        {"moved down 3000 rows", 3000, false, {10, 11, 12, 100}, {3010, 3011, 3012, 3100}},
        {"moved down 3001 rows: dropped", 3001, false, {10, 11, 12, 100}, {}},
        {"at most 50 kept, the first ones", 5, false, span(0, 99), span(5, 54)},
        {"resetScroll drops the selection", 0, true, {10, 11}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Table t;
        t.show(entries(3002, 7001), true);
        t.select(c.select);
        t.view().verticalScrollBar()->setValue(50 * KeyTable::kRowHeight);
        showChanges();
        const int scroll = t.view().verticalScrollBar()->value();
        ASSERT_GT(scroll, 0);

        const auto prefix = c.shift > 0 ? entries(1, c.shift) : std::vector<RowKey>{};
        t.show(prefix + entries(3002, 7001), c.resetScroll);
        EXPECT_EQ(selectedRows(t.view()), c.expected);
        EXPECT_EQ(t.view().verticalScrollBar()->value(), c.resetScroll ? 0 : scroll);
    }
}

TEST(ResultsReloadSelection, MovedBackUpAndWithAnotherVolumeInTheSamePlace) {
    Table t;
    t.show(entries(1, 4000), true);
    t.select({2500, 3999});
    // Entry 2501 moves up 2500 rows to row 0; entry 4000 moves up one row, and its old row now
    // shows another volume's entry 4000, which is not the same file.
    const auto other = numberedDrive(5000);
    const auto filler = entries(1, 2499);
    auto rows = entries(2501, 4000);
    rows.insert(rows.begin() + 1, filler.begin(), filler.end());
    rows.push_back(rowKey(1, 4000));
    ASSERT_EQ(rows.size(), 4000u);
    t.coordinator().show(ResultSet::create({t.volume, other}, rows, 2, {}, false));
    showChanges();
    EXPECT_EQ(selectedRows(t.view()), (std::vector<int>{0, 3998}));
}

TEST(ResultsReloadSelection, FirstFiftyEntriesFromTheRangesOfFiveMillionRows) {
    Table t;
    constexpr std::size_t kRows = 5'000'000;
    std::vector<RowKey> rows(kRows);
    for (std::size_t r = 0; r < kRows; ++r) rows[r] = rowKey(0, static_cast<std::uint32_t>(r % 7001 + 1));
    t.coordinator().show(ResultSet::create({t.volume}, std::move(rows), 1, {}, true));
    showChanges();
    t.view().selectAll();
    const auto picked = t.coordinator().selectedEntries(ResultsCoordinator::kKeptSelection);
    ASSERT_EQ(picked.size(), 50u);
    for (std::size_t k = 0; k < picked.size(); ++k) {
        EXPECT_EQ(picked[k].row, static_cast<int>(k));
        EXPECT_EQ(picked[k].entry, k + 1);
        EXPECT_EQ(picked[k].vol, t.volume);
    }
}

TEST(ResultsReloadSelection, RestoringDoesNotCallTheSelectionHookButTheUserDoes) {
    Table t;
    int calls = 0;
    t.coordinator().selectionChanged = [&] { ++calls; };
    t.show(entries(1, 100), true);
    t.select({5});
    EXPECT_EQ(calls, 1);
    t.show(entries(1, 100), false);
    ASSERT_EQ(selectedRows(t.view()), std::vector<int>{5});
    EXPECT_EQ(calls, 1) << "a reload's restore is not the user's choice";
}

TEST(ResultsReloadRename, ResultsWaitUntilTheRenameEnds) {
    Table t;
    t.show(entries(1, 100), true);
    const auto before = t.coordinator().shown();
    t.coordinator().setRenameSession(true);
    t.search("file");
    EXPECT_EQ(t.coordinator().shown(), before) << "held while the rename field is open";
    t.coordinator().setRenameSession(false);
    EXPECT_EQ(t.coordinator().shown(), t.model->results.get());
    EXPECT_NE(t.coordinator().shown(), before);
}

TEST(ResultsReloadPending, ARenamedFileIsSelectedWhenItShowsUpOrLapsesAfterFiveReloads) {
    const std::string renamed = "/media/me/Disk/file 4000";
    {
        Table t;
        t.coordinator().setPendingSelectPath(renamed);
        for (int reload = 0; reload < 4; ++reload) t.show(entries(1, 100), false);
        ASSERT_TRUE(t.coordinator().pendingSelectPath());
        EXPECT_EQ(t.coordinator().pendingSelectPath()->tries, 4);
        t.show(entries(3901, 4100), true);
        EXPECT_EQ(selectedRows(t.view()), std::vector<int>{99});
        EXPECT_FALSE(t.coordinator().pendingSelectPath());
    }
    {
        Table t;
        t.coordinator().setPendingSelectPath(renamed);
        for (int reload = 0; reload < 5; ++reload) t.show(entries(1, 100), false);
        EXPECT_FALSE(t.coordinator().pendingSelectPath()) << "lapsed";
        t.show(entries(3901, 4100), false);
        EXPECT_TRUE(selectedRows(t.view()).empty());
    }
}

TEST(ResultsReloadPending, OnlyTheFirst200000RowsAreSearchedForThePath) {
    Table t;
    t.coordinator().setPendingSelectPath("/media/me/Disk/file 2");
    std::vector<RowKey> rows(ResultsCoordinator::kPendingPathRows, rowKey(0, 1));
    rows.push_back(rowKey(0, 2));
    t.show(rows, true);
    EXPECT_TRUE(selectedRows(t.view()).empty());
    ASSERT_TRUE(t.coordinator().pendingSelectPath());
    EXPECT_EQ(t.coordinator().pendingSelectPath()->tries, 1);
    rows[ResultsCoordinator::kPendingPathRows - 1] = rowKey(0, 2);
    t.show(rows, true);
    EXPECT_EQ(selectedRows(t.view()), std::vector<int>{static_cast<int>(ResultsCoordinator::kPendingPathRows) - 1});
}

TEST(ResultsReloadPending, ARowWaitsThroughResetScrollAndIsClampedToTheLastRow) {
    Table t;
    t.show(entries(1, 100), true);
    t.coordinator().setPendingSelectRow(60);
    t.show(entries(1, 30), true);
    EXPECT_TRUE(selectedRows(t.view()).empty());
    ASSERT_EQ(t.coordinator().pendingSelectRow(), 60);
    t.show(entries(1, 30), false);
    EXPECT_EQ(selectedRows(t.view()), std::vector<int>{29});
    EXPECT_FALSE(t.coordinator().pendingSelectRow());

    // A kept selection wins over the pending row, which is spent all the same.
    t.coordinator().setPendingSelectRow(3);
    t.show(entries(1, 30), false);
    EXPECT_EQ(selectedRows(t.view()), std::vector<int>{29});
    EXPECT_FALSE(t.coordinator().pendingSelectRow());
}

TEST(ResultsReloadFocus, FocusTableSelectsTheFirstRowOnlyWhenNoneIs) {
    Table t;
    ASSERT_TRUE(t.model->focusTable);
    QApplication::setActiveWindow(&t.host.window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.host.window));
    t.model->focusTable();
    showChanges();
    EXPECT_TRUE(t.view().hasFocus());
    EXPECT_TRUE(selectedRows(t.view()).empty()) << "no rows: focus only";

    t.show(entries(1, 10), true);
    t.model->focusTable();
    EXPECT_EQ(selectedRows(t.view()), std::vector<int>{0});
    t.select({4});
    t.model->focusTable();
    EXPECT_EQ(selectedRows(t.view()), std::vector<int>{4});
}

int columnOf(std::string_view id) { return *ResultsModel::column(id); }

void clickHeader(FlatHeader& header, std::string_view id) {
    const int column = columnOf(id);
    ASSERT_FALSE(header.isSectionHidden(column)) << id;
    const QPoint middle(header.sectionViewportPosition(column) + header.sectionSize(column) / 2,
                        FlatHeader::kHeight / 2);
    QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier, middle);
    showChanges();
}

// An audio result whose one file has an artist, so the Artist column (which has no sort order)
// shows.
TEST(ResultsReloadSort, TheIndicatorFollowsTheModelAndClicksAskTheModelOnlyForSortableColumns) {
    Table t;
    for (const auto& c : Category::defaults())
        if (c.id == "audio") t.model->setFilter(c);
    t.world.settle(*t.model);
    showChanges();
    core::AudioMeta meta;
    meta.artist = "Kaleida";
    t.volume->index()->audioAttached()->upsert({{1, 0, meta}});
    t.show(entries(1, 20), true);
    FlatHeader& header = t.results->header();
    int keyChanges = 0;
    int directionChanges = 0;
    const auto keys = t.model->sortKey.observe([&](const core::SortKey&) { ++keyChanges; });
    const auto directions = t.model->sortDesc.observe([&](const bool&) { ++directionChanges; });
    ASSERT_EQ(header.sortIndicatorSection(), columnOf("name"));

    // First, while the hand-built set shows (the model's searches below replace it).
    clickHeader(header, "artist");
    EXPECT_EQ(keyChanges, 0);
    EXPECT_EQ(directionChanges, 0);
    EXPECT_EQ(header.sortIndicatorSection(), columnOf("name")) << "the indicator stays";
    EXPECT_EQ(header.sortIndicatorOrder(), Qt::AscendingOrder);

    // The model's own change moves the indicator and asks nothing back.
    t.model->setSort(core::SortKey::date, true);
    t.world.settle(*t.model);
    showChanges();
    EXPECT_EQ(header.sortIndicatorSection(), columnOf("date"));
    EXPECT_EQ(header.sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(keyChanges, 1) << "the model's change alone";

    keyChanges = 0;
    clickHeader(header, "size");
    EXPECT_EQ(keyChanges, 1);
    EXPECT_EQ(t.model->sortKey.get(), core::SortKey::size);
    EXPECT_FALSE(t.model->sortDesc.get()) << "a new column starts ascending";
    EXPECT_EQ(header.sortIndicatorSection(), columnOf("size"));

    // Again on Size: the direction turns.
    keyChanges = 0;
    directionChanges = 0;
    clickHeader(header, "size");
    EXPECT_EQ(keyChanges, 0);
    EXPECT_EQ(directionChanges, 1);
    EXPECT_TRUE(t.model->sortDesc.get());
    EXPECT_EQ(header.sortIndicatorOrder(), Qt::DescendingOrder);

}

// The user's widths stay; a column whose new title is wider than it may grow to fit the title, as
// any fit lets it.
TEST(ResultsReloadLanguage, RetitlesEveryColumnAndKeepsTheWidths) {
    quorvanta::test::LanguageScope english("en");
    Table t;
    t.show(entries(1, 50), true);
    t.select({7});
    FlatHeader& header = t.results->header();
    const ColumnWidths preferred = t.coordinator().preferredWidths();
    std::vector<int> widths;
    for (int c = 0; c < header.count(); ++c) widths.push_back(header.sectionSize(c));
    const auto title = [&](std::string_view id) {
        return t.coordinator().rows().headerData(columnOf(id), Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
    };
    ASSERT_EQ(title("size"), "Size");

    quorvanta::test::LanguageScope german("de");
    t.world.main.drain();
    showChanges();
    ASSERT_NE(core::tr("Size"), "Size") << "the German catalogue is loaded";
    for (std::size_t c = 0; c < ColumnDef::all.size(); ++c)
        EXPECT_EQ(title(ColumnDef::all[c].id), core::tr(ColumnDef::all[c].title)) << ColumnDef::all[c].id;
    EXPECT_EQ(t.coordinator().preferredWidths(), preferred);
    for (int c = 0; c < header.count(); ++c) {
        if (c == columnOf("name")) continue;
        EXPECT_GE(header.sectionSize(c), widths[static_cast<std::size_t>(c)]) << c;
    }
    EXPECT_EQ(selectedRows(t.view()), std::vector<int>{7}) << "not a reload";
}

}  // namespace
}  // namespace quorvanta::app
