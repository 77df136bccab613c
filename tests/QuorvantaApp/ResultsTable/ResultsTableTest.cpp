// The results table over an application model fed by hand (ViewWorld.h: settings in memory, the
// manual main queue) and result sets built by hand over small volumes: how it is made, which
// columns it shows, its header menu, the stored order and widths, the user's resizing, the path
// cells after a width change, and the kind style following the settings. Pictures of the table
// are saved for looking at by eye.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/ResultsTable/FileType.h"
#include "QuorvantaApp/ResultsTable/FlatHeader.h"
#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/ResultsTable/ResultsTable.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/columns/ColumnLayout.h"
#include "QuorvantaApp/model/columns/ColumnSets.h"
#include "QuorvantaApp/model/columns/HeaderMenu.h"
#include "QuorvantaApp/model/columns/KindStyle.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/lang/Tr.h"
#include "tests/QuorvantaApp/ResultsTable/CellFixtures.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/qt/SaveShot.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using core::test::IndexEntry;
using test::Host;
using test::makeModel;
using test::ModelWorld;
using test::showChanges;
using Texts = std::vector<std::string>;

constexpr int kHeight = 480;

int columnOf(std::string_view id) { return *ResultsModel::column(id); }

// A volume of `files` files in its root folder, named "<stem> <n>.<ext>", with audio facts from
// `audio` for those it gives some.
std::shared_ptr<VolumeState> drive(const std::string& name, const std::string& root, int files,
                                   const std::string& stem = "track", const std::string& ext = "mp3",
                                   const std::function<std::optional<core::AudioMeta>(int)>& audio = {}) {
    std::vector<IndexEntry> entries{{root, FIDX_NONE, 0}};
    for (int n = 0; n < files; ++n)
        entries.push_back({stem + " " + std::to_string(n) + "." + ext, 0, 0, 1000u + static_cast<unsigned>(n)});
    auto volume = test::onlineVolume({name, root}, entries);
    if (audio) {
        std::vector<core::AudioTable::Row> rows;
        for (int n = 0; n < files; ++n)
            if (auto meta = audio(n)) rows.push_back({static_cast<std::uint32_t>(n + 1), 0, std::move(*meta)});
        volume->index()->audioAttached()->upsert(std::move(rows));
    }
    return volume;
}

// Every entry but the root of each volume, volume by volume.
std::vector<RowKey> allFiles(const ResultSet::Volumes& vols) {
    std::vector<RowKey> rows;
    for (std::uint32_t v = 0; v < vols.size(); ++v)
        for (std::uint32_t i = 1; i < vols[v]->index()->count(); ++i) rows.push_back(rowKey(v, i));
    return rows;
}

// A table over a model without volumes, in a window; result sets are handed to it directly.
struct Table {
    explicit Table(int width = 900, Appearance appearance = Appearance::light)
        : model(makeModel(world, {})), results(new ResultsTable(*model)), host(results, width, kHeight, appearance) {}

    ResultsCoordinator& coordinator() const { return results->coordinator(); }
    KeyTable& view() const { return results->table(); }
    FlatHeader& header() const { return results->header(); }
    ResultsModel& rows() const { return coordinator().rows(); }
    platform::Settings& settings() { return world.settings; }

    void show(const ResultSet::Volumes& vols, std::vector<std::string> terms = {}) {
        std::int64_t hitVolumes = 0;
        for (const auto& v : vols) hitVolumes += v->index()->count() > 1;
        coordinator().show(ResultSet::create(vols, allFiles(vols), hitVolumes, std::move(terms), true));
        showChanges();
    }
    // Sets the category, and settles the search it starts (which shows the model's own result).
    void category(const std::string& id) {
        for (const auto& c : Category::defaults())
            if (c.id == id) model->setFilter(c);
        world.settle(*model);
        showChanges();
        ASSERT_EQ(model->filter->id, id);
    }
    bool shows(std::string_view id) const { return !view().isColumnHidden(columnOf(id)); }
    CellContent cell(int row, std::string_view id) const {
        return rows().data(rows().index(row, columnOf(id)), ResultsModel::kContentRole).value<CellContent>();
    }

    ModelWorld world;
    std::shared_ptr<AppModel> model;
    ResultsTable* results;
    Host host;
};

// A mouse drag over the header, as the user makes it: press, four moves, release.
void drag(FlatHeader& header, QPoint from, QPoint to) {
    QWidget* surface = header.viewport();
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), QPointF(surface->mapToGlobal(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(surface, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step)
        send(QEvent::MouseMove, from + (to - from) * step / 4, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    showChanges();
}

// Drags the right edge of a column by `by` points.
void dragEdge(FlatHeader& header, std::string_view id, int by) {
    const int column = columnOf(id);
    const QPoint edge(header.sectionViewportPosition(column) + header.sectionSize(column) - 2, FlatHeader::kHeight / 2);
    drag(header, edge, edge + QPoint(by, 0));
}

// Drags a column by its title onto the first quarter of another's, which puts it in that one's place.
void dragColumn(FlatHeader& header, std::string_view id, std::string_view onto) {
    const auto at = [&](std::string_view of, int quarter) {
        const int column = columnOf(of);
        return QPoint(header.sectionViewportPosition(column) + header.sectionSize(column) * quarter / 4,
                      FlatHeader::kHeight / 2);
    };
    drag(header, at(id, 2), at(onto, 1));
}

// The ids of all columns left to right, or of the shown ones only.
Texts visualOrder(const FlatHeader& header, bool shownOnly = false) {
    Texts ids;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int column = header.logicalIndex(visual);
        if (!shownOnly || !header.isSectionHidden(column))
            ids.emplace_back(ColumnDef::all[static_cast<std::size_t>(column)].id);
    }
    return ids;
}

TEST(ResultsTableView, IsMadeAsDesigned) {
    Table t;
    t.show({drive("Music", "/media/me/Music", 30)});
    KeyTable& view = t.view();
    EXPECT_EQ(view.rowHeight(0), 24);
    EXPECT_EQ(view.rowHeight(29), 24);
    EXPECT_FALSE(view.verticalHeader()->isVisible());
    EXPECT_EQ(view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(t.header().height(), 26);
    EXPECT_EQ(view.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(t.header().sectionsMovable());
    EXPECT_FALSE(view.showGrid());
    EXPECT_EQ(t.header().sectionResizeMode(columnOf("name")), QHeaderView::Fixed) << "not resizable by the user";
    for (const ColumnDef& def : ColumnDef::all) {
        if (def.id != "name") {
            EXPECT_EQ(t.header().sectionResizeMode(columnOf(def.id)), QHeaderView::Interactive) << def.id;
        }
    }
    EXPECT_EQ(t.header().minimumSectionSize(), 40);
    EXPECT_EQ(t.header().maximumSectionSize(), 4000);
    EXPECT_EQ(t.rows().columnCount(), 24);
    EXPECT_EQ(t.rows().rowCount(), 30);
    // The default columns of "all", without Drive (one volume), filling the width exactly.
    Texts shown;
    int width = 0;
    for (const auto& id : visualOrder(t.header()))
        if (t.shows(id)) {
            shown.push_back(id);
            width += t.header().sectionSize(columnOf(id));
        }
    EXPECT_EQ(shown, (Texts{"name", "size", "date", "kind", "path"}));
    EXPECT_EQ(width, view.viewport()->width());
    EXPECT_EQ(t.header().sectionSize(columnOf("path")), 240);
}

TEST(ResultsTableColumns, DriveShowsOnlyWithHitsFromTwoVolumes) {
    Table t;
    const auto music = drive("Music", "/media/me/Music", 3);
    const auto backup = drive("Backup", "/media/me/Backup", 2, "copy");
    ASSERT_TRUE(ColumnSets::visible("all", t.settings()).contains("drive")) << "the set lists Drive";
    t.show({music});
    EXPECT_FALSE(t.shows("drive")) << "hits from one volume";
    t.show({music, drive("Empty", "/media/me/Empty", 0)});
    EXPECT_FALSE(t.shows("drive")) << "two volumes searched, hits from one";
    t.show({music, backup});
    EXPECT_TRUE(t.shows("drive")) << "hits from two volumes";
    EXPECT_EQ(t.cell(3, "drive").text, "Backup");
    EXPECT_EQ(t.cell(3, "drive").iconKey, "externaldrive");
}

TEST(ResultsTableColumns, AudioTagColumnsEmptyInTheFirst2000RowsAreHidden) {
    struct Case {
        const char* what;
        std::optional<int> genreAt;  // the one row with a genre
        bool ticked;                 // Genre in the user's set for "audio"
        bool shown;
    };
    const Case cases[] = {
        {"no row has a genre", std::nullopt, true, false},
        {"row 1500 has one", 1499, true, true},
        {"row 2000, the last looked at, has one", 1999, true, true},
        {"only row 2001 has one", 2000, true, false},
        {"a genre, but the user did not tick Genre", 0, false, false},
    };
    for (const auto& c : cases) {
        Table t;
        t.category("audio");
        Texts ids = {"name", "artist", "title", "genre", "size", "path"};
        if (!c.ticked) ids.erase(ids.begin() + 3);
        ColumnSets::set(ColumnSet(ids.begin(), ids.end()), "audio", t.settings());
        t.show({drive("Music", "/media/me/Music", 2100, "track", "mp3", [&](int n) {
            core::AudioMeta meta;
            meta.artist = "Artist " + std::to_string(n);
            if (c.genreAt == n) meta.genre = "House";
            return std::optional(meta);
        })});
        EXPECT_EQ(t.shows("genre"), c.shown) << c.what;
        EXPECT_TRUE(t.shows("artist")) << c.what;
        EXPECT_FALSE(t.shows("title")) << c.what << ": ticked, but no row has a title";
        EXPECT_EQ(t.coordinator().emptyColumns().contains("genre"), !c.genreAt || *c.genreAt >= 2000) << c.what;
    }
}

TEST(ResultsTableHeaderMenu, ListsTheColumnsAndTicksThemForTheCategory) {
    Table t;
    t.category("docs");
    t.show({drive("Docs", "/media/me/Docs", 4, "report", "pdf")});
    ASSERT_FALSE(t.shows("kind"));
    std::unique_ptr<QMenu> menu(t.coordinator().headerMenu(nullptr));
    const auto entries = headerMenu(ColumnSets::visible("docs", t.settings()));
    const auto actions = menu->actions();
    ASSERT_EQ(static_cast<std::size_t>(actions.size()), entries.size());
    QAction* kind = nullptr;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const HeaderMenuEntry& entry = entries[i];
        const QAction& action = *actions[static_cast<qsizetype>(i)];
        EXPECT_EQ(action.isSeparator(), entry.kind == HeaderMenuEntry::Kind::separator) << i;
        if (entry.kind == HeaderMenuEntry::Kind::separator) continue;
        EXPECT_EQ(action.text().toStdString(), core::tr(entry.title)) << i;
        EXPECT_EQ(action.isEnabled(), entry.kind == HeaderMenuEntry::Kind::item) << entry.title;
        EXPECT_EQ(action.isCheckable(), entry.kind == HeaderMenuEntry::Kind::item) << entry.title;
        EXPECT_EQ(action.isChecked(), entry.checked) << entry.title;
        if (entry.id == "kind") kind = actions[static_cast<qsizetype>(i)];
    }
    EXPECT_EQ(actions.front()->text().toStdString(), "Audio tags");
    ASSERT_NE(kind, nullptr);

    kind->trigger();
    showChanges();
    EXPECT_EQ(t.settings().data("columnSets"), R"({"docs":["name","pages","size","date","kind","drive","path"]})")
        << "catalogue order, not the order of ticking";
    EXPECT_TRUE(t.shows("kind")) << "the column appears";
    EXPECT_EQ(t.cell(0, "kind").text, "PDF");
    std::unique_ptr<QMenu> again(t.coordinator().headerMenu(nullptr));
    for (QAction* action : again->actions()) {
        if (action->data().toString() == "kind") {
            EXPECT_TRUE(action->isChecked()) << "built anew when it opens";
        }
    }
}

TEST(ResultsTableLayout, OrderAndPreferredWidthsComeBackNeverTheFittedOnes) {
    ModelWorld world;
    const auto model = makeModel(world, {});
    {
        auto* results = new ResultsTable(*model);
        Host host(results, 1200, kHeight);
        FlatHeader& header = results->header();
        dragEdge(header, "path", 60);
        EXPECT_EQ(header.sectionSize(columnOf("path")), 300) << "the user's width";
        dragColumn(header, "path", "size");
        EXPECT_EQ(visualOrder(header, true), (Texts{"name", "path", "size", "date", "kind"}));
        dragEdge(header, "size", 20);
        const Texts order = visualOrder(header);
        ASSERT_TRUE(world.settings.data(ColumnLayout::key));
        EXPECT_EQ(ColumnLayout::load(world.settings).order, order);
        EXPECT_EQ(ColumnLayout::load(world.settings).widths, (ColumnWidths{{"path", 300}, {"size", 98}}));

        // A narrow window shrinks Path; moving a column then stores the layout again.
        host.resize(520);
        ASSERT_LT(header.sectionSize(columnOf("path")), 300);
        ASSERT_EQ(results->coordinator().preferredWidths().at("path"), 300);
        dragColumn(header, "kind", "date");
        ASSERT_NE(visualOrder(header), order) << "the move was made";
        EXPECT_EQ(ColumnLayout::load(world.settings).widths, (ColumnWidths{{"path", 300}, {"size", 98}}))
            << "the fitted width of Path is not stored";
    }
    const Texts stored = ColumnLayout::load(world.settings).order;
    auto* results = new ResultsTable(*model);
    Host host(results, 1200, kHeight);
    FlatHeader& header = results->header();
    EXPECT_EQ(visualOrder(header), stored);
    EXPECT_EQ(header.sectionSize(columnOf("path")), 300) << "the preferred width in a wide window";
    EXPECT_EQ(header.sectionSize(columnOf("size")), 98);
    EXPECT_EQ(results->coordinator().preferredWidths().at("date"), 76) << "a column the user never sized: its default";
}

TEST(ResultsTableLayout, UserResizingBecomesThePreferenceButNotForTheNameColumn) {
    Table t(900);
    t.show({drive("Music", "/media/me/Music", 40)});
    FlatHeader& header = t.header();
    const int name = header.sectionSize(columnOf("name"));
    const ColumnWidths before = t.coordinator().preferredWidths();
    dragEdge(header, "name", 80);
    EXPECT_EQ(header.sectionSize(columnOf("name")), name) << "the name column cannot be dragged wider";
    EXPECT_EQ(t.coordinator().preferredWidths(), before);
    EXPECT_FALSE(t.settings().data(ColumnLayout::key)) << "nothing to store";

    dragEdge(header, "kind", -40);
    EXPECT_EQ(t.coordinator().preferredWidths().at("kind"), 70);
    EXPECT_EQ(header.sectionSize(columnOf("kind")), 70);
    EXPECT_EQ(header.sectionSize(columnOf("name")), name + 40) << "the name column takes the slack";
    dragEdge(header, "date", -60);
    EXPECT_EQ(t.coordinator().preferredWidths().at("date"), 40) << "no column is dragged narrower than 40";
    const QFontMetricsF titles(FlatHeader::titleFont(true));
    EXPECT_EQ(header.sectionSize(columnOf("date")), std::ceil(titles.horizontalAdvance("Modified")) + 30)
        << "but it keeps room for its title";

    // A double click on a column's edge does not size it to its contents.
    const QPoint edge(header.sectionViewportPosition(columnOf("size")) + header.sectionSize(columnOf("size")) - 2, 10);
    QTest::mouseDClick(header.viewport(), Qt::LeftButton, Qt::NoModifier, edge);
    EXPECT_EQ(header.sectionSize(columnOf("size")), 78);
}

TEST(ResultsTableCells, PathTooltipIsTheFullFolder) {
    Table t(700);
    const auto deep =
        test::onlineVolume({"Music", "/media/me/Music"}, {{"/media/me/Music", FIDX_NONE, 0},
                                                          {"Albums", 0, FIDX_FOLDER},
                                                          {"A rather long artist name", 1, FIDX_FOLDER},
                                                          {"An even longer album title here", 2, FIDX_FOLDER},
                                                          {"song.mp3", 3}});
    t.show({deep});
    const CellContent path = t.cell(3, "path");
    EXPECT_EQ(path.tooltip, "/media/me/Music/Albums/A rather long artist name/An even longer album title here");
    EXPECT_EQ(t.rows().data(t.rows().index(3, columnOf("path")), Qt::ToolTipRole).toString().toStdString(),
              path.tooltip);
    EXPECT_EQ(path.text.rfind("…/", 0), 0u) << "the shown folder is cut at its head: " << path.text;
}

TEST(ResultsTableCells, AWidthChangeRereadsOnlyThePathCellsInView) {
    Table t(900);
    t.show({drive("Music", "/media/me/Music", 300)});
    t.view().verticalScrollBar()->setValue(100 * KeyTable::kRowHeight);
    showChanges();
    const auto inView = t.view().rowsInView();
    ASSERT_TRUE(inView);
    struct Change {
        int top, left, bottom, right;
    };
    std::vector<Change> changes;
    QObject::connect(&t.rows(), &QAbstractItemModel::dataChanged, &t.rows(),
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         changes.push_back({from.row(), from.column(), to.row(), to.column()});
                     });
    t.host.resize(700);
    ASSERT_FALSE(changes.empty());
    for (const Change& c : changes) {
        EXPECT_EQ(c.left, columnOf("path"));
        EXPECT_EQ(c.right, columnOf("path"));
        EXPECT_GE(c.top, inView->first);
        EXPECT_LE(c.bottom, inView->second);
    }
    EXPECT_LT(inView->second - inView->first, 30) << "a window's worth of rows, not 300";
}

TEST(ResultsTableKindStyle, FollowsTheSettingsWithoutAReset) {
    for (const bool overlay : {false, true}) {
        Table t;
        if (overlay) t.settings().setOverlay(kindStyleKey, std::string("badge"));
        t.show({drive("Music", "/media/me/Music", 300)});
        t.view().selectRow(150);
        t.view().verticalScrollBar()->setValue(120 * KeyTable::kRowHeight);
        showChanges();
        const int scroll = t.view().verticalScrollBar()->value();
        int resets = 0;
        std::vector<std::pair<QModelIndex, QModelIndex>> changes;
        QObject::connect(&t.rows(), &QAbstractItemModel::modelReset, &t.rows(), [&] { ++resets; });
        QObject::connect(&t.rows(), &QAbstractItemModel::dataChanged, &t.rows(),
                         [&](const QModelIndex& from, const QModelIndex& to) { changes.emplace_back(from, to); });
        ASSERT_EQ(t.cell(150, "kind").text, "MP3");
        ASSERT_TRUE(t.cell(150, "kind").badge);

        t.settings().setText(kindStyleKey, "description");
        EXPECT_TRUE(changes.empty()) << "not before the main queue's turn";
        t.world.main.drain();
        showChanges();
        if (overlay) {
            EXPECT_TRUE(changes.empty()) << "the overlay's badge style stays";
            EXPECT_EQ(t.cell(150, "kind").text, "MP3");
            continue;
        }
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].first, t.rows().index(0, columnOf("kind")));
        EXPECT_EQ(changes[0].second, t.rows().index(299, columnOf("kind")));
        EXPECT_EQ(t.cell(150, "kind").text, fileTypeOf("mp3").description.value_or("?"));
        EXPECT_FALSE(t.cell(150, "kind").badge);
        EXPECT_EQ(resets, 0);
        EXPECT_EQ(t.view().verticalScrollBar()->value(), scroll);
        const auto selected = t.view().selectionModel()->selection();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(selected[0].top(), 150);
        EXPECT_EQ(selected[0].bottom(), 150);

        t.settings().remove(kindStyleKey);
        t.world.main.drain();
        EXPECT_EQ(t.cell(150, "kind").text, "MP3") << "back to badges";
    }
}

// The pictures: an audio result in badge style with a highlighted term and the sort chevron on
// Size, and a mixed result in description style with a selected row and an offline row, each in
// both appearances, in English and German.
TEST(ResultsTablePictures, AudioAndMixedResults) {
    const auto audio = drive("Music SSD", "/media/alex/Music SSD", 0);
    core::test::appendEntries(*audio->index(), {{"Sets", 0, FIDX_FOLDER},
                                                {"Night Drive (Remix).flac", 1, 0, 48'000'000},
                                                {"Summer Remix.mp3", 1, 0, 9'100'000},
                                                {"Remix Ideas – Late Session 04.wav", 1, 0, 70'000'000},
                                                {"Deep Remix Edit.aiff", 1, 0, 61'000'000},
                                                {"Bootleg (REMIX).mp3", 1, 0, 8'400'000}});
    const auto metaOf = [](const char* artist, const char* title, int bpm10, std::uint32_t ms, int kbps) {
        core::AudioMeta meta;
        meta.artist = artist;
        meta.title = title;
        meta.bpm10 = bpm10;
        meta.durationMs = ms;
        meta.bitrateKbps = static_cast<std::uint16_t>(kbps);
        return meta;
    };
    audio->index()->audioAttached()->upsert({
        {2, 0, metaOf("Kaleida", "Night Drive (Remix)", 1240, 412'000, 1021)},
        {3, 0, metaOf("Solenne", "Summer", 1225, 221'000, 320)},
        {4, 0, metaOf("", "Late Session", 0, 1'932'000, 1411)},
        {5, 0, metaOf("Mira Vale", "Deep", 1200, 380'500, 1411)},
        {6, 0, metaOf("Anon", "Bootleg", 1280, 198'000, 256)},
    });
    const auto internal = test::onlineVolume({"Computer", "/", true, "/home/alex"},
                                             {{"/", FIDX_NONE, 0},
                                              {"home", 0, FIDX_FOLDER, 0, 1'690'000'000},
                                              {"alex", 1, FIDX_FOLDER, 0, 1'700'000'000},
                                              {"Documents", 2, FIDX_FOLDER, 0, 1'709'000'000},
                                              {"Invoices", 3, FIDX_FOLDER, 0, 1'709'700'000},
                                              {"Invoice 2024-03.pdf", 4, 0, 182'000, 1'709'767'800},
                                              {"holiday.jpg", 3, 0, 3'400'000, 1'692'000'000},
                                              {"Makefile", 3, 0, 2'100, 1'650'000'000},
                                              {"notes.md", 3, 0, 900, 1'711'000'000}});
    const auto offline = test::offlineVolume(
        "Backup 2019", "/media/alex/Backup 2019",
        core::test::buildIndex({{"/media/alex/Backup 2019", FIDX_NONE, 0}, {"old remix.wav", 0, 0, 70'000'000}}));
    ASSERT_TRUE(offline->offline.get());

    for (const char* language : {"en", "de"}) {
        quorvanta::test::LanguageScope scope(language);
        const QLocale localeBefore;
        QLocale::setDefault(QLocale(language));  // the type descriptions' language
        for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
            const std::string suffix =
                std::string("-") + (appearance == Appearance::light ? "light" : "dark") + "-" + language;
            {
                ModelWorld world;
                core::Lang::shared().setChoice(language);  // the model's world starts in English
                const auto model = makeModel(world, {});
                model->setSort(core::SortKey::size, true);
                world.settle(*model);
                Texts ids = {"name", "artist", "title", "bpm", "duration", "bitrate", "size", "kind", "path"};
                ColumnSets::set(ColumnSet(ids.begin(), ids.end()), "all", world.settings);
                auto* results = new ResultsTable(*model);
                Host host(results, 1000, 220, appearance);
                results->coordinator().show(ResultSet::create({audio}, allFiles({audio}), 1, {"remix"}, true));
                showChanges();
                EXPECT_EQ(results->header().sortIndicatorSection(), columnOf("size"));
                quorvanta::test::saveShot(host.window, "results-audio" + suffix);
            }
            {
                ModelWorld world;
                core::Lang::shared().setChoice(language);
                const auto model = makeModel(world, {});
                world.settings.setText(kindStyleKey, "description");
                auto* results = new ResultsTable(*model);
                Host host(results, 1000, 300, appearance);
                std::vector<RowKey> rows;
                for (std::uint32_t i = 1; i < internal->index()->count(); ++i) rows.push_back(rowKey(0, i));
                rows.push_back(rowKey(1, 2));
                rows.push_back(rowKey(1, 3));
                rows.push_back(rowKey(2, 1));
                results->coordinator().show(ResultSet::create({internal, audio, offline}, rows, 3, {}, true));
                QApplication::setActiveWindow(&host.window);
                EXPECT_TRUE(QTest::qWaitForWindowActive(&host.window));
                results->table().setFocus();
                results->table().selectRow(4);
                showChanges();
                EXPECT_FALSE(results->table().isColumnHidden(columnOf("drive")));
                const auto& cells = results->coordinator().rows();
                EXPECT_FALSE(cells.data(cells.index(4, columnOf("kind")), ResultsModel::kContentRole)
                                 .value<CellContent>()
                                 .badge);
                quorvanta::test::saveShot(host.window, "results-mixed" + suffix);
            }
        }
        QLocale::setDefault(localeBefore);
    }
}

}  // namespace
}  // namespace quorvanta::app
