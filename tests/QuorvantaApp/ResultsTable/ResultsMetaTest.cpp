// The results table's per-file metadata (MetaRequests): loads start when a cell asks, once per
// file and result set, on the background pool; results land only for the set that asked, update
// only the lazy cells of their row, and never reach a table that is gone. The loader is a fake
// that can be held at a gate, so the tests decide when loads end.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/ResultsTable/MetaRequests.h"
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/ResultsTable/ResultsTable.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/QuorvantaApp/ResultsTable/CellFixtures.h"
#include "tests/support/qt/SaveShot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using core::test::IndexEntry;
using test::showChanges;

// A fake FileMeta::load: counts its calls per path and, while the gate is closed, waits at it.
// The facts it gives depend on the size, so a replaced file is told from the old one.
class Loader {
public:
    explicit Loader(bool open = true) : open_(open) {}

    MetaRequests::Load load() {
        return [this](const std::string& path, std::uint64_t size, std::string_view) {
            std::unique_lock lock(mutex_);
            calls_.push_back(path);
            changed_.notify_all();
            changed_.wait(lock, [&] { return open_; });
            FileMeta meta;
            meta.duration = 60.0 + static_cast<double>(size % 60);
            meta.w = 1920;
            meta.h = 1080;
            meta.pages = static_cast<std::int32_t>(size);
            meta.atime = std::chrono::sys_seconds(std::chrono::seconds(1'765'000'000));
            return meta;
        };
    }
    // Waits until `n` loads have started.
    void waitForCalls(std::size_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return calls_.size() >= n; });
    }
    void open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    std::vector<std::string> calls() {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_;
    std::vector<std::string> calls_;
};

// A volume of `files` videos "clip <n>.mp4" of n bytes; file n is entry n.
std::shared_ptr<VolumeState> videos(int files) {
    std::vector<IndexEntry> entries{{"/media/me/Films", FIDX_NONE, 0}};
    for (int n = 1; n <= files; ++n) entries.push_back({"clip " + std::to_string(n) + ".mp4", 0, 0, static_cast<std::uint64_t>(n)});
    return test::onlineVolume({"Films", "/media/me/Films"}, entries);
}

std::vector<RowKey> rowsOf(std::uint32_t first, std::uint32_t last) {
    std::vector<RowKey> rows;
    for (std::uint32_t i = first; i <= last; ++i) rows.push_back(rowKey(0, i));
    return rows;
}

int columnOf(std::string_view id) { return *ResultsModel::column(id); }

struct Table {
    explicit Table(Loader& loader) : model(test::makeModel(world, {})), results(new ResultsTable(*model)) {
        results->coordinator().metaRequests().setLoad(loader.load());
        host.emplace(results, 900, 300);
    }
    ~Table() { MetaRequests::waitForLoadsForTesting(); }

    ResultsCoordinator& coordinator() const { return results->coordinator(); }
    ResultsModel& rows() const { return coordinator().rows(); }
    void show(std::vector<RowKey> rows) {
        coordinator().show(ResultSet::create({volume}, std::move(rows), 1, {}, true));
        showChanges();
    }
    CellContent cell(int row, std::string_view id) const {
        return rows().data(rows().index(row, columnOf(id)), ResultsModel::kContentRole).value<CellContent>();
    }

    test::ModelWorld world;
    std::shared_ptr<AppModel> model;
    ResultsTable* results;
    std::optional<test::Host> host;
    std::shared_ptr<VolumeState> volume = videos(30);
};

struct Change {
    int row, left, right, bottom;
};


TEST(ResultsMetaLoads, AResultUpdatesOnlyTheLazyCellsOfItsRowAndEachFileIsAskedOnce) {
    Loader loader(false);
    Table t(loader);
    t.show(rowsOf(1, 30));
    std::vector<Change> changes;
    QObject::connect(&t.rows(), &QAbstractItemModel::dataChanged, &t.rows(),
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         changes.push_back({from.row(), from.column(), to.column(), to.row()});
                     });
    EXPECT_EQ(t.cell(25, "duration").text, "") << "empty until loaded";
    for (int again = 0; again < 3; ++again)
        for (const char* id : {"duration", "dims", "pages", "atime"}) (void)t.cell(25, id);
    loader.open();
    MetaRequests::waitForLoadsForTesting();
    showChanges();

    const auto calls = loader.calls();
    const std::set<std::string> distinct(calls.begin(), calls.end());
    EXPECT_EQ(distinct.size(), calls.size()) << "one load per file";
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "/media/me/Films/clip 26.mp4"), 1);

    std::set<int> lazyColumns;
    for (const ColumnDef& c : ColumnDef::all)
        if (c.lazy) lazyColumns.insert(columnOf(c.id));
    std::set<int> row25;
    for (const Change& c : changes) {
        EXPECT_EQ(c.row, c.bottom) << "one row at a time";
        EXPECT_EQ(c.left, c.right);
        EXPECT_TRUE(lazyColumns.contains(c.left)) << "column " << c.left;
        if (c.row == 25) row25.insert(c.left);
    }
    EXPECT_EQ(row25, lazyColumns);
    EXPECT_NE(t.cell(25, "duration").text, "");
    EXPECT_EQ(t.cell(25, "pages").text, "26");
    (void)t.cell(25, "duration");
    MetaRequests::waitForLoadsForTesting();
    EXPECT_EQ(loader.calls().size(), calls.size()) << "answered from the cache";
}

// Loads held at the gate while a new set arrives: the four running ones end into nothing, the
// queued ones never run, and the cache stays empty.
TEST(ResultsMetaLoads, ANewSetDropsWhatTheOldOneAskedFor) {
    Loader loader(false);
    Table t(loader);
    t.host->window.hide();  // only the cells the test asks for load
    t.show(rowsOf(1, 30));
    for (int row = 0; row < 10; ++row) (void)t.cell(row, "duration");
    loader.waitForCalls(MetaRequests::kThreads);
    int changes = 0;
    t.show({});
    QObject::connect(&t.rows(), &QAbstractItemModel::dataChanged, &t.rows(), [&] { ++changes; });
    loader.open();
    MetaRequests::waitForLoadsForTesting();
    showChanges();
    EXPECT_EQ(loader.calls().size(), static_cast<std::size_t>(MetaRequests::kThreads)) << "queued loads never ran";
    EXPECT_EQ(t.coordinator().metaRequests().cachedForTesting(), 0u);
    EXPECT_EQ(changes, 0);
}

TEST(ResultsMetaLoads, ATableDestroyedWhileLoadsRunHearsNothing) {
    Loader loader(false);
    std::optional<Table> t(std::in_place, loader);
    t->show(rowsOf(1, 30));
    for (int row = 0; row < 10; ++row) (void)t->cell(row, "duration");
    loader.waitForCalls(MetaRequests::kThreads);
    t->host.reset();  // the window and the table go while four loads wait at the gate
    loader.open();
    t.reset();
    showChanges();
    EXPECT_EQ(loader.calls().size(), static_cast<std::size_t>(MetaRequests::kThreads));
}

// MetaRequests on its own, over an index of PDFs: the cache's key and its limit.
struct Requests {
    Requests() : requests([this](std::size_t row) { arrived.push_back(row); }, nullptr) { requests.setLoad(loader.load()); }
    std::optional<FileMeta> ask(const core::VolumeIndex& index, std::uint32_t entry) {
        return requests.meta(index, entry - 1, entry);
    }
    Loader loader;
    std::vector<std::size_t> arrived;
    MetaRequests requests;
};

std::shared_ptr<core::VolumeIndex> pdfs(int files, std::uint64_t size) {
    std::vector<IndexEntry> entries{{"/docs", FIDX_NONE, 0}};
    for (int n = 1; n <= files; ++n) entries.push_back({"doc " + std::to_string(n) + ".pdf", 0, 0, size, 1'700'000'000});
    return core::test::buildIndex(entries);
}

TEST(ResultsMetaCache, AFileReplacedWithAnotherSizeIsLoadedAgain) {
    Requests r;
    const auto before = pdfs(1, 12);
    const auto after = pdfs(1, 40);  // the same path, rewritten
    EXPECT_FALSE(r.ask(*before, 1));
    MetaRequests::waitForLoadsForTesting();
    ASSERT_EQ(r.ask(*before, 1)->pages, 12);
    r.requests.reset();
    EXPECT_FALSE(r.ask(*after, 1)) << "not the old file's facts";
    MetaRequests::waitForLoadsForTesting();
    EXPECT_EQ(r.ask(*after, 1)->pages, 40);
    EXPECT_EQ(r.loader.calls().size(), 2u);
}

TEST(ResultsMetaCache, EmptiedAtTheNextResetOnlyOnceOverTheLimit) {
    for (const std::size_t files : {MetaRequests::kCacheLimit, MetaRequests::kCacheLimit + 1}) {
        SCOPED_TRACE(files);
        Requests r;
        const auto index = pdfs(static_cast<int>(files), 3);
        for (std::uint32_t e = 1; e <= files; ++e) r.ask(*index, e);
        MetaRequests::waitForLoadsForTesting();
        ASSERT_EQ(r.requests.cachedForTesting(), files);
        r.requests.reset();
        EXPECT_EQ(r.requests.cachedForTesting(), files > MetaRequests::kCacheLimit ? 0u : files);
    }
}

// The pictures: videos and PDFs after their facts have landed (play time, pixel size, pages,
// last opened).
TEST(ResultsMetaPictures, VideosAndDocumentsAfterTheFactsLand) {
    for (const auto& [category, ext] : {std::pair{"video", "mp4"}, std::pair{"docs", "pdf"}}) {
        Loader loader;
        Table t(loader);
        std::vector<IndexEntry> entries{{"/media/me/Work", FIDX_NONE, 0}};
        for (int n = 1; n <= 8; ++n)
            entries.push_back({std::string("take ") + std::to_string(n) + "." + ext, 0, 0,
                               static_cast<std::uint64_t>(n * 7), 1'700'000'000});
        t.volume = test::onlineVolume({"Work", "/media/me/Work"}, entries);
        for (const auto& c : Category::defaults())
            if (c.id == category) t.model->setFilter(c);
        t.world.settle(*t.model);
        showChanges();
        t.coordinator().toggleColumn("atime");  // off unless chosen from the header's menu
        t.show(rowsOf(1, 8));
        for (int row = 0; row < 8; ++row)
            for (const char* id : {"duration", "dims", "pages", "atime"}) (void)t.cell(row, id);
        MetaRequests::waitForLoadsForTesting();
        showChanges();
        EXPECT_NE(t.cell(0, category == std::string("video") ? "duration" : "pages").text, "");
        EXPECT_NE(t.cell(0, "atime").text, "");
        quorvanta::test::saveShot(t.host->window, std::string("results-meta-") + category);
    }
}

}  // namespace
}  // namespace quorvanta::app
