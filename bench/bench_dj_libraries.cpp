// The DJ-library guard over generated libraries of 100,000 tracks each: discovery of a Traktor
// collection (about 24 MB of XML) and of an Engine DJ database, with the resident-size peak of
// each, and the answers for one path: a listed file (a hash lookup), a folder that holds tracks
// and a folder that holds none (the walk over every track).
//
// Tracks are "/home/me/Music/Artist A/Album B/NNNNNN Title.mp3" with 1,000 artists of 10 albums
// of 10 tracks. The files live in a folder under $TMPDIR (or /tmp), removed at exit.
#include "QuorvantaCore/dj/DJLibraries.h"
#include "bench/ProcessMemory.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using quorvanta::bench::statusKiB;

namespace fs = std::filesystem;
using quorvanta::core::DJLibraries;

constexpr int kTracks = 100'000;

std::string trackFolder(int i) {
    return "/home/me/Music/Artist " + std::to_string(i / 100) + "/Album " + std::to_string(i / 10 % 10);
}
std::string trackName(int i) {
    return std::to_string(i) + " A title of some length for track " + std::to_string(i) + ".mp3";
}

struct Fixture {
    fs::path root;
    std::string traktorHome, engineHome;

    Fixture() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-dj-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        root = pattern;
        traktorHome = (root / "traktor").string();
        engineHome = (root / "engine").string();

        const fs::path collection = root / "traktor/Documents/Native Instruments/Traktor 3.11/collection.nml";
        fs::create_directories(collection.parent_path());
        std::ofstream nml(collection, std::ios::binary);
        nml << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n<NML VERSION=\"19\">"
            << "<COLLECTION ENTRIES=\"" << kTracks << "\">\n";
        for (int i = 0; i < kTracks; ++i) {
            std::string dir = trackFolder(i) + "/";
            for (std::size_t at = 0; (at = dir.find('/', at)) != std::string::npos; at += 2) dir.insert(at + 1, ":");
            nml << "<ENTRY MODIFIED_DATE=\"2024/1/1\" TITLE=\"Title " << i << "\" ARTIST=\"Artist " << i / 100
                << "\"><LOCATION DIR=\"" << dir << "\" FILE=\"" << trackName(i)
                << "\" VOLUME=\"Music SSD\" VOLUMEID=\"abc\"></LOCATION><INFO BITRATE=\"320000\" PLAYTIME=\"245\">"
                << "</INFO><TEMPO BPM=\"124.000000\"></TEMPO></ENTRY>\n";
        }
        nml << "</COLLECTION></NML>\n";
        nml.close();

        const fs::path database = root / "engine/Music/Engine Library/Database2/m.db";
        fs::create_directories(database.parent_path());
        sqlite3* db = nullptr;
        sqlite3_open(database.c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE Track (id INTEGER PRIMARY KEY, length INTEGER, path TEXT, filename TEXT); BEGIN;",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Track (length, path, filename) VALUES (245, ?, ?)", -1, &insert, nullptr);
        for (int i = 0; i < kTracks; ++i) {
            // Half the paths are relative to the library folder, as the program writes tracks beside it.
            const std::string path = (i % 2 ? "../../../.." : "") + trackFolder(i) + "/" + trackName(i);
            sqlite3_bind_text(insert, 1, path.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, trackName(i).c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

const Fixture& fixture() {
    static const Fixture made;
    return made;
}

DJLibraries::Places placesOf(const std::string& home) {
    return {.home = home, .documents = {home + "/Documents"}, .music = {home + "/Music"}, .volumes = {}};
}

void discoverBench(benchmark::State& state, const std::string& home) {
    double peak = 0;
    std::size_t tracks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);  // freed memory goes back, so the peak below counts what discovery takes
        std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak resident size
        const long before = statusKiB("VmRSS:");
        state.ResumeTiming();
        auto libraries = DJLibraries::discover(placesOf(home));
        state.PauseTiming();
        peak = std::max(peak, double(statusKiB("VmHWM:") - before) / 1024);
        tracks = 0;
        for (const auto& [kind, set] : libraries->exact()) tracks += set.size();
        libraries.reset();
        state.ResumeTiming();
    }
    state.counters["tracks"] = static_cast<double>(tracks);
    state.counters["peak_MiB"] = peak;
    state.counters["tracks_per_s"] =
        benchmark::Counter(static_cast<double>(tracks), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DiscoverTraktor(benchmark::State& state) { discoverBench(state, fixture().traktorHome); }
void BM_DiscoverEngine(benchmark::State& state) { discoverBench(state, fixture().engineHome); }
BENCHMARK(BM_DiscoverTraktor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DiscoverEngine)->Unit(benchmark::kMillisecond)->UseRealTime();

// 0: a listed file; 1: a folder with tracks, found early in the walk or late; 2: a folder with
// none, so every track is compared.
void BM_Hits(benchmark::State& state) {
    static const auto libraries = DJLibraries::discover(placesOf(fixture().traktorHome));
    const int which = static_cast<int>(state.range(0));
    const std::string path = which == 0   ? trackFolder(54'321) + "/" + trackName(54'321)
                             : which == 1 ? trackFolder(54'321)
                                          : std::string("/home/me/Music/Artist 54321");
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto found = libraries->hits(path, which != 0);
        hits = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.SetLabel(which == 0 ? "listed file" : which == 1 ? "folder with tracks" : "folder without tracks");
}
BENCHMARK(BM_Hits)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
