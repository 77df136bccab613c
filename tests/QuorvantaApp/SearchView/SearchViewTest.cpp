// The search panel's content over an application model fed by hand (configured drives whose
// published volume fields the test sets, the model's own search, preferences in a settings store
// in memory) and a search history in a temporary file: what covers the results, the query field's
// binding and keys, the panel's notifications, the history popover, and the results table in it.
// Pictures of the panel are saved for looking at by eye.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/ResultStates/EmptySources.h"
#include "QuorvantaApp/ResultStates/EmptyState.h"
#include "QuorvantaApp/ResultStates/NoHitsState.h"
#include "QuorvantaApp/ResultStates/ScanState.h"
#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/ResultsTable/ResultsTable.h"
#include "QuorvantaApp/SearchView/Overlay.h"
#include "QuorvantaApp/SearchView/PlainButton.h"
#include "QuorvantaApp/SearchView/SearchHistoryButton.h"
#include "QuorvantaApp/SearchView/SearchView.h"
#include "QuorvantaApp/StatusBar/StatusBar.h"
#include "QuorvantaApp/TopBar/NewDriveBanner.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "platform/notify/NotificationCenter.h"
#include "platform/notify/NotificationNames.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/TempDir.h"
#include "tests/support/qt/SaveShot.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::LanguageScope;
using test::DriveSpec;
using test::Host;
using test::makeModel;
using test::ModelWorld;
using test::showChanges;
using Kind = Overlay::Kind;
using Texts = std::vector<std::string>;

constexpr int kHeight = 480;

// Counts the key presses of one key that reach a widget (the field passed them on).
class KeySpy final : public QObject {
public:
    KeySpy(QWidget* target, int key) : key_(key) { target->installEventFilter(this); }
    int seen = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_) ++seen;
        return false;
    }

private:
    const int key_;
};

// The results area without a list of its own, so that the test decides the focusTable.
QWidget* noTable(AppModel&, QWidget* parent) { return new QWidget(parent); }

// A panel over a model of the given drives and a history file of its own, shown in a window.
struct Panel {
    explicit Panel(const std::vector<DriveSpec>& drives, SearchView::ResultsFactory results = noTable,
                   Appearance appearance = Appearance::light, int width = SearchView::kMinimumWidth)
        : model(makeModel(world, drives)),
          view(new SearchView(*model, history, std::move(results))),
          host(view, width, kHeight, appearance) {}

    QLineEdit& field() const { return *view->queryField(); }
    void activate() {
        QApplication::setActiveWindow(&host.window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    }
    // A key pressed where the user presses it: the window's focus, or an open popup.
    void press(Qt::Key key) { QTest::keyClick(host.window.windowHandle(), key); }

    ModelWorld world;
    quorvanta::test::TempDir dir;
    SearchHistoryModel history{dir / "search-history.json"};
    std::shared_ptr<AppModel> model;
    SearchView* view;
    Host host;
};

std::vector<DriveSpec> oneDrive() { return {{"A", "/a"}}; }

TEST(SearchViewOverlay, OneCoverByTheModelsState) {
    ModelWorld world;
    const auto model = makeModel(world, {{"A", "/a"}, {"B", "/b"}});
    const auto b = model->volumes.get()[1];
    const struct {
        const char* name;
        OverlayFacts facts;
        Overlay expected;
    } cases[] = {
        {"no volumes", {true, true, false, nullptr, false, false}, {Kind::noSources, nullptr}},
        {"no volumes whatever the rest", {true, false, true, b, true, true}, {Kind::noSources, nullptr}},
        {"no rows, scanning, a query", {false, true, false, b, false, false}, {Kind::scanning, b}},
        {"rows while scanning", {false, false, false, b, false, false}, {}},
        {"empty state with rows", {false, false, true, nullptr, false, false}, {Kind::empty, nullptr}},
        {"empty state while scanning", {false, false, true, b, false, false}, {Kind::scanning, b}},
        {"query error without rows", {false, true, false, nullptr, false, true}, {}},
        {"sorting without rows", {false, true, false, nullptr, true, false}, {}},
        {"plain no hits", {false, true, false, nullptr, false, false}, {Kind::noHits, nullptr}},
        {"rows", {false, false, false, nullptr, false, false}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(overlay(c.facts), c.expected) << c.name;
}

TEST(SearchViewOverlay, ViewCoversWithTheStateOfTheModel) {
    Panel p(std::vector<DriveSpec>{{"A", "/a"}, {"B", "/b"}, {"C", "/c"}});
    const auto volumes = p.model->volumes.get();
    test::fill(*volumes[0], {{"song.mp3"}, {"notes.txt"}});
    p.world.settle(*p.model);
    showChanges();
    EXPECT_EQ(p.view->overlay().kind, Kind::empty);
    EXPECT_NE(dynamic_cast<EmptyState*>(p.view->cover()->findChild<EmptyState*>()), nullptr);

    volumes[2]->scanning.set(true);
    volumes[1]->scanning.set(true);
    showChanges();
    EXPECT_EQ(p.view->overlay(), (Overlay{Kind::scanning, volumes[1]})) << "the first scanning one in list order";
    const auto* scan = p.view->cover()->findChild<ScanState*>();
    ASSERT_NE(scan, nullptr);
    EXPECT_EQ(scan->volume(), volumes[1]);

    QTest::keyClicks(&p.field(), "song");
    p.world.settle(*p.model);
    showChanges();
    EXPECT_EQ(p.view->cover(), nullptr) << "rows show while a volume scans";

    volumes[1]->scanning.set(false);
    volumes[2]->scanning.set(false);
    p.field().setText("nothing like it");
    p.world.settle(*p.model);
    showChanges();
    ASSERT_NE(p.view->cover(), nullptr);
    EXPECT_NE(p.view->cover()->findChild<NoHitsState*>(), nullptr);

    p.field().setText("size:big");
    p.world.settle(*p.model);
    showChanges();
    ASSERT_TRUE(p.model->queryError.get().has_value());
    EXPECT_EQ(p.view->overlay().kind, Kind::none) << "the status bar carries the error";

    for (const auto& volume : volumes) p.model->removeVolume(volume);
    for (const auto& volume : p.model->volumes.get()) p.model->forgetCatalog(volume);
    p.world.settle(*p.model);
    showChanges();
    ASSERT_TRUE(p.model->volumes->empty());
    ASSERT_NE(p.view->cover(), nullptr);
    EXPECT_NE(p.view->cover()->findChild<EmptySources*>(), nullptr);
}

TEST(SearchView, EditsReachTheModelAtOnceAndTheClearButtonFollows) {
    Panel p(oneDrive());
    EXPECT_FALSE(p.view->clearButton()->isVisible());
    EXPECT_GE(p.view->width(), SearchView::kMinimumWidth);
    const std::int64_t before = p.model->generation();
    QTest::keyClicks(&p.field(), "ab");
    EXPECT_EQ(p.model->query.get(), "ab") << "no debounce";
    EXPECT_EQ(p.model->generation(), before + 2) << "one search per edit";
    showChanges();
    EXPECT_TRUE(p.view->clearButton()->isVisible());
    EXPECT_EQ(p.model->generation(), before + 2) << "the redraw writes nothing back";

    QTest::mouseClick(p.view->clearButton(), Qt::LeftButton);
    EXPECT_EQ(p.model->query.get(), "");
    EXPECT_EQ(p.field().text(), "");
    showChanges();
    EXPECT_FALSE(p.view->clearButton()->isVisible());
    EXPECT_EQ(p.model->generation(), before + 3);

    // A query set elsewhere lands in the field as no edit, the cursor at its end.
    p.model->setQuery("ext:flac");
    showChanges();
    EXPECT_EQ(p.field().text(), "ext:flac");
    EXPECT_EQ(p.field().cursorPosition(), 8);
    EXPECT_EQ(p.model->generation(), before + 4);
    EXPECT_TRUE(p.view->clearButton()->isVisible());
}

TEST(SearchView, ReturnRecordsAndCallsFocusTable) {
    Panel p(oneDrive());
    int focused = 0;
    p.model->focusTable = [&] { ++focused; };
    QTest::keyClicks(&p.field(), "  remix ");
    QTest::keyClick(&p.field(), Qt::Key_Return);
    EXPECT_EQ(p.history.store->history, Texts{"remix"});
    EXPECT_EQ(core::SearchHistory::load(p.history.file()).history, Texts{"remix"});
    EXPECT_EQ(focused, 1);
    QTest::keyClick(&p.field(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(focused, 2) << "the keypad's Enter too";
}

TEST(SearchView, DownIsTakenWithOrWithoutFocusTable) {
    Panel p(oneDrive());
    KeySpy spy(p.view, Qt::Key_Down);
    p.field().setText("abc");
    p.field().setCursorPosition(1);
    p.model->focusTable = nullptr;
    QTest::keyClick(&p.field(), Qt::Key_Down);
    EXPECT_EQ(spy.seen, 0) << "consumed";
    EXPECT_EQ(p.field().cursorPosition(), 1);
    int focused = 0;
    p.model->focusTable = [&] { ++focused; };
    QTest::keyClick(&p.field(), Qt::Key_Down);
    EXPECT_EQ(focused, 1);
    EXPECT_EQ(spy.seen, 0);
}

TEST(SearchView, UpRecallsOlderSearchesAndPassesOnWhenThereIsNone) {
    Panel p(oneDrive());
    KeySpy spy(p.view, Qt::Key_Up);
    p.field().setText("abc");
    p.field().setCursorPosition(1);
    QTest::keyClick(&p.field(), Qt::Key_Up);
    EXPECT_EQ(p.field().text(), "abc");
    EXPECT_EQ(p.field().cursorPosition(), 1);
    EXPECT_EQ(spy.seen, 1) << "the key went on to the field's owner";

    p.history.record("older");
    p.history.record("newer");
    const std::int64_t before = p.model->generation();
    QTest::keyClick(&p.field(), Qt::Key_Up);
    EXPECT_EQ(p.field().text(), "newer");
    EXPECT_EQ(p.model->query.get(), "newer");
    EXPECT_EQ(p.field().cursorPosition(), 5);
    QTest::keyClick(&p.field(), Qt::Key_Up);
    EXPECT_EQ(p.field().text(), "older");
    showChanges();
    EXPECT_EQ(p.model->generation(), before + 2) << "one search per recall, none echoed by the field";
    QTest::keyClick(&p.field(), Qt::Key_Up);
    EXPECT_EQ(p.field().text(), "older");
    EXPECT_EQ(spy.seen, 2);
    QTest::keyClicks(&p.field(), "x");
    QTest::keyClick(&p.field(), Qt::Key_Up);
    EXPECT_EQ(p.field().text(), "newer") << "an edit starts the walk over";
}

TEST(SearchView, EscapeHidesThePanelOnceButNotWhileThePopoverIsOpen) {
    Panel p(oneDrive());
    int hidden = 0;
    const auto token = platform::NotificationCenter::standard().observe(platform::notification_names::kHideSearch,
                                                                        p.world.main, [&] { ++hidden; });
    p.activate();
    ASSERT_TRUE(p.field().hasFocus());
    p.press(Qt::Key_Escape);
    p.world.main.drain();
    EXPECT_EQ(hidden, 1);

    p.view->historyButton()->toggle();
    ASSERT_TRUE(p.view->historyButton()->isOpen());
    p.press(Qt::Key_Escape);
    p.world.main.drain();
    EXPECT_FALSE(p.view->historyButton()->isOpen()) << "the popover took its Escape";
    EXPECT_EQ(hidden, 1);
    p.press(Qt::Key_Escape);
    p.world.main.drain();
    EXPECT_EQ(hidden, 2);
}

TEST(SearchView, FocusSearchFocusesTheField) {
    Panel p(oneDrive());
    p.activate();
    p.view->junkBox()->setFocus();
    ASSERT_FALSE(p.field().hasFocus());
    platform::NotificationCenter::standard().post(platform::notification_names::kFocusSearch);
    p.world.main.drain();
    EXPECT_TRUE(p.field().hasFocus());
}

TEST(SearchView, CheckboxWritesShowJunk) {
    Panel p(oneDrive());
    ASSERT_FALSE(p.view->junkBox()->isChecked());
    const std::int64_t before = p.model->generation();
    QTest::mouseClick(p.view->junkBox(), Qt::LeftButton);
    EXPECT_TRUE(p.model->showJunk.get());
    EXPECT_EQ(p.world.settings.boolean(AppModel::kShowJunkKey), true);
    EXPECT_EQ(p.model->generation(), before + 1);
    p.model->setShowJunk(false);
    showChanges();
    EXPECT_FALSE(p.view->junkBox()->isChecked()) << "the box follows the model";
}

// The popover's rows as their texts.
Texts rowTexts(const std::vector<HistoryPopover::Row>& rows) {
    Texts texts;
    for (const auto& row : rows) texts.push_back(row.entry->text().toStdString());
    return texts;
}

TEST(HistoryPopover, ListsTheNewestFifteenAndPicksWithoutRecording) {
    Panel p(oneDrive());
    for (int i = 0; i < 50; ++i) p.history.record("q" + std::to_string(i));
    p.view->historyButton()->toggle();
    HistoryPopover* pop = p.view->historyButton()->popover();
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(pop->width(), HistoryPopover::kWidth);
    EXPECT_GE(pop->y(), p.view->historyButton()->mapToGlobal(QPoint(0, p.view->historyButton()->height())).y())
        << "below the button";
    Texts newest;
    for (int i = 49; i >= 35; --i) newest.push_back("q" + std::to_string(i));
    EXPECT_EQ(rowTexts(pop->recentRows()), newest);
    EXPECT_EQ(rowTexts(pop->favoriteRows()), Texts{});
    EXPECT_NE(pop->noFavoritesText(), nullptr);
    EXPECT_FALSE(pop->saveButton()->isEnabled()) << "blank query";

    const PlainButton* first = pop->recentRows()[0].entry;
    p.model->runSearch(false);
    p.world.settle(*p.model);
    showChanges();
    EXPECT_EQ(pop->recentRows()[0].entry, first) << "a search that ended changes nothing shown: no rebuild";

    const auto stored = p.history.store.get();
    pop->recentRows()[3].entry->click();
    EXPECT_EQ(p.model->query.get(), "q46");
    showChanges();
    EXPECT_EQ(p.field().text(), "q46");
    EXPECT_FALSE(p.view->historyButton()->isOpen());
    EXPECT_EQ(p.history.store.get(), stored) << "picking records nothing";
}

TEST(HistoryPopover, RemoveKeepsItOpenAndSaveTurnsIntoRemove) {
    Panel p(oneDrive());
    for (const char* q : {"c", "b", "a"}) p.history.record(q);
    p.history.toggleFavorite("ABC");
    QTest::keyClicks(&p.field(), "  abc ");
    p.view->historyButton()->toggle();
    HistoryPopover* pop = p.view->historyButton()->popover();
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(pop->saveButton()->text().toStdString(), "Remove from favorites") << "abc is ABC ignoring case";
    EXPECT_EQ(pop->saveButton()->glyph(), "star.fill");

    pop->recentRows()[1].remove->click();
    showChanges();
    ASSERT_EQ(p.view->historyButton()->popover(), pop) << "still open";
    EXPECT_EQ(rowTexts(pop->recentRows()), (Texts{"a", "c"}));

    pop->saveButton()->click();
    showChanges();
    EXPECT_EQ(p.history.store->favorites, Texts{});
    EXPECT_EQ(pop->saveButton()->text().toStdString(), "Save this search");
    EXPECT_EQ(pop->saveButton()->glyph(), "star");
    p.history.toggleFavorite("older");
    showChanges();
    pop->saveButton()->click();
    showChanges();
    ASSERT_TRUE(p.view->historyButton()->isOpen());
    EXPECT_EQ(rowTexts(pop->favoriteRows()), (Texts{"abc", "older"})) << "the trimmed query at the top";
    EXPECT_EQ(pop->saveButton()->text().toStdString(), "Remove from favorites");

    pop->favoriteRows()[1].remove->click();
    showChanges();
    EXPECT_EQ(rowTexts(pop->favoriteRows()), Texts{"abc"});

    ASSERT_NE(pop->clearButton(), nullptr);
    pop->clearButton()->click();
    showChanges();
    ASSERT_TRUE(p.view->historyButton()->isOpen());
    EXPECT_EQ(pop->clearButton(), nullptr);
    EXPECT_NE(pop->noRecentText(), nullptr);
    EXPECT_EQ(rowTexts(pop->favoriteRows()), Texts{"abc"}) << "favourites stay";
}

// A folder tree of empty files under `root`.
void makeTree(const fs::path& root, const Texts& files) {
    for (const auto& file : files) {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file).put('x');
    }
}

// The cell of a column in a row, as the table's model gives it.
QVariant cell(const ResultsTable& table, int row, std::string_view column, int role = Qt::DisplayRole) {
    const auto& rows = table.coordinator().rows();
    return rows.data(rows.index(row, *ResultsModel::column(column)), role);
}

TEST(SearchViewResults, TheDefaultResultsAreTheTableFollowingTheModel) {
    quorvanta::test::TempDir trees;
    makeTree(trees / "one", {"alpha.txt", "sub/beta.txt"});
    makeTree(trees / "two", {"gamma.txt"});
    ModelWorld world;
    const std::string one = (trees / "one").string();
    const std::string two = (trees / "two").string();
    const auto model = world.make({one, two}, false);
    model->startScans();
    world.main.waitUntil([&] {
        for (const auto& v : model->volumes.get())
            if (v->scanning.get()) return false;
        return true;
    });
    world.settle(*model);
    quorvanta::test::TempDir dir;
    SearchHistoryModel history(dir / "search-history.json");
    auto* view = new SearchView(*model, history);
    Host host(view, SearchView::kMinimumWidth, kHeight);
    auto* table = dynamic_cast<ResultsTable*>(view->results());
    ASSERT_NE(table, nullptr) << "the results area holds the results table";

    // Each row's full path: the path cell's tooltip (the folder) and the name.
    const auto shownPaths = [&] {
        Texts paths;
        for (int row = 0; row < table->coordinator().rows().rowCount(); ++row)
            paths.push_back(cell(*table, row, "path", Qt::ToolTipRole).toString().toStdString() + "/" +
                            cell(*table, row, "name").toString().toStdString());
        return paths;
    };
    model->setSortKey(core::SortKey::path);
    model->setQuery(".txt");
    world.settle(*model);
    showChanges();
    EXPECT_EQ(table->coordinator().shown(), model->results.get());
    EXPECT_EQ(shownPaths(), (Texts{one + "/alpha.txt", one + "/sub/beta.txt", two + "/gamma.txt"}));

    model->setQuery("gamma | beta");
    world.settle(*model);
    showChanges();
    EXPECT_EQ(table->coordinator().shown(), model->results.get());
    EXPECT_EQ(shownPaths(), (Texts{one + "/sub/beta.txt", two + "/gamma.txt"})) << "the new result set";

    ASSERT_TRUE(model->focusTable);
    QApplication::setActiveWindow(&host.window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    view->queryField()->setFocus();
    QTest::keyClick(view->queryField(), Qt::Key_Down);
    EXPECT_EQ(table->table().currentIndex().row(), 0) << "focus lands on the first row";
    EXPECT_TRUE(table->table().selectionModel()->isRowSelected(0, {}));
    EXPECT_EQ(QApplication::focusWidget(), &table->table());
    delete view;
    EXPECT_FALSE(model->focusTable) << "the table takes its focusTable with it";
}

TEST(SearchViewResults, ReadsOnlyTheCellsItDraws) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Data", "/srv/data"}});
    std::vector<core::test::IndexEntry> files;
    for (int i = 0; i < 20000; ++i) files.push_back({"file-" + std::to_string(i) + ".txt"});
    test::fill(*model->volumes.get()[0], files);
    model->setQuery("file-");
    world.settle(*model);
    ASSERT_EQ(model->results.get()->rows().size(), 20000u);
    auto* results = new ResultsTable(*model);
    Host host(results, SearchView::kMinimumWidth, kHeight);
    KeyTable& table = results->table();
    const auto& rows = results->coordinator().rows();
    // Drawn as the screen would show it (the offscreen platform paints only when asked).
    (void)host.window.grab();
    const std::uint64_t cellsInView =
        static_cast<std::uint64_t>(kHeight / KeyTable::kRowHeight + 2) * ColumnDef::all.size();
    EXPECT_LE(rows.cellsBuiltForTesting(), 4 * cellsInView) << "the cells in view, a few times over, not 20,000 rows";
    EXPECT_GT(rows.cellsBuiltForTesting(), 0u);
    table.scrollToBottom();
    showChanges();
    const QModelIndex last = rows.index(19999, *ResultsModel::column("name"));
    EXPECT_TRUE(table.viewport()->rect().intersects(table.visualRect(last))) << "the last row scrolled into view";
    EXPECT_EQ(last.data().toString().toStdString().rfind("file-", 0), 0u);

    // A re-run that keeps the scroll, then a new query that resets it.
    const int bottom = table.verticalScrollBar()->value();
    ASSERT_GT(bottom, 0);
    const auto before = model->results.get();
    model->setSortDesc(true);
    world.settle(*model);
    showChanges();
    ASSERT_NE(model->results.get(), before);
    ASSERT_FALSE(model->results.get()->resetScroll());
    EXPECT_EQ(table.verticalScrollBar()->value(), bottom);
    table.selectRow(5);
    model->setQuery("file-1");
    world.settle(*model);
    showChanges();
    ASSERT_TRUE(model->results.get()->resetScroll());
    EXPECT_EQ(table.verticalScrollBar()->value(), 0);
    EXPECT_FALSE(table.selectionModel()->hasSelection());
}

// The pictures' world: the system disk, a music drive and an offline backup, their entries, and a
// drive just mounted that is not a source yet.
struct PictureWorld {
    explicit PictureWorld(bool newDrive = true) {
        if (newDrive) {
            const auto root = world.dir / "Camera";
            fs::create_directories(root);
            world.drives->list.push_back(Candidate{"key-camera", "Camera", root.string(), "", false, false});
        }
        model = makeModel(world, {{"Computer", "/", true},
                                  {"Music SSD", "/media/alex/Music SSD"},
                                  {"Backup 2019", "/media/alex/Backup 2019"}});
        const auto volumes = model->volumes.get();
        test::fill(*volumes[0], {{"home", FIDX_NONE, 1},
                                 {"alex", 1, 1},
                                 {"Documents", 2, 1},
                                 {"remix-notes.txt", 3, 0, 2048},
                                 {"Remix ideas.md", 3, 0, 512}});
        test::fill(*volumes[1], {{"Sets", FIDX_NONE, 1},
                                 {"Night Drive (Remix).flac", 1, 0, 48000000},
                                 {"Summer Remix.mp3", 1, 0, 9100000},
                                 {"remix-stems.zip", 1, 0, 310000000}});
        test::fill(*volumes[2], {{"old remix.wav", FIDX_NONE, 0, 70000000}});
        volumes[0]->count.set(1284113);
        volumes[1]->count.set(48210);
        volumes[2]->count.set(310442);
        volumes[2]->offline.set(true);
        history.record("ext:flac");
        history.record("size:>100mb");
        history.record("remix");
        history.toggleFavorite("bpm:120..128 ext:mp3");
        history.toggleFavorite("remix | bootleg");
        world.settle(*model);
    }

    void query(const std::string& text) {
        model->setQuery(text);
        world.settle(*model);
        showChanges();
    }

    ModelWorld world;
    quorvanta::test::TempDir dir;
    SearchHistoryModel history{dir / "search-history.json"};
    std::shared_ptr<AppModel> model;
};

TEST(SearchViewPictures, PanelInEachState) {
    const auto shoot = [](PictureWorld& w, const char* name, Appearance appearance = Appearance::light) {
        auto* view = new SearchView(*w.model, w.history);
        Host host(view, 900, kHeight, appearance);
        // Active, so that the field shows its focus frame.
        QApplication::setActiveWindow(&host.window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&host.window));
        showChanges();
        quorvanta::test::saveShot(host.window, name);
        return view->overlay();
    };
    {
        PictureWorld w;
        EXPECT_EQ(shoot(w, "searchview-empty").kind, Kind::empty);
    }
    {
        PictureWorld w;
        w.query("remix");
        ASSERT_EQ(w.model->results.get()->rows().size(), 6u);
        EXPECT_EQ(shoot(w, "searchview-results").kind, Kind::none);
        EXPECT_EQ(shoot(w, "searchview-dark", Appearance::dark).kind, Kind::none);
    }
    {
        PictureWorld w(false);
        w.query("nothing like this");
        EXPECT_EQ(shoot(w, "searchview-nohits").kind, Kind::noHits);
        w.query("size:big remix");
        EXPECT_EQ(shoot(w, "searchview-error").kind, Kind::none);
    }
    {
        ModelWorld world;
        const auto model = makeModel(world, {});
        quorvanta::test::TempDir dir;
        SearchHistoryModel history(dir / "search-history.json");
        auto* view = new SearchView(*model, history);
        Host host(view, 900, kHeight);
        EXPECT_EQ(view->overlay().kind, Kind::noSources);
        quorvanta::test::saveShot(host.window, "searchview-nosources");
    }
}

TEST(SearchViewPictures, GermanPanelAndHistoryPopover) {
    {
        LanguageScope german("de");
        PictureWorld w;
        core::Lang::shared().setChoice("de");  // the model's world starts in English
        auto* view = new SearchView(*w.model, w.history);
        Host host(view, SearchView::kMinimumWidth, kHeight);
        EXPECT_EQ(view->junkBox()->text().toStdString(), "Versteckte Dateien");
        quorvanta::test::saveShot(host.window, "searchview-de");
    }
    PictureWorld w;
    auto* view = new SearchView(*w.model, w.history);
    Host host(view, 900, kHeight);
    QTest::keyClicks(view->queryField(), "remix");
    w.world.settle(*w.model);
    view->historyButton()->toggle();
    showChanges();
    HistoryPopover* pop = view->historyButton()->popover();
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(pop->saveButton()->text().toStdString(), "Save this search");
    quorvanta::test::saveShot(*pop, "history-popover");
}

}  // namespace
}  // namespace quorvanta::app
