// The parallel scan: worker threads share a last-in, first-out stack of folders, list each
// folder into a private batch, commit it as one batch and push its subfolders, taking the next
// folder (most often one of those) in the same round on the stack's lock.
//
// Every scan call has its own run (stack, pending count, root device, settings copy and
// statistics), so overlapping scans of one handle never mix their work or their device
// decisions; only the stop flag and the pause are shared through the handle.
// Locks: the run's stack mutex and the engine mutex are never held together.
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "QuorvantaCore/index_engine/FolderReader.h"
#include "QuorvantaCore/index_engine/ScanRules.h"
#include "platform/fs/PathText.h"
#include "platform/thread/ThreadName.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>

namespace quorvanta::index_engine {
namespace {

constexpr uint32_t kMaxWorkers = 256;

struct WorkItem {
    std::string path;
    uint32_t entry;
    uint8_t inherited;  // the hidden and junk bits the folder's records inherit
    int fd;             // already open (the starting folder), or -1
};

struct Run {
    explicit Run(fidx* handle) : h(handle) {}

    fidx* h;
    DeviceId rootDevice;
    std::vector<std::string> excludes;
    std::vector<std::string> includeExts;
    fidx_dir_hook hook = nullptr;
    void* hookCtx = nullptr;

    std::mutex stackMutex;  // guards stack and pending
    std::condition_variable stackChanged;
    std::vector<WorkItem> stack;
    uint64_t pending = 0;  // pushed and not yet finished

    std::mutex statsMutex;  // guards total
    scan_stats total{};
};

// Copies the handle's settings into a run.
void takeSettings(fidx_priv& p, Run& run) {
    std::lock_guard lock(p.settings);
    run.excludes = p.excludes;
    run.includeExts = p.includeExts;
    run.hook = p.dirHook;
    run.hookCtx = p.dirHookCtx;
}

// Whether a folder lies in or below an excluded one. A child of an entered folder can only be
// below an exclusion by being it; a starting folder may lie deeper inside one.
bool excluded(const Run& run, std::string_view path) {
    return std::any_of(run.excludes.begin(), run.excludes.end(),
                       [&](const std::string& e) { return platform::isSameOrUnder(path, e); });
}

void pause(uint32_t micros) {
    timespec t{static_cast<time_t>(micros / 1000000), static_cast<long>(micros % 1000000) * 1000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {}
}

class Worker {
public:
    explicit Worker(Run& run) : run_(run), buffer_(new char[kListingBufferBytes]) {}
    ~Worker() { fidx_listing_free(&batch_); }

    void loop() {
        platform::setCurrentThreadName("quorvanta.scan");
        for (std::optional<WorkItem> item = next(); item; item = next()) process(*item);
        std::lock_guard lock(run_.statsMutex);
        scan_stats_add(&run_.total, &stats_);
    }

private:
    // Hands the subfolders of the folder just done (if any) to the stack, counts that folder
    // finished, and takes the next folder: one round on the stack's lock per folder. Gives none
    // once the stack is empty and no folder is in progress anywhere.
    std::optional<WorkItem> next() {
        std::unique_lock lock(run_.stackMutex);
        if (started_) --run_.pending;
        started_ = true;
        run_.pending += children_.size();
        for (WorkItem& c : children_) run_.stack.push_back(std::move(c));
        // This worker takes one of them itself; the others are for the workers waiting.
        if (children_.size() > 1) run_.stackChanged.notify_all();
        children_.clear();
        while (run_.stack.empty()) {
            if (run_.pending < 1) {
                run_.stackChanged.notify_all();
                return std::nullopt;
            }
            run_.stackChanged.wait(lock);
        }
        WorkItem item = std::move(run_.stack.back());
        run_.stack.pop_back();
        return item;
    }

    void process(WorkItem& item) {
        fidx_priv& p = *run_.h->priv;
        if (p.stop.load(std::memory_order_relaxed)) {
            if (item.fd >= 0) close(item.fd);
            return;
        }
        int fd = item.fd;
        if (fd < 0) {
            if (run_.hook) run_.hook(run_.hookCtx, item.path.c_str());
            fd = openFolder(item.path.c_str(), false);
            if (fd < 0) {
                const int err = errno;
                if (err == ENOENT) {
                    ++stats_.enoent;
                } else {
                    ++stats_.errors;
                    reportOpenFailure(item.path.c_str(), err);
                }
            }
        }
        if (fd >= 0) {
            const ReadContext ctx{run_.rootDevice, &run_.includeExts};
            readFolder(fd, ctx, item.inherited, buffer_.get(), batch_, stats_);
            close(fd);
            if (batch_.count > 0) commitAndPush(item);
        }
        if (const uint32_t micros = p.pauseMicros.load(std::memory_order_relaxed)) pause(micros);
    }

    void commitAndPush(const WorkItem& item) {
        const uint32_t base = commit(run_.h, batch_, item.entry);
        if (base == FIDX_NONE) {
            ++stats_.errors;  // refused at capacity: the subfolders are not visited
            return;
        }
        for (uint32_t j = 0; j < batch_.count; ++j) {
            const fidx_rec& r = batch_.recs[j];
            if ((r.flags & (FIDX_FOLDER | FIDX_OTHER_DEVICE)) != FIDX_FOLDER) continue;
            const std::string_view name(reinterpret_cast<const char*>(batch_.names + r.name));
            if (repeatsSixTimes(item.path, name)) {
                ++stats_.nested;
                continue;
            }
            std::string child = platform::joinPath(item.path, name);
            if (excluded(run_, child)) continue;
            children_.push_back(
                WorkItem{std::move(child), base + j, static_cast<uint8_t>(r.flags & (FIDX_HIDDEN | FIDX_JUNK)), -1});
        }
    }

    Run& run_;
    std::unique_ptr<char[]> buffer_;
    fidx_listing batch_{};
    scan_stats stats_{};
    std::vector<WorkItem> children_;  // the subfolders of the folder in progress
    bool started_ = false;            // a folder was taken (and is finished when `next` is called)
};

// Runs the workers from one open starting folder and writes the totals to `stats`.
void runWorkers(Run& run, WorkItem start, int threads, scan_stats* stats) {
    run.stack.push_back(std::move(start));
    run.pending = 1;
    const uint32_t n = scanWorkerCount(threads);
    std::vector<std::thread> pool;
    pool.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        pool.emplace_back([&run] {
            Worker w(run);
            w.loop();
        });
    for (std::thread& t : pool) t.join();
    if (stats) *stats = run.total;
}

// Opens the starting folder of a run after announcing it, and takes its device.
int openStart(Run& run, const char* path, bool follow) {
    if (run.hook) run.hook(run.hookCtx, path);
    const int fd = openFolder(path, follow);
    if (fd < 0) return -1;
    if (!deviceOf(fd, run.rootDevice)) {
        const int err = errno;
        close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

}  // namespace

uint32_t scanWorkerCount(int threads) { return static_cast<uint32_t>(std::clamp<int64_t>(threads, 1, kMaxWorkers)); }

}  // namespace quorvanta::index_engine

using namespace quorvanta::index_engine;

int fidx_scan(fidx* h, const char* root, int threads, scan_stats* stats) {
    if (stats) *stats = scan_stats{};
    Run run(h);
    takeSettings(*h->priv, run);
    const int fd = openStart(run, root, true);
    if (fd < 0) return -1;

    fidx_listing batch{};
    const std::string_view name(root);
    addRecord(batch, name.data(), name.size(), 0, 0, 0, FIDX_FOLDER | FIDX_ROOT);
    const uint32_t entry = commit(h, batch, FIDX_NONE);
    fidx_listing_free(&batch);
    if (entry == FIDX_NONE) {
        close(fd);
        if (stats) stats->errors = 1;
        errno = ENOSPC;
        return -1;
    }
    {
        std::lock_guard lock(h->priv->engine);
        h->priv->roots.push_back(entry);
    }
    if (excluded(run, name)) {  // a root inside an excluded folder is recorded, not entered
        close(fd);
        return 0;
    }
    runWorkers(run, WorkItem{std::string(root), entry, 0, fd}, threads, stats);
    return 0;
}

int fidx_scan_under(fidx* h, const char* path, uint32_t entry, uint8_t inherited, int threads, scan_stats* stats) {
    if (stats) *stats = scan_stats{};
    if (entry >= fidx_count(h)) {
        errno = EINVAL;
        return -1;
    }
    Run run(h);
    takeSettings(*h->priv, run);
    if (excluded(run, path)) return 0;
    const int fd = openStart(run, path, false);
    if (fd < 0) return -1;
    runWorkers(run, WorkItem{std::string(path), entry, static_cast<uint8_t>(inherited & (FIDX_HIDDEN | FIDX_JUNK)), fd},
               threads, stats);
    return 0;
}

void fidx_set_excludes(fidx* h, const char* const* paths, uint32_t n) {
    std::vector<std::string> list;
    for (uint32_t i = 0; i < n; ++i) list.push_back(normalisedExclusion(paths[i]));
    std::lock_guard lock(h->priv->settings);
    h->priv->excludes = std::move(list);
}

void fidx_set_include_exts(fidx* h, const char* const* exts, uint32_t n) {
    std::vector<std::string> list(exts, exts + n);
    std::lock_guard lock(h->priv->settings);
    h->priv->includeExts = std::move(list);
}

void fidx_scan_control(fidx* h, uint32_t stop, uint32_t pauseMicros) {
    h->priv->stop.store(stop, std::memory_order_relaxed);
    h->priv->pauseMicros.store(pauseMicros, std::memory_order_relaxed);
}

void fidx_set_dir_hook(fidx* h, fidx_dir_hook fn, void* ctx) {
    std::lock_guard lock(h->priv->settings);
    h->priv->dirHook = fn;
    h->priv->dirHookCtx = fn ? ctx : nullptr;
}
