// The volume lifecycle over real trees: the model world of ModelTestSupport.h (manual main queue
// over a fake clock, settings in memory, a temporary data folder) with the live inotify source
// behind a counting wrapper, an injected resume answer, network mounts and reachability, and
// helpers that wait for the background work by its outcome on the main queue.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/index/VolumeWatcher.h"
#include "platform/events/InotifySource.h"
#include "platform/events/RecordedSource.h"
#include "tests/QuorvantaApp/model/app/ModelTestSupport.h"
#include "tests/QuorvantaCore/index/RefreshTestSupport.h"

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>

namespace quorvanta::app::test {

using core::test::FixtureTree;
using namespace std::chrono_literals;

// Passes everything on to another source; counts the streams open now and runs the test's hooks
// when a folder is about to be watched and when a stream opens.
class CountingSource final : public platform::EventSource {
public:
    explicit CountingSource(std::shared_ptr<platform::EventSource> inner) : inner_(std::move(inner)) {}

    std::uint64_t currentId() override { return inner_->currentId(); }
    std::optional<std::string> eventLogIdentity(dev_t device) override { return inner_->eventLogIdentity(device); }
    void watchFolder(const std::string& path) override {
        inner_->watchFolder(path);
        std::function<void(const std::string&)> hook;
        {
            std::lock_guard guard(mutex_);
            hook = onWatch;
        }
        if (hook) hook(path);
    }
    std::unique_ptr<platform::EventStream> open(const std::vector<std::string>& scopes, std::uint64_t since,
                                                platform::Clock::Duration latency, platform::Executor& target,
                                                platform::FileEventBatch batch) override {
        std::function<void()> hook;
        {
            std::lock_guard guard(mutex_);
            hook = std::exchange(onOpen, nullptr);
        }
        if (hook) hook();
        auto inner = inner_->open(scopes, since, latency, target, std::move(batch));
        if (!inner) return nullptr;
        ++open_;
        return std::make_unique<Counted>(std::move(inner), open_);
    }

    int openStreams() const { return open_.load(); }
    // Set before the work that calls them starts.
    void setOnWatch(std::function<void(const std::string&)> hook) {
        std::lock_guard guard(mutex_);
        onWatch = std::move(hook);
    }
    // Runs once, at the next stream opening.
    void setOnOpen(std::function<void()> hook) {
        std::lock_guard guard(mutex_);
        onOpen = std::move(hook);
    }

private:
    struct Counted final : platform::EventStream {
        Counted(std::unique_ptr<platform::EventStream> inner, std::atomic<int>& open)
            : inner(std::move(inner)), open(open) {}
        ~Counted() override { --open; }
        std::unique_ptr<platform::EventStream> inner;
        std::atomic<int>& open;
    };

    std::shared_ptr<platform::EventSource> inner_;
    std::atomic<int> open_{0};
    std::mutex mutex_;
    std::function<void(const std::string&)> onWatch;  // mutex_
    std::function<void()> onOpen;                     // mutex_
};

class LifeWorld : public ModelWorld {
public:
    LifeWorld() { fs::create_directories(dir.path() / "net"); }

    AppModel::Dependencies lifeDeps() { return lifeDeps(main); }
    AppModel::Dependencies lifeDeps(platform::MainQueue& on) {
        AppModel::Dependencies d = deps(on);
        d.events = events;
        d.resume = [this](const core::SnapshotInfo&, const std::string&, const platform::MountEntry*) {
            return resumeMode;
        };
        d.mounts = [this] {
            std::vector<platform::MountEntry> table;
            platform::MountEntry local;
            local.mountID = 1;
            local.root = local.mountPoint = "/";
            local.fsType = local.source = "tmpfs";
            table.push_back(local);
            platform::MountEntry share;
            share.mountID = 2;
            share.root = "/";
            share.mountPoint = net();
            share.fsType = "nfs4";
            share.source = "server:/export";
            table.push_back(share);
            return VolumeContext::MountTable(table);
        };
        d.reachable = [this](const std::string&) { return reachable.load(); };
        return d;
    }

    std::shared_ptr<AppModel> model(std::vector<std::string> roots, bool persist = true) {
        return AppModel::create(std::move(roots), persist, lifeDeps());
    }

    // A model of one drive at `root` from the source settings: the whole drive, or the chosen
    // `folders` below it; the drive's key is its root (no volume UUID here).
    std::shared_ptr<AppModel> driveModel(const std::string& root, bool internal, std::vector<std::string> folders = {},
                                         bool persist = true) {
        drives->list = {Candidate{root, "Drive", root, "", internal, false}};
        SourceConfig config;
        config.enabled = true;
        config.whole = folders.empty();
        config.folders = std::move(folders);
        prefs.setSources({{root, config}});
        prefs.setConfigured(true);
        return AppModel::create({}, persist, lifeDeps());
    }

    // The folder that the mount table calls a network share: roots below it are network volumes.
    std::string net() const { return (dir.path() / "net").string(); }

    // A fixture tree (RefreshTestSupport.h) at `name` in the temporary folder.
    FixtureTree tree(const std::string& name) const {
        FixtureTree t((dir.path() / name).string());
        core::test::buildFixture(t);
        return t;
    }

    // Runs what the model posts until the volume's full scan has finished.
    void waitScanned(const VolumeState& volume) {
        main.waitUntil([&] { return !volume.scanning.get(); });
    }
    // Until the end of a local scan has started the watcher (the sort orders are built first).
    void waitWatcher(const VolumeState& volume) {
        main.waitUntil([&] { return volume.watcher != nullptr; });
    }
    // Until `count` snapshot saves of the model on the scan queue have ended.
    void waitSaves(const AppModel& model, std::uint64_t count) {
        main.waitUntil([&] { return model.backgroundSavesForTesting() >= count; });
    }
    // Runs what the model posts until the jobs of maintenance ticks (audio, content, sort orders,
    // the global order) have ended: a tick runs whenever the clock passes another half second.
    void waitMaintenance(const AppModel& model) {
        for (const auto& volume : model.volumes.get())
            main.waitUntil(
                [&] { return !volume->audioRunning.get() && !volume->contentRunning && !volume->maintaining; });
        main.waitUntil([&] { return !model.globalBuilding(); });
    }
    // Lets the volume's watcher take what inotify reported, apply it, and tell the model. The
    // watcher's queue is passed twice first: its start opens the stream, which queues the replay.
    void catchUp(const VolumeState& volume) {
        const auto watcher = volume.watcher;
        if (watcher) {
            watcher->isCaughtUp();
            watcher->isCaughtUp();
        }
        live->drain();
        if (watcher) {
            watcher->isCaughtUp();  // the batches are taken: the apply's timer is set
            clock.advance(1s);
            watcher->isCaughtUp();
        }
        main.drain();
    }

    std::shared_ptr<platform::InotifySource> live = std::make_shared<platform::InotifySource>();
    std::shared_ptr<CountingSource> events = std::make_shared<CountingSource>(live);
    std::optional<core::VolumeID::Resume> resumeMode = core::VolumeID::Resume::reconcile;
    std::atomic<bool> reachable{true};
};

// Holds the scan that lists a folder next (at its first folder watch), from the moment it is set.
inline void holdNextScan(LifeWorld& world, Gate& gate) {
    world.events->setOnWatch([&gate](const std::string&) { gate.hold(); });
}

// Whether the index holds a live entry with this path.
inline bool holds(const core::VolumeIndex& index, const std::string& path) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (!index.flags(i).contains(core::EntryFlags::deleted) && index.path(i) == path) return true;
    return false;
}

// The live entry with this path; fails the test when there is none.
inline std::uint32_t entryAt(const core::VolumeIndex& index, const std::string& path) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (!index.flags(i).contains(core::EntryFlags::deleted) && index.path(i) == path) return i;
    ADD_FAILURE() << "no live entry " << path;
    return 0;
}

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace quorvanta::app::test
