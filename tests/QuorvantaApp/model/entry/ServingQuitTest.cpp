// The launch and the quit of the application in process, over real trees and a real socket: one
// idle volume (watched, saved once, then a file added), one whose full scan is held (it has an
// earlier snapshot) and an offline catalog. The quit ends through the exit seam, which records
// what the process would have ended with.
#include "QuorvantaApp/model/entry/Serving.h"

#include "QuorvantaCore/api/LocalAPIClient.h"
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace quorvanta::app::test {
namespace {

// Waits, a step at a time, for `done`; false when it did not hold within a generous bound.
template <class F>
bool poll(F done) {
    for (int i = 0; i < 30000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

class ServingWorld : public LifeWorld {
public:
    ServingWorld() : host(settings, (data() / "api.sock").string()) {
        settings.setBoolean(LocalAPIHost::kLocalAPIKey, true);
        for (const FixtureTree* tree : {&alpha, &beta}) {
            drives->list.push_back(
                Candidate{tree->root(), fs::path(tree->root()).filename().string(), tree->root(), "", false, false});
            sources[tree->root()] = SourceConfig{true, true, {}, {}};
        }
        prefs.setSources(sources);
        prefs.setConfigured(true);
    }
    ~ServingWorld() { host.stop(); }

    FixtureTree alpha = tree("alpha");
    FixtureTree beta = tree("beta");
    SourceMap sources;
    LocalAPIHost host;
};

TEST(ServingQuit, SavesTheIdleVolumesOnceLeavesTheOthersAndEndsThroughTheSeam) {
    ServingWorld world;
    // Beta's earlier snapshot, from a first run of the application.
    {
        auto first = world.model({});
        first->startScans();
        world.waitSaves(*first, 2);
        first->windDown(5s);
    }
    // A catalog of a drive that is not connected.
    core::SnapshotInfo catalogInfo;
    catalogInfo.uuid = "UUID-CATALOG";
    catalogInfo.root = "/media/me/Old Disk";
    const std::string catalog = (world.data() / "catalog.idx").string();
    ASSERT_TRUE(core::test::buildIndex({{catalogInfo.root}, {"a", 0}})->save(catalog, catalogInfo));

    world.resumeMode = std::nullopt;  // full scans: beta's snapshot stays as it was while it scans
    Gate betaScan;
    world.events->setOnWatch([&](const std::string& path) {
        if (path.starts_with(world.beta.root())) betaScan.hold();
    });
    auto model = world.model({});
    ASSERT_EQ(model->volumes->size(), 3u);
    const auto alpha = model->volumes->at(0);
    const auto beta = model->volumes->at(1);
    ASSERT_TRUE(model->volumes->at(2)->offline.get());
    const std::string betaBefore = fileBytes(beta->snapshotPath());
    const std::string catalogBefore = fileBytes(catalog);
    ASSERT_FALSE(betaBefore.empty());

    launchModel(model, world.host, world.prefs, false);
    ASSERT_NE(world.host.server(), nullptr) << world.host.error.get().value_or("");
    world.waitWatcher(*alpha);
    world.waitSaves(*model, 1);
    betaScan.waitUntilHeld();
    world.catchUp(*alpha);
    world.alpha.file("late.txt", 3);
    world.catchUp(*alpha);
    ASSERT_TRUE(holds(*alpha->index(), world.alpha.at("late.txt")));
    ASSERT_TRUE(beta->scanning.get());

    // A request whose copy of the volumes waits for the main thread when the quit begins.
    const std::string socket = world.host.socketPath();
    auto reply =
        std::async(std::launch::async, [&] { return core::LocalAPIClient::send(R"({"op":"status"})", socket); });
    ASSERT_TRUE(poll([&] { return world.host.server()->active() > 0; }));

    int ends = 0;
    int status = -1;
    bool shuttingDownAtEnd = false;
    bool socketAtEnd = true;
    std::string answered;
    ProcessEnd end;
    end.exit = [&](int code) {
        ++ends;
        status = code;
        shuttingDownAtEnd = world.main.isShuttingDown();
        socketAtEnd = fs::exists(fs::symlink_status(socket));
        // The main thread runs no task here: the request is answered without it.
        if (reply.wait_for(30s) == std::future_status::ready) answered = reply.get();
    };
    QuitSequence quit(model, world.host, world.main, end);
    betaScan.release();  // the bounded end waits for the cancelled scan
    EXPECT_TRUE(quit.request());
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(shuttingDownAtEnd);
    EXPECT_FALSE(socketAtEnd);
    EXPECT_EQ(world.host.server(), nullptr);
    EXPECT_EQ(answered, R"({"ok":false})");

    const auto saved = core::VolumeIndex::load(alpha->snapshotPath(), {});
    ASSERT_TRUE(saved);
    EXPECT_TRUE(holds(*saved->index, world.alpha.at("late.txt"))) << "the file added after the first save";
    EXPECT_EQ(fileBytes(beta->snapshotPath()), betaBefore) << "a scanning volume's snapshot was written";
    EXPECT_EQ(fileBytes(catalog), catalogBefore) << "a catalog was written";

    const std::string alphaAfter = fileBytes(alpha->snapshotPath());
    world.alpha.file("later.txt", 3);
    world.catchUp(*alpha);
    EXPECT_FALSE(quit.request()) << "a second quit ran";
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(fileBytes(alpha->snapshotPath()), alphaAfter);
}

TEST(ServingQuit, LaunchStartsScansWhenSourcesAreConfiguredOrRootsForced) {
    struct Case {
        bool configured;
        bool forced;
    };
    for (const Case c : {Case{true, false}, Case{false, true}}) {
        ServingWorld world;
        world.settings.setBoolean(LocalAPIHost::kLocalAPIKey, false);
        world.prefs.setConfigured(c.configured);
        auto model = c.forced ? world.model({world.alpha.root()}) : world.model({});
        launchModel(model, world.host, world.prefs, c.forced);
        EXPECT_EQ(world.host.server(), nullptr) << "the switch is off";
        EXPECT_EQ(world.host.model.lock(), model);
        ASSERT_FALSE(model->volumes->empty());
        const auto volume = model->volumes->at(0);
        world.waitScanned(*volume);
        EXPECT_GT(volume->index()->count(), 0u) << c.configured << c.forced;
        model->windDown(5s);
        model->windDown(5s);
    }
}

}  // namespace
}  // namespace quorvanta::app::test
