// The results table at 5,000,000 rows, under the offscreen platform: an application model without
// persisting over one forced root, its index filled with synthetic entries through the engine's
// batch interface, and a table in a window of 1000 × 700 showing every entry.
//   set_model_first_paint   a new result set replaces an empty one (one model reset, the columns
//                           applied and fitted), then the window paints
//   scroll_middle_repaint   from the top to the middle row, then the window paints
//   reset_repaint           a new result set of the same rows replaces the shown one, then paint
//   select_all_walk         every row selected, then the selection's ranges walked row by row
//   select_all_reload       every row selected, then a new result set of the same rows that keeps
//                           the scroll: the kept entries taken from the ranges, one model reset and
//                           the selection put back, then the window paints
// Run it from a Release build:
//   QT_QPA_PLATFORM=offscreen build-release/bench/bench_results_table
#include "QuorvantaApp/ResultsTable/KeyTable.h"
#include "QuorvantaApp/ResultsTable/ResultsCoordinator.h"
#include "QuorvantaApp/ResultsTable/ResultsModel.h"
#include "QuorvantaApp/ResultsTable/ResultsTable.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "bench/SyntheticIndex.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/settings/Settings.h"
#include "platform/time/Clock.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace {

using namespace quorvanta;

constexpr std::uint32_t kEntries = 5'000'000;

class NoDrives final : public app::CandidatesProvider {
public:
    std::vector<app::Candidate> candidates() const override { return {}; }
};

struct Fixture {
    platform::FakeClock clock;
    platform::ManualMainQueue main{clock};
    platform::MemorySettings settings;
    app::Prefs prefs{settings};
    std::shared_ptr<app::AppModel> model;
    std::vector<app::RowKey> rows;
    std::unique_ptr<app::ResultsTable> table;

    Fixture() {
        app::AppModel::Dependencies d(main);
        d.prefs = &prefs;
        d.defaults = &settings;
        d.dataFolder = std::filesystem::path();
        d.candidates = std::make_shared<NoDrives>();
        d.content = [] { return std::shared_ptr<core::ContentIndex>(); };
        model = app::AppModel::create({"/data"}, false, d);
        const auto& volume = model->volumes.get().front();
        bench::fillSyntheticEntries(volume->index()->s(), kEntries);
        volume->scanning.set(false);
        rows.reserve(volume->index()->count() - 1);
        for (std::uint32_t i = 1; i < volume->index()->count(); ++i) rows.push_back(app::rowKey(0, i));
        table = std::make_unique<app::ResultsTable>(*model);
        table->resize(1000, 700);
        table->show();
        QCoreApplication::processEvents();
    }

    std::shared_ptr<const app::ResultSet> resultSet(bool resetScroll = true) const {
        return app::ResultSet::create(model->volumes.get(), rows, 1, {"track"}, resetScroll);
    }
    app::ResultsCoordinator& coordinator() const { return table->coordinator(); }
    app::KeyTable& view() const { return table->table(); }
    void paint() const { table->repaint(); }
};

// Made on first use, released before the QApplication goes.
std::unique_ptr<Fixture> built;

Fixture& fixture() {
    if (!built) built = std::make_unique<Fixture>();
    return *built;
}

void setModelFirstPaint(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.coordinator().show(app::ResultSet::empty());
        f.paint();
        auto set = f.resultSet();
        state.ResumeTiming();
        f.coordinator().show(std::move(set));
        f.paint();
    }
    state.counters["rows"] = f.coordinator().rows().rowCount();
}

void scrollMiddleRepaint(benchmark::State& state) {
    Fixture& f = fixture();
    f.coordinator().show(f.resultSet());
    const QModelIndex middle = f.coordinator().rows().index(f.coordinator().rows().rowCount() / 2, 0);
    for (auto _ : state) {
        state.PauseTiming();
        f.view().scrollToTop();
        f.paint();
        state.ResumeTiming();
        f.view().scrollTo(middle, QAbstractItemView::PositionAtCenter);
        f.paint();
    }
    state.counters["scroll"] = f.view().verticalScrollBar()->value();
}

void resetRepaint(benchmark::State& state) {
    Fixture& f = fixture();
    f.coordinator().show(f.resultSet());
    f.paint();
    for (auto _ : state) {
        state.PauseTiming();
        auto set = f.resultSet();
        state.ResumeTiming();
        f.coordinator().show(std::move(set));
        f.paint();
    }
}

void selectAllWalk(benchmark::State& state) {
    Fixture& f = fixture();
    f.coordinator().show(f.resultSet());
    f.paint();
    std::int64_t selected = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.view().clearSelection();
        state.ResumeTiming();
        f.view().selectAll();
        selected = 0;
        for (const QItemSelectionRange& range : f.view().selectionModel()->selection())
            for (int row = range.top(); row <= range.bottom(); ++row) benchmark::DoNotOptimize(selected += 1);
    }
    state.counters["selected"] = static_cast<double>(selected);
}

void selectAllReload(benchmark::State& state) {
    Fixture& f = fixture();
    f.coordinator().show(f.resultSet());
    f.paint();
    for (auto _ : state) {
        state.PauseTiming();
        f.view().selectAll();
        auto set = f.resultSet(false);
        state.ResumeTiming();
        f.coordinator().show(std::move(set));
        f.paint();
    }
    state.counters["kept"] = static_cast<double>(f.coordinator().selectedEntries(f.rows.size()).size());
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    benchmark::Initialize(&argc, argv);
    using Run = void (*)(benchmark::State&);
    const std::pair<const char*, Run> runs[] = {{"set_model_first_paint", setModelFirstPaint},
                                                {"scroll_middle_repaint", scrollMiddleRepaint},
                                                {"reset_repaint", resetRepaint},
                                                {"select_all_walk", selectAllWalk},
                                                {"select_all_reload", selectAllReload}};
    for (const auto& [name, run] : runs) benchmark::RegisterBenchmark(name, run)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    built.reset();
    return 0;
}
