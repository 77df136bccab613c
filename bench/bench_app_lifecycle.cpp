// The application model's start of one volume over the generated tree (bench/TreeGen.h; 1M
// entries by default), from startScans to the first published rows and to a running watcher that
// has caught up: a full scan (no snapshot: every step, the five sort orders and the save
// included), and the resume of the snapshot it saved by the reconcile rule (watcher first, the
// folders watched, the folder-time reconcile and the file stat pass). The main queue is the
// manual one, drained on this thread; the model's queues and the live inotify source are real.
//   build-release/bench/bench_app_lifecycle
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index/VolumeWatcher.h"
#include "bench/TreeGen.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/events/InotifySource.h"
#include "platform/settings/Settings.h"
#include "platform/time/Clock.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace quorvanta;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct World {
    World() {
        fs::remove_all(data);
        fs::create_directories(data);
    }
    ~World() { fs::remove_all(data); }

    std::shared_ptr<app::AppModel> model(std::optional<core::VolumeID::Resume> resume) {
        app::AppModel::Dependencies d(main);
        d.prefs = &prefs;
        d.defaults = &settings;
        d.dataFolder = data;
        d.events = events;
        d.content = [] { return nullptr; };
        d.resume = [resume](const core::SnapshotInfo&, const std::string&, const platform::MountEntry*) {
            return resume;
        };
        return app::AppModel::create({root}, true, d);
    }

    // Times one start: to the first rows published, then to the watcher caught up and `updating`
    // cleared. The query matches a tenth of the files.
    void start(app::AppModel& model, benchmark::State& state) {
        const auto volume = model.volumes->at(0);
        model.setQuery("jpg");
        const auto began = Clock::now();
        model.startScans();
        main.waitUntil([&] { return !model.results.get()->rows().empty(); });
        const double firstRows = msSince(began);
        main.waitUntil([&] { return volume->watcher != nullptr && !volume->scanning.get(); });
        volume->watcher->isCaughtUp();
        volume->watcher->isCaughtUp();
        clock.advance(std::chrono::seconds(1));
        main.waitUntil([&] { return !volume->updating.get(); });
        state.counters["first_rows_ms"] = firstRows;
        state.counters["watching_ms"] = msSince(began);
        state.counters["entries"] = static_cast<double>(volume->index()->count());
    }

    const std::string root = bench::ensureTree(bench::benchEntries());
    const fs::path data = fs::temp_directory_path() / "quorvanta-bench-lifecycle-data";
    platform::FakeClock clock;
    platform::ManualMainQueue main{clock};
    platform::MemorySettings settings;
    app::Prefs prefs{settings};
    std::shared_ptr<platform::EventSource> events = std::make_shared<platform::InotifySource>();
};

void BM_StartFullScan(benchmark::State& state) {
    for (auto _ : state) {
        World world;
        auto model = world.model(std::nullopt);
        world.start(*model, state);
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartFullScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_StartReconcileResume(benchmark::State& state) {
    World world;
    {
        auto first = world.model(std::nullopt);
        const auto volume = first->volumes->at(0);
        first->startScans();
        world.main.waitUntil([&] { return volume->watcher != nullptr; });
    }  // released once its save has written the snapshot
    for (auto _ : state) {
        auto model = world.model(core::VolumeID::Resume::reconcile);
        world.start(*model, state);
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartReconcileResume)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
