// Scan of a generated tree (bench/TreeGen.h; 1M entries by default) into a fresh index at
// 1, 2, 4 and 8 threads, with the resident size after the scan; and two baselines on the same
// tree: one thread walking it with nftw and one lstat per entry, and the machine's limit for the
// scan's system calls (BM_WalkLimit: getdents64 into a 256 KiB buffer and one statx per entry,
// the same masks, on 1 and 8 threads sharing a stack of folders, everything read thrown away).
// Run twice for a warm cache, e.g.
//   QUORVANTA_BENCH_TREE=/dev/shm/tree build-release/bench/bench_fidx_scan
#include "QuorvantaCore/index_engine/fidx.h"
#include "bench/TreeGen.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

void BM_Scan(benchmark::State& state) {
    const std::string root = quorvanta::bench::ensureTree(quorvanta::bench::benchEntries());
    uint64_t entries = 0;
    double rss = 0;
    for (auto _ : state) {
        fidx* h = fidx_new(0x4000000, 0xC0000000ull);
        scan_stats st{};
        if (fidx_scan(h, root.c_str(), static_cast<int>(state.range(0)), &st) != 0) state.SkipWithError("scan failed");
        entries = fidx_count(h);
        state.PauseTiming();
        rss = std::max(rss, residentMiB());
        fidx_free(h);
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["rss_MiB"] = rss;
}
BENCHMARK(BM_Scan)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

uint64_t walked = 0;
int countEntry(const char*, const struct stat*, int, struct FTW*) {
    ++walked;
    return 0;
}

void BM_NftwLstatBaseline(benchmark::State& state) {
    const std::string root = quorvanta::bench::ensureTree(quorvanta::bench::benchEntries());
    for (auto _ : state) {
        walked = 0;
        nftw(root.c_str(), countEntry, 64, FTW_PHYS);
    }
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(walked), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_NftwLstatBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// The system calls of a scan and nothing else: workers take folders from one stack, list them
// with getdents64, statx every entry by name relative to the folder, and push the subfolders.
class LimitWalk {
public:
    uint64_t run(const std::string& root, int threads) {
        stack_ = {root};
        pending_ = 1;
        entries_ = 0;
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) pool.emplace_back([this] { work(); });
        for (std::thread& t : pool) t.join();
        return entries_;
    }

private:
    void work() {
        std::vector<char> buffer(256 * 1024);
        std::vector<std::string> children;
        uint64_t entries = 0;
        for (;;) {
            std::string folder;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return !stack_.empty() || pending_ == 0; });
                if (stack_.empty()) break;
                folder = std::move(stack_.back());
                stack_.pop_back();
            }
            children.clear();
            const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            for (ssize_t got; fd >= 0 && (got = getdents64(fd, buffer.data(), buffer.size())) > 0;)
                for (ssize_t at = 0; at < got;) {
                    const auto* d = reinterpret_cast<const struct dirent64*>(buffer.data() + at);
                    at += d->d_reclen;
                    if (d->d_name[0] == '.' && (d->d_name[1] == 0 || (d->d_name[1] == '.' && d->d_name[2] == 0)))
                        continue;
                    struct statx sx;
                    if (statx(fd, d->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                              STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BTIME | STATX_MNT_ID,
                              &sx) != 0)
                        continue;
                    ++entries;
                    if (S_ISDIR(sx.stx_mode)) children.push_back(folder + "/" + d->d_name);
                }
            if (fd >= 0) close(fd);
            std::lock_guard lock(mutex_);
            pending_ += children.size();
            for (std::string& c : children) stack_.push_back(std::move(c));
            if (--pending_ == 0 || !children.empty()) changed_.notify_all();
        }
        entries_ += entries;
    }

    std::mutex mutex_;  // guards stack_ and pending_
    std::condition_variable changed_;
    std::vector<std::string> stack_;
    uint64_t pending_ = 0;
    std::atomic<uint64_t> entries_{0};
};

void BM_WalkLimit(benchmark::State& state) {
    const std::string root = quorvanta::bench::ensureTree(quorvanta::bench::benchEntries());
    LimitWalk walk;
    uint64_t entries = 0;
    for (auto _ : state) entries = walk.run(root, static_cast<int>(state.range(0)));
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WalkLimit)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
