// The cost of one idle maintenance tick: ten volumes of 1M synthetic entries each
// (bench/SyntheticIndex.h), every count published, every sort order and the global order built,
// nothing changed and nothing due; without persisting (/0) and with it (/1: the reconcile and
// save rules are asked too, with no content index). Reports the jobs and searches the ticks
// started (0 expected). The main queue is the manual one, on this thread; the model's queues are
// real.
//   build-release/bench/bench_maintenance_tick
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "bench/SyntheticIndex.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/settings/Settings.h"
#include "platform/time/Clock.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace quorvanta;

constexpr int kVolumes = 10;
constexpr std::uint32_t kEntries = 1'000'000;

struct World {
    explicit World(bool persist) {
        std::filesystem::remove_all(data);
        std::filesystem::create_directories(data);
        app::AppModel::Dependencies d(main);
        d.prefs = &prefs;
        d.defaults = &settings;
        d.dataFolder = data;
        d.content = [] { return nullptr; };
        std::vector<std::string> roots;
        for (int i = 0; i < kVolumes; ++i) roots.push_back("/bench/volume" + std::to_string(i));
        model = app::AppModel::create(roots, persist, d);

        std::vector<std::thread> fillers;
        for (const auto& volume : model->volumes.get())
            fillers.emplace_back([index = volume->index()] {
                bench::fillSyntheticEntries(index->s(), kEntries);
                for (const core::SortKey key : core::allSortKeys) index->rebuildPermutation(key);
            });
        for (auto& filler : fillers) filler.join();
        // The state an idle volume reaches after its first ticks: counts published, audio
        // analysed for this signature.
        for (const auto& volume : model->volumes.get()) {
            const auto& index = volume->index();
            volume->scanning.set(false);
            volume->count.set(index->liveCount());
            volume->lastMutations = index->mutations();
            volume->lastAudioVersion = index->audioVersion();
            volume->audioSig = {index->count(), index->mutations()};
        }
        model->maintainGlobal();
        main.waitUntil([&] { return !model->globalBuilding(); });
        model->queue().sync([] {});
        main.drain();
    }
    ~World() {
        model.reset();
        std::filesystem::remove_all(data);
    }

    std::uint64_t work() {
        return model->bg().submitted() + model->audioQueue().submitted() + model->contentQueue().submitted() +
               model->netQueue().submitted() + static_cast<std::uint64_t>(model->generation());
    }

    const std::filesystem::path data = std::filesystem::temp_directory_path() / "quorvanta-bench-tick-data";
    platform::FakeClock clock;
    platform::ManualMainQueue main{clock};
    platform::MemorySettings settings;
    app::Prefs prefs{settings};
    std::shared_ptr<app::AppModel> model;
};

void BM_IdleTick(benchmark::State& state) {
    // One world at a time: each holds ten million entries.
    static std::unique_ptr<World> world;
    static bool persisting = false;
    const bool persist = state.range(0) != 0;
    if (!world || persisting != persist) {
        world.reset();
        world = std::make_unique<World>(persist);
        persisting = persist;
    }
    const std::uint64_t before = world->work();
    for (auto _ : state) world->model->tick();
    state.counters["jobs_and_searches"] = static_cast<double>(world->work() - before);
    state.counters["volumes"] = kVolumes;
    state.counters["entries_per_volume"] = world->model->volumes->at(0)->index()->count();
}
BENCHMARK(BM_IdleTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
