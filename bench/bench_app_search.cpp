// The application model's search, from runSearch to the published result set, over three volumes
// filled with bench/SyntheticIndex.h's entries (1M and 10M entries in all, name and size orders
// built): a rare query, a broad one and a narrowing keystroke (the search before it untimed), in
// name order without the global order, in size order, and in name order through the global order
// (built before the first such benchmark, so those run last; "via_global" tells that the order
// placed the rows). The main queue is the manual one, drained on this thread; the search queue
// and the searchers' threads are the model's own. Each benchmark reports the p50 and p95 latency
// in ms and the rows published.
//
// BM_OfflineCatalogs times the start-up step that lists a data folder holding a 1M-entry snapshot
// of the boot volume ("/", so never a catalog): a whole model construction that reads only the
// snapshot's header, the header read alone, and the two whole-file reads a listing would otherwise
// need to learn the root (VolumeIndex::peek and VolumeIndex::load).
//
//   build-release/bench/bench_app_search --benchmark_filter='/1000000'
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/settings/Settings.h"
#include "platform/time/Clock.h"

#include "bench/SyntheticIndex.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quorvanta;
using core::SortKey;

class NoDrives final : public app::CandidatesProvider {
public:
    std::vector<app::Candidate> candidates() const override { return {}; }
};

fs::path scratchFolder(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    fs::path folder = fs::path(tmp && *tmp ? tmp : "/tmp") / ("quorvanta-bench-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// The services of a model without persisting, on this thread.
struct World {
    platform::FakeClock clock;
    platform::ManualMainQueue main{clock};
    platform::MemorySettings settings;
    app::Prefs prefs{settings};

    app::AppModel::Dependencies deps(const fs::path& data) {
        app::AppModel::Dependencies d(main);
        d.prefs = &prefs;
        d.defaults = &settings;
        d.dataFolder = data;
        d.candidates = std::make_shared<NoDrives>();
        d.content = [] { return std::shared_ptr<core::ContentIndex>(); };
        return d;
    }
};

// A model over three volumes holding `entries` entries in all, their name and size orders built.
struct Fixture {
    World world;
    std::shared_ptr<app::AppModel> model;

    explicit Fixture(std::uint32_t entries) {
        model = app::AppModel::create({"/bench/one", "/bench/two", "/bench/three"}, false,
                                      world.deps(scratchFolder("app-search")));
        for (const auto& volume : model->volumes.get()) {
            bench::fillSyntheticEntries(volume->index()->s(), entries / 3);
            volume->index()->permutation(SortKey::name);
            volume->index()->permutation(SortKey::size);
            volume->scanning.set(false);
        }
    }

    // Waits for the search started last and runs its publication.
    void settle() {
        model->queue().sync([] {});
        world.main.drain();
    }

    void buildGlobalOrder() {
        if (model->global()) return;
        model->maintainGlobal();
        world.main.waitUntil([&] { return !model->globalBuilding(); });
        settle();
    }
};

Fixture& fixture(std::uint32_t entries) {
    static std::map<std::uint32_t, std::unique_ptr<Fixture>> built;
    auto& slot = built[entries];
    if (!slot) slot = std::make_unique<Fixture>(entries);
    return *slot;
}

// Each timed search follows an untimed one: an unrelated query, so that the timed one is a full
// evaluation (a searcher answers a query that repeats or lengthens its last one by narrowing), or
// the text one key shorter for the narrowing keystroke.
struct Case {
    const char* label;
    std::string query;
    std::string before;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"rare", "report 123456", "zzz"},
        {"broad", "track", "zzz"},
        {"narrowing_keystroke", "holiday 12", "holiday 1"},
    };
    return all;
}

enum class Order { name, size, nameGlobal };

void runCase(benchmark::State& state, Order order) {
    Fixture& f = fixture(static_cast<std::uint32_t>(state.range(0)));
    const Case& c = cases()[static_cast<std::size_t>(state.range(1))];
    if (order == Order::nameGlobal) f.buildGlobalOrder();
    f.model->setSort(order == Order::size ? SortKey::size : SortKey::name, false);
    f.settle();

    const auto narrowings = [&] {
        std::uint64_t n = 0;
        for (const auto& volume : f.model->volumes.get()) n += volume->searcher()->narrowingsForTesting();
        return n;
    };
    std::uint64_t viaGlobal = 0;
    std::uint64_t narrowed = 0;
    std::vector<double> ms;
    for (auto _ : state) {
        state.PauseTiming();
        f.model->setQuery(c.before);
        f.settle();
        const std::uint64_t globalBefore = f.model->globalMergesForTesting();
        const std::uint64_t narrowedBefore = narrowings();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        f.model->setQuery(c.query);
        f.settle();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        viaGlobal += f.model->globalMergesForTesting() - globalBefore;
        narrowed += narrowings() - narrowedBefore;
    }
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p95_ms"] = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
    state.counters["rows"] = double(f.model->results.get()->rows().size());
    state.counters["via_global"] = double(viaGlobal) / double(ms.size());
    state.counters["narrowed_volumes"] = double(narrowed) / double(ms.size());
    state.SetLabel(c.label);
}

void BM_NameOrder(benchmark::State& state) { runCase(state, Order::name); }
void BM_SizeOrder(benchmark::State& state) { runCase(state, Order::size); }
void BM_NameOrderGlobal(benchmark::State& state) { runCase(state, Order::nameGlobal); }

void args(benchmark::internal::Benchmark* b) {
    for (const long entries : {1'000'000L, 10'000'000L})
        for (long c = 0; c < static_cast<long>(cases().size()); ++c) b->Args({entries, c});
}
BENCHMARK(BM_NameOrder)->Apply(args)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_SizeOrder)->Apply(args)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_NameOrderGlobal)->Apply(args)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// A data folder holding a 1M-entry snapshot of the boot volume.
const fs::path& bootSnapshotFolder() {
    static const fs::path folder = [] {
        const fs::path data = scratchFolder("catalogs");
        auto index =
            core::VolumeIndex::create(core::VolumeIndex::defaultMaxEntries, core::VolumeIndex::defaultMaxNameBytes, {});
        bench::fillSyntheticEntries(index->s(), 1'000'000);
        for (const SortKey key : core::allSortKeys) index->permutation(key);
        core::SnapshotInfo info;
        info.uuid = "BOOT-UUID";
        info.root = "/";
        if (!index->save((data / "BOOT-UUID-0.idx").string(), info)) std::abort();
        return data;
    }();
    return folder;
}

enum class Start { model, headerOnly, peek, load };

void BM_OfflineCatalogs(benchmark::State& state) {
    const auto how = static_cast<Start>(state.range(0));
    const fs::path& data = bootSnapshotFolder();
    const std::string file = (data / "BOOT-UUID-0.idx").string();
    World world;
    for (auto _ : state) {
        switch (how) {
            case Start::model: {
                const auto model = app::AppModel::create({}, true, world.deps(data));
                if (!model->volumes->empty()) std::abort();  // the boot volume is never a catalog
                break;
            }
            case Start::headerOnly:
                benchmark::DoNotOptimize(core::VolumeIndex::peekHeader(file));
                break;
            case Start::peek:
                benchmark::DoNotOptimize(core::VolumeIndex::peek(file));
                break;
            case Start::load:
                benchmark::DoNotOptimize(core::VolumeIndex::load(file, {}));
                break;
        }
    }
    static const char* labels[] = {"model construction (header read)", "header read", "peek (whole file)",
                                   "load (whole file)"};
    state.SetLabel(labels[state.range(0)]);
}
BENCHMARK(BM_OfflineCatalogs)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
