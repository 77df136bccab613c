// Mount handling over real trees: the volume lifecycle's world (LifecycleTestSupport.h) with a
// scripted mount source and a temporary folder standing in for the drive folders, so that each
// drive is a fixture tree below it.
#pragma once

#include "platform/volumes/MountSource.h"
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"

#include <condition_variable>
#include <thread>

namespace quorvanta::app::test {

// Runs the main queue until `done` holds; false when it still does not after a generous bound, so
// that a fault fails the test instead of hanging it. The bound is no timing assertion: a correct
// run ends as soon as `done` holds.
inline bool waitBounded(platform::ManualMainQueue& main, const std::function<bool()>& done,
                        std::chrono::seconds bound = std::chrono::seconds(60)) {
    std::atomic<bool> expired{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!ended.wait_for(lock, bound, [&] { return finished; })) {
            expired = true;
            main.post([] {});
        }
    });
    main.waitUntil([&] { return done() || expired.load(); });
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    ended.notify_all();
    watchdog.join();
    return done();
}

// Holds the next scan that lists a folder (holdNextScan) until release(), and at the latest until
// it goes, so that a failed assertion never leaves a scan held while the model waits for it.
// Declare it after the model.
class HeldScan {
public:
    explicit HeldScan(LifeWorld& world) : world_(world) { holdNextScan(world, gate_); }
    ~HeldScan() {
        gate_.release();
        world_.events->setOnWatch(nullptr);
    }
    HeldScan(const HeldScan&) = delete;
    HeldScan& operator=(const HeldScan&) = delete;
    void waitUntilHeld() { gate_.waitUntilHeld(); }
    void release() { gate_.release(); }

private:
    LifeWorld& world_;
    Gate gate_;
};

// Mount events as the test tells them, delivered on the observer's executor (the main queue).
class ScriptedMounts final : public platform::MountSource {
public:
    std::unique_ptr<platform::MountObservation> observe(platform::Executor& target,
                                                        platform::MountEvents events) override {
        ++observed;
        target_ = &target;
        events_ = std::make_shared<platform::MountEvents>(std::move(events));
        alive_ = std::make_shared<bool>(true);
        return std::make_unique<Observation>(alive_);
    }
    void appear(const std::string& root) { deliver(root, true); }
    void go(const std::string& root) { deliver(root, false); }

    int observed = 0;

private:
    struct Observation final : platform::MountObservation {
        explicit Observation(std::shared_ptr<bool> alive) : alive(std::move(alive)) {}
        ~Observation() override { *alive = false; }
        std::shared_ptr<bool> alive;
    };
    void deliver(const std::string& root, bool appeared) {
        if (!target_) return;
        target_->post([alive = alive_, events = events_, root, appeared] {
            if (*alive) (appeared ? events->appeared : events->gone)(root);
        });
    }

    platform::Executor* target_ = nullptr;
    std::shared_ptr<platform::MountEvents> events_;
    std::shared_ptr<bool> alive_;
};

class DriveWorld : public LifeWorld {
public:
    DriveWorld() { fs::create_directories(media()); }

    // The one drive folder of the model.
    fs::path media() const { return dir.path() / "media"; }
    // A drive: a fixture tree mounted (as far as the model knows) at media/<name>.
    FixtureTree drive(const std::string& name) const { return tree("media/" + name); }
    static Candidate external(const std::string& root, bool internal = false) {
        return Candidate{root, std::string(platform::lastComponent(root)), root, "", internal, false};
    }

    // The source settings of a drive keyed by its root: whole, or the chosen folders.
    void enable(const std::string& root, std::vector<std::string> folders = {}, bool enabled = true) {
        SourceMap sources = prefs.sources();
        SourceConfig config;
        config.enabled = enabled;
        config.whole = folders.empty();
        config.folders = std::move(folders);
        sources[root] = config;
        prefs.setSources(std::move(sources));
        prefs.setConfigured(true);
    }

    // Two connected external drives, "a" (whole, or the chosen folders) and "b" (whole), both on.
    struct TwoDrives {
        FixtureTree a;
        FixtureTree b;
    };
    TwoDrives twoDrives(std::vector<std::string> aFolders = {}) {
        TwoDrives two{drive("a"), drive("b")};
        drives->list = {external(two.a.root()), external(two.b.root())};
        enable(two.a.root(), std::move(aFolders));
        enable(two.b.root());
        return two;
    }

    AppModel::Dependencies driveDeps() {
        AppModel::Dependencies d = lifeDeps();
        d.mountSource = mounts;
        d.driveFolders = {media().string()};
        return d;
    }
    std::shared_ptr<AppModel> make(std::vector<std::string> roots = {}, bool persist = true) {
        return AppModel::create(std::move(roots), persist, driveDeps());
    }
    // A model over connected drives, each started and caught up with its watcher running.
    std::shared_ptr<AppModel> started(std::size_t volumes) {
        auto model = make();
        EXPECT_EQ(model->volumes->size(), volumes);
        model->startScans();
        for (const auto& volume : model->volumes.get()) waitWatcher(*volume);
        waitSaves(*model, volumes);
        for (const auto& volume : model->volumes.get()) catchUp(*volume);
        waitMaintenance(*model);
        settle(*model);
        return model;
    }

    // The names of the search's rows for `query`, once it has published.
    std::vector<std::string> search(AppModel& model, const std::string& query) {
        if (model.query.get() == query)
            model.runSearch(false);
        else
            model.setQuery(query);
        settle(model);
        return rowNames(*model.results.get());
    }

    std::shared_ptr<ScriptedMounts> mounts = std::make_shared<ScriptedMounts>();
};

}  // namespace quorvanta::app::test
