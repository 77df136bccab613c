// The cost of watching while scanning: a full scan of a generated tree of 20,200 folders and
// 400,000 files, without the folder hook and with every folder watched through the live inotify
// source before it is listed; and watches registered per second on the folders of that tree.
// The tree lives in $TMPDIR/quorvanta-watch-tree and is made once. Warm cache, e.g.
//   build-release/bench/bench_watch_hook
#include "QuorvantaCore/index/IndexWatch.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/events/InotifySource.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using quorvanta::core::VolumeIndex;

constexpr int kTop = 200, kPerTop = 100, kFiles = 20;

std::string ensureWatchTree() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvanta-watch-tree";
    if (std::filesystem::exists(root + "/.complete")) return root;
    std::filesystem::remove_all(root);
    for (int t = 0; t < kTop; ++t)
        for (int s = 0; s < kPerTop; ++s) {
            const std::string folder = root + "/t" + std::to_string(t) + "/s" + std::to_string(s);
            std::filesystem::create_directories(folder);
            for (int f = 0; f < kFiles; ++f)
                close(open((folder + "/f" + std::to_string(f) + ".txt").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
    close(open((root + "/.complete").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    return root;
}

void BM_ScanWithoutHook(benchmark::State& state) {
    const std::string root = ensureWatchTree();
    for (auto _ : state) {
        auto index = VolumeIndex::create(1u << 22, 1u << 28, {});
        index->scan({root}, 8, 0);
        state.counters["entries"] = index->count();
    }
}
BENCHMARK(BM_ScanWithoutHook)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanWatchingEveryFolder(benchmark::State& state) {
    const std::string root = ensureWatchTree();
    for (auto _ : state) {
        quorvanta::platform::InotifySource source;  // a fresh instance: every watch is new
        auto index = VolumeIndex::create(1u << 22, 1u << 28, {});
        quorvanta::core::connectToEventSource(*index, &source);
        index->scan({root}, 8, 0);
        state.counters["entries"] = index->count();
        state.counters["watched"] = source.watchedFolders();
        state.counters["polled"] = source.polledFolders();
        quorvanta::core::disconnectFromEventSource(*index);
    }
}
BENCHMARK(BM_ScanWatchingEveryFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WatchesRegistered(benchmark::State& state) {
    const std::string root = ensureWatchTree();
    const auto index = VolumeIndex::scanned({root}, 8);
    std::size_t watched = 0;
    for (auto _ : state) {
        quorvanta::platform::InotifySource source;
        watched = quorvanta::core::watchIndexedFolders(*index, {}, &source);
    }
    state.counters["watches_per_s"] =
        benchmark::Counter(static_cast<double>(watched), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WatchesRegistered)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
