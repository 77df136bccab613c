// Load on the local API over its Unix socket: 1, 8 and 16 concurrent clients, each request a
// fresh connection, a fixed number of requests per run with a time cap.
//   trivial: a back-end that answers 50 fixed rows at once (transport, handler and encoding)
//   scanned: the volume search over a scanned tree of 20,200 entries (200 folders of 100 files,
//            one name in seven holding "remix"), as the application's back-end answers
//   host:    the application's local API host (LocalAPIHost) over a model of three volumes of
//            100,000 synthetic entries each (name orders built): each request copies the volume
//            list on the main queue, which this thread runs while the clients load the socket
//   direct:  the same three volumes answered by the volume search without the host, for the cost
//            of the main-queue copy
// The host and direct runs ask for "track" (12,500 hits per volume, 50 rows).
// Counters: req/s, p50 and p99 latency in ms, refused connections (more clients than the
// server's eight slots). A wrong reply, or a server whose active count does not return to 0,
// fails the run.
#include "QuorvantaApp/model/api_host/LocalAPIHost.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/api/LocalAPIServer.h"
#include "QuorvantaCore/api/VolumeSearch.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/json/JSONText.h"
#include "bench/LocalAPILoad.h"
#include "bench/SyntheticIndex.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/settings/Settings.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

namespace {

using namespace quorvanta;

constexpr std::int64_t kRequests = 4000;
constexpr std::chrono::seconds kCap{60};
const std::string kRequest = R"({"op":"search","query":"remix","limit":50})";
const std::string kTrackRequest = R"({"op":"search","query":"track","limit":50})";

std::filesystem::path socketFolder() {
    char pattern[] = "/tmp/quorvanta-load-XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    return pattern;
}

core::LocalAPI::Backend trivialBackend() {
    core::LocalAPI::Backend backend;
    backend.volumes = [] { return std::vector<core::LocalAPI::Volume>{}; };
    backend.search = [](const core::Query&, std::int64_t limit) {
        core::LocalAPI::SearchResult result{1000, {}};
        for (std::int64_t i = 0; i < limit; ++i) {
            result.rows.push_back({"/home/user/Music/Some Artist/Album " + std::to_string(i) + "/remix.flac",
                                   "remix.flac", "file", 31'457'280, 1'700'000'000});
        }
        return result;
    };
    return backend;
}

// A tree of 200 folders of 100 empty files, one name in seven holding "remix"; made once per run
// under a fresh temporary folder and removed with it.
core::LocalAPI::Backend scannedBackend(const std::filesystem::path& root) {
    for (int d = 0; d < 200; ++d) {
        const std::filesystem::path dir = root / ("Album " + std::to_string(d));
        std::filesystem::create_directories(dir);
        for (int f = 0; f < 100; ++f) {
            const int n = d * 100 + f;
            std::ofstream(dir / ("track " + std::to_string(n) + (n % 7 == 0 ? " (Remix).flac" : ".mp3")));
        }
    }
    auto volumes = std::make_shared<std::vector<core::LocalAPI::SearchVolume>>();
    volumes->push_back({"tree", root.string(), core::VolumeIndex::scanned({root.string()}, 4)});
    core::LocalAPI::Backend backend;
    backend.volumes = [volumes] { return core::LocalAPI::volumeStatuses(*volumes); };
    backend.search = [volumes](const core::Query& query, std::int64_t limit) {
        return core::LocalAPI::searchVolumes(*volumes, query, limit);
    };
    return backend;
}

bool searchReplyWithRows(const std::string& reply) {
    const auto value = core::parseJSONStrict(reply);
    return value && value->is_object() && value->value("ok", false) && value->contains("results") &&
           (*value)["results"].size() == static_cast<std::size_t>((*value)["shown"].get<std::int64_t>());
}

// Loads `path`; with a main queue, this thread runs it until the load ends.
bench::LoadResult loadSocket(const std::string& path, const std::string& request, int clients,
                             platform::ManualMainQueue* main) {
    if (!main) return bench::runLoad(path, request, clients, kRequests, kCap, searchReplyWithRows);
    std::optional<bench::LoadResult> result;
    std::atomic<bool> done{false};
    std::thread load([&] {
        result = bench::runLoad(path, request, clients, kRequests, kCap, searchReplyWithRows);
        done = true;
        main->post([] {});  // wakes the main thread to see `done`
    });
    main->waitUntil([&] { return done.load(); });
    load.join();
    return *result;
}

void report(benchmark::State& state, const bench::LoadResult& result, std::int64_t active) {
    state.counters["req/s"] = static_cast<double>(result.answered) / result.seconds;
    state.counters["p50_ms"] = result.percentileMs(0.50);
    state.counters["p99_ms"] = result.percentileMs(0.99);
    state.counters["refused"] = static_cast<double>(result.refused);
    state.counters["answered"] = static_cast<double>(result.answered);
    if (result.wrong != 0) state.SkipWithError("a reply failed its check");
    if (active != 0) state.SkipWithError("the server's active count did not return to 0");
}

// Waits for the connections still closing after their reply.
std::int64_t settledActive(const core::LocalAPIServer& server) {
    for (int i = 0; i < 1000 && server.active() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return server.active();
}

void runAgainst(benchmark::State& state, const core::LocalAPI::Backend& backend,
                const std::string& request = kRequest) {
    const std::filesystem::path folder = socketFolder();
    const std::string path = folder / "api.sock";
    core::LocalAPIServer server(path, backend);
    server.start();
    bench::LoadResult result;
    for (auto _ : state) result = loadSocket(path, request, static_cast<int>(state.range(0)), nullptr);
    const std::int64_t active = settledActive(server);
    server.stop();
    std::filesystem::remove_all(folder);
    report(state, result, active);
}

class NoDrives final : public app::CandidatesProvider {
public:
    std::vector<app::Candidate> candidates() const override { return {}; }
};

// A model without persisting over three volumes of 100,000 synthetic entries each, their name
// orders built, on this thread's manual main queue; made once.
struct HostedModel {
    platform::FakeClock clock;
    platform::ManualMainQueue main{clock};
    platform::MemorySettings settings;
    app::Prefs prefs{settings};
    std::shared_ptr<app::AppModel> model;

    HostedModel() {
        app::AppModel::Dependencies deps(main);
        deps.prefs = &prefs;
        deps.defaults = &settings;
        deps.dataFolder = std::filesystem::path();
        deps.candidates = std::make_shared<NoDrives>();
        deps.content = [] { return std::shared_ptr<core::ContentIndex>(); };
        model = app::AppModel::create({"/bench/one", "/bench/two", "/bench/three"}, false, deps);
        for (const auto& volume : model->volumes.get()) {
            bench::fillSyntheticEntries(volume->index()->s(), 100'000);
            volume->index()->permutation(core::SortKey::name);
            volume->scanning.set(false);
        }
    }
};

HostedModel& hostedModel() {
    static HostedModel hosted;
    return hosted;
}

void BM_LocalAPI_Trivial(benchmark::State& state) { runAgainst(state, trivialBackend()); }

void BM_LocalAPI_Scanned(benchmark::State& state) {
    const std::filesystem::path tree = socketFolder();
    runAgainst(state, scannedBackend(tree));
    std::filesystem::remove_all(tree);
}

void BM_LocalAPI_Host(benchmark::State& state) {
    HostedModel& hosted = hostedModel();
    const std::filesystem::path folder = socketFolder();
    app::LocalAPIHost host(hosted.settings, (folder / "api.sock").string());
    host.model = hosted.model;
    host.setEnabled(true);
    if (!host.server()) {
        state.SkipWithError(host.error.get().value_or("the host did not start").c_str());
        return;
    }
    bench::LoadResult result;
    for (auto _ : state)
        result = loadSocket(host.socketPath(), kTrackRequest, static_cast<int>(state.range(0)), &hosted.main);
    const std::int64_t active = settledActive(*host.server());
    host.stop();
    std::filesystem::remove_all(folder);
    report(state, result, active);
}

void BM_LocalAPI_Direct(benchmark::State& state) {
    const auto volumes =
        std::make_shared<std::vector<core::LocalAPI::SearchVolume>>(app::apiVolumes(*hostedModel().model));
    core::LocalAPI::Backend backend;
    backend.volumes = [volumes] { return core::LocalAPI::volumeStatuses(*volumes); };
    backend.search = [volumes](const core::Query& query, std::int64_t limit) {
        return core::LocalAPI::searchVolumes(*volumes, query, limit);
    };
    runAgainst(state, backend, kTrackRequest);
}

}  // namespace

BENCHMARK(BM_LocalAPI_Trivial)->Arg(1)->Arg(8)->Arg(16)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocalAPI_Scanned)->Arg(1)->Arg(8)->Arg(16)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocalAPI_Host)->Arg(1)->Arg(8)->Arg(16)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocalAPI_Direct)->Arg(1)->Arg(8)->Arg(16)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
