// audio-index <root> [--threads N] [--query q]: scans the root, runs the audio indexer over it
// with progress on standard error while a second thread keeps searching the same index, then
// answers the final audio queries (the one --query gives, else a fixed set).
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/query/Query.h"
#include "QuorvantaCore/search/Searcher.h"
#include "audio/indexer/AudioIndexer.h"
#include "platform/dispatch/Qos.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::cli {
namespace {

constexpr std::array kProbeQueries{
    "remix ext:mp3", "artist:a bitrate:>=256",    "ext:flac lossless:", "dur:>5m bpm:120..130",
    "daft",          "title:love year:1990..2005"};
constexpr std::array kFinalQueries{"ext:mp3 bitrate:<192", "lossless:",  "bpm:120..128", "dur:>6m",
                                   "ext:flac !lossless:",  "artist:daft"};
constexpr double kProgressEvery = 5;  // seconds between progress lines

// Searches the index over and over on a thread of its own, recording each search's milliseconds,
// until stopped. The thread is joined before the object goes.
class SearchProbe {
public:
    explicit SearchProbe(std::shared_ptr<core::VolumeIndex> index)
        : thread_([this, index = std::move(index)] { loop(index); }) {}
    ~SearchProbe() { stop(); }
    SearchProbe(const SearchProbe&) = delete;
    SearchProbe& operator=(const SearchProbe&) = delete;

    // Stops and joins the thread (one search and one pause at most), then gives the latencies sorted.
    std::vector<double> stop() {
        {
            std::lock_guard guard(lock_);
            stopped_ = true;
        }
        if (thread_.joinable()) thread_.join();
        std::lock_guard guard(lock_);
        std::vector<double> sorted = latencies_;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

private:
    bool stopped() {
        std::lock_guard guard(lock_);
        return stopped_;
    }

    void loop(const std::shared_ptr<core::VolumeIndex>& index) {
        platform::applyQosToCurrentThread(platform::Qos::userInitiated);
        try {
            core::Searcher searcher(index);
            std::vector<core::Query> queries;
            for (const char* text : kProbeQueries) queries.push_back(parseQuery(text));
            for (std::size_t k = 0; !stopped(); ++k) {
                const double start = now();
                searcher.search(queries[k % queries.size()], false);
                const double ms = (now() - start) * 1000;
                {
                    std::lock_guard guard(lock_);
                    latencies_.push_back(ms);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
            }
        } catch (const std::exception&) {
            // A probe that cannot search records nothing; the command goes on without it.
        }
    }

    std::mutex lock_;
    bool stopped_ = false;           // lock_
    std::vector<double> latencies_;  // lock_
    std::thread thread_;             // last: started once the fields above exist
};

}  // namespace

int audioIndexCommand(Cli& cli) {
    const auto root = cli.args.at(1);
    if (!root) usageExit(cli, "audio-index");
    const auto index = build(cli, {*root});
    audio::AudioIndexer indexer(index, engineThreads(cli.args.number(options::audioIndex::threads)));
    const auto work = indexer.pending();
    cli.out << "audio files: " << work.total << " (" << work.todo.size() << " to analyze)\n";

    // Written by the indexer's workers, one at a time (the indexer calls under its run lock).
    std::atomic<double> lastReport{now()};
    indexer.onProgress = [&](audio::AudioIndexer::Progress p) {
        const double t = now();
        if (t - lastReport.load() <= kProgressEvery) return;
        lastReport.store(t);
        cli.err << "  " << p.done << "/" << p.total << '\n' << std::flush;
    };

    std::vector<double> latencies;
    std::int64_t processed = 0;
    double seconds = 0;
    {
        SearchProbe probe(index);
        const double start = now();
        processed = indexer.run();
        seconds = now() - start;
        latencies = probe.stop();
    }
    if (!latencies.empty()) {
        const std::size_t n = latencies.size();
        cli.out << "searches during analysis: n=" << n << " p50=" << fmt(latencies[n / 2])
                << " p95=" << fmt(latencies[static_cast<std::size_t>(static_cast<double>(n) * 0.95)])
                << " max=" << fmt(latencies.back()) << " ms\n";
    }
    const auto table = index->audio();
    cli.out << "analyzed " << processed << " files in " << fmt(seconds)
            << " s = " << static_cast<std::int64_t>(static_cast<double>(processed) / std::max(seconds, 0.001))
            << " files/s; table rows=" << (table ? table->count() : 0) << '\n';

    std::vector<std::string> finals;
    if (const auto q = cli.args.opt(options::audioIndex::query)) {
        finals.push_back(*q);
    } else {
        finals.assign(kFinalQueries.begin(), kFinalQueries.end());
    }
    core::Searcher searcher(index);
    for (const std::string& text : finals) {
        const double start = now();
        const core::Query query = parseQueryOrEnd(cli, text);
        const auto hits = searcher.search(query, false);
        cli.out << text << " => " << (hits ? hits->size() : 0) << " hits in " << fmt((now() - start) * 1000) << " ms\n";
    }
    return kSuccess;
}

}  // namespace quorvanta::cli
