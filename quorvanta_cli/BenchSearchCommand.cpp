// bench-search [root...] [--runs N] [--threads N]: the search engine measured as a user meets it.
// Memory of the index, eight fixed queries replayed keystroke by keystroke, a search cancelled
// by a newer one, and the building and use of every sort order.
#include "QuorvantaCore/api/VolumeSearch.h"
#include "QuorvantaCore/index/SortOrders.h"
#include "QuorvantaCore/search/Searcher.h"
#include "QuorvantaCore/text/Grapheme.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <semaphore>
#include <thread>

namespace quorvanta::cli {
namespace {

// Names that gen-tree produces.
constexpr std::array kQueries{"remix", "track_1", "d12 flac",     "ext:flac size:>1",
                              "xyzzy", "*.mp3",   "d1 | d2 !wav", "path:top1 remix"};
constexpr int kCancelRounds = 10;

using Hits = std::vector<std::uint32_t>;

// Element ⌊n × fraction⌋ of an ascending list; none for an empty list.
std::optional<double> percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return std::nullopt;
    const auto at = static_cast<std::size_t>(static_cast<double>(sorted.size()) * fraction);
    return sorted[std::min(at, sorted.size() - 1)];
}

// "p50=… p95=…" of an ascending list that is not empty.
std::string p50p95(const std::vector<double>& sorted) {
    return "p50=" + fmt(*percentile(sorted, 0.5)) + " p95=" + fmt(*percentile(sorted, 0.95));
}

double millisSince(double start) { return (now() - start) * 1000; }

void timePermutation(Cli& cli, core::VolumeIndex& index, core::SortKey key) {
    const double start = now();
    index.permutation(key);
    cli.out << "permutation(" << core::rawValue(key) << ") build: " << fmt(millisSince(start)) << " ms\n";
}

Hits searchOrEmpty(core::Searcher& searcher, const core::Query& query) {
    return searcher.search(query, false).value_or(Hits{});
}

// Every query typed one character at a time, `runs` times; gives all keystroke times.
std::vector<double> keystrokeTest(Cli& cli, core::Searcher& searcher, int runs) {
    std::vector<double> all;
    std::optional<core::Query> empty;
    try {
        empty = parseQuery("");
    } catch (const core::QueryError&) {}
    for (const std::string text : kQueries) {
        std::vector<double> times;
        std::size_t hitsFull = 0;
        const std::size_t characters = core::text::graphemeCount(text);
        for (int run = 0; run < runs; ++run) {
            searcher.cancel();
            if (empty) searcher.search(*empty, false);
            for (std::size_t k = 1; k <= characters; ++k) {
                core::Query prefix;
                try {
                    prefix = parseQuery(std::string(core::text::graphemePrefix(text, k)));
                } catch (const core::QueryError&) {
                    continue;
                }
                if (prefix.groups.empty()) continue;
                const double start = now();
                const auto hits = searcher.search(prefix, false);
                const double ms = millisSince(start);
                times.push_back(ms);
                all.push_back(ms);
                hitsFull = hits ? hits->size() : 0;
            }
        }
        std::sort(times.begin(), times.end());
        // A query whose every keystroke was left out has no statistics to show.
        cli.out << text << '\t';
        if (!times.empty()) cli.out << p50p95(times) << " max=" << fmt(times.back()) << ' ';
        cli.out << "hits(full)=" << hitsFull << '\n';
    }
    std::sort(all.begin(), all.end());
    return all;
}

// A heavy search on a thread of its own, overtaken by a light one on the same searcher.
void cancelTest(Cli& cli, core::Searcher& searcher) {
    const core::Query heavy = parseQuery("*a*e*");
    const core::Query light = parseQuery("zzz");
    std::vector<double> times;
    for (int round = 0; round < kCancelRounds; ++round) {
        std::optional<Hits> cell = Hits{};
        std::binary_semaphore done(0);
        std::thread worker([&] {
            cell = searcher.search(heavy, false);
            done.release();
        });
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        const double start = now();
        searcher.search(light, false);
        done.acquire();
        times.push_back(millisSince(start));
        worker.join();
        if (cell) cli.out << "note: heavy search finished before cancel\n";
    }
    std::sort(times.begin(), times.end());
    cli.out << "cancel→both returned: p50=" << fmt(times[5]) << " max=" << fmt(times[9]) << " ms\n";
}

void sortTest(Cli& cli, core::VolumeIndex& index, core::Searcher& searcher, int runs) {
    const Hits hits = searchOrEmpty(searcher, parseQuery("track"));
    for (const core::SortKey key : core::allSortKeys) {
        timePermutation(cli, index, key);
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const double start = now();
            index.ordered(hits, key, false, 100, core::kDirectSortLimit);
            times.push_back(millisSince(start));
        }
        std::sort(times.begin(), times.end());
        cli.out << "sort " << core::rawValue(key) << " on " << hits.size() << " hits: " << p50p95(times) << " ms\n";
    }
}

}  // namespace

int benchSearchCommand(Cli& cli) {
    std::vector<std::string> roots;
    for (std::size_t i = 1; i < cli.args.size() && !cli.args.items()[i].starts_with("--"); ++i)
        roots.push_back(cli.args.items()[i]);
    // Below 1 counts as the default; far above any useful count is bounded.
    std::int64_t runs = cli.args.number(options::benchSearch::runs);
    if (runs < 1) runs = options::benchSearch::runs.number;
    runs = std::min<std::int64_t>(runs, 1'000'000);

    const double rss0 = rssMB();
    const auto index = build(cli, roots);
    const double count = index->count();
    const double rss1 = rssMB();
    const double arrays = static_cast<double>(index->arrayBytes());
    const double perEntry = arrays / count;
    const double delta = rss1 - rss0;
    cli.out << "entries=" << index->count() << " arrays=" << fmt(arrays / 1e6) << " MB (" << fmt(perEntry)
            << " B/entry) → " << fmt(perEntry * 1e6 / 1e6) << " MB per 1M; rss delta=" << fmt(delta) << " MB ("
            << fmt(delta / count * 1e6) << " MB per 1M, includes scan-time growth slack)\n";

    core::Searcher searcher(index);
    timePermutation(cli, *index, core::SortKey::name);
    timePermutation(cli, *index, core::SortKey::size);

    cli.out << "query\tkeystroke-p95 ms (search only, incl. incremental)\n";
    const std::vector<double> all = keystrokeTest(cli, searcher, static_cast<int>(runs));
    cli.out << "ALL keystrokes ";
    if (!all.empty())
        cli.out << "p95=" << fmt(*percentile(all, 0.95)) << " ms  p99=" << fmt(*percentile(all, 0.99)) << " ms ";
    cli.out << " (n=" << all.size() << ")\n";
    cancelTest(cli, searcher);
    sortTest(cli, *index, searcher, static_cast<int>(runs));
    return kSuccess;
}

}  // namespace quorvanta::cli
