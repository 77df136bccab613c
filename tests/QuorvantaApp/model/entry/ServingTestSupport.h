// The launch and the quit of the application in process, shared by the run without windows and the
// Qt shell's tests: ServingWorld has two real trees as configured sources and a real local API
// host over a socket in the temporary folder; QuitScene is what a quit meets there.
//
// QuitScene: alpha idle (watched, saved once, then a file added), beta whose full scan is held
// (it has an earlier snapshot), an offline catalog, and a status request whose copy of the volumes
// waits for the main thread when the quit begins. The model runs on the main queue the test gives
// (the manual one, or the Qt one), which `turn` runs until a condition holds. The quit's end is
// observed through the exit seam, which records what the process would have ended with.
#pragma once

#include "QuorvantaApp/model/api_host/LocalAPIHost.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"
#include "QuorvantaCore/api/LocalAPIClient.h"
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"
#include "tests/support/PollFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <string>

namespace quorvanta::app::test {

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

class QuitScene : public ServingWorld {
public:
    // Runs the model's main queue until the condition holds.
    using Turn = std::function<void(const std::function<bool()>&)>;

    // Beta's earlier snapshot (a first run, on the manual queue) and the catalog's file.
    QuitScene() {
        {
            auto first = LifeWorld::model({});
            first->startScans();
            waitSaves(*first, 2);
            first->windDown(5s);
        }
        core::SnapshotInfo catalogInfo;
        catalogInfo.uuid = "UUID-CATALOG";
        catalogInfo.root = "/media/me/Old Disk";
        catalog = (data() / "catalog.idx").string();
        EXPECT_TRUE(core::test::buildIndex({{catalogInfo.root}, {"a", 0}})->save(catalog, catalogInfo));
    }

    // The model of the second run over `main`: alpha, beta (held in its full scan) and the catalog.
    std::shared_ptr<AppModel> makeModel(platform::MainQueue& main) {
        resumeMode = std::nullopt;  // full scans: beta's snapshot stays as it was while it scans
        events->setOnWatch([this](const std::string& path) {
            if (path.starts_with(beta.root())) betaScan.hold();
        });
        auto model = AppModel::create({}, true, lifeDeps(main));
        EXPECT_EQ(model->volumes->size(), 3u);
        alphaVolume = model->volumes->at(0);
        betaVolume = model->volumes->at(1);
        EXPECT_TRUE(model->volumes->at(2)->offline.get());
        betaBefore = fileBytes(betaVolume->snapshotPath());
        catalogBefore = fileBytes(catalog);
        EXPECT_FALSE(betaBefore.empty());
        return model;
    }

    // After the launch: until alpha watches and its first save ended and beta's scan is held; then
    // a file added to alpha, taken by its watcher; then the waiting request. Beta's scan is let go
    // last (the bounded end waits for its cancellation); beta stays scanning until the main queue
    // runs again, so the quit must come before the next turn.
    void settle(const AppModel& model, const Turn& turn) {
        ASSERT_NE(host.server(), nullptr) << host.error.get().value_or("");
        turn([&] { return alphaVolume->watcher != nullptr; });
        turn([&] { return model.backgroundSavesForTesting() >= 1; });
        betaScan.waitUntilHeld();
        catchUp(*alphaVolume);
        alpha.file("late.txt", 3);
        catchUp(*alphaVolume);
        ASSERT_TRUE(holds(*alphaVolume->index(), alpha.at("late.txt")));
        ASSERT_TRUE(betaVolume->scanning.get());

        socket = host.socketPath();
        reply =
            std::async(std::launch::async, [this] { return core::LocalAPIClient::send(R"({"op":"status"})", socket); });
        ASSERT_TRUE(quorvanta::test::pollFor([&] { return host.server()->active() > 0; }, 1ms));
        betaScan.release();
    }

    // The exit seam of the quit over `main`.
    ProcessEnd end(const platform::MainQueue& main) {
        ProcessEnd e;
        e.exit = [this, &main](int code) {
            ++ends;
            status = code;
            shuttingDownAtEnd = main.isShuttingDown();
            socketAtEnd = fs::exists(fs::symlink_status(socket));
            // The main thread runs no task here: the request is answered without it.
            if (reply.wait_for(30s) == std::future_status::ready) answered = reply.get();
        };
        return e;
    }

    // What one quit leaves: the process ended once with 0 after the shutdown began and the socket
    // went, the waiting request failed, alpha's snapshot holds the late file, beta's and the
    // catalog's files are as they were. Then a change that a second quit would save.
    void expectQuitOutcome() {
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(shuttingDownAtEnd);
        EXPECT_FALSE(socketAtEnd);
        EXPECT_EQ(host.server(), nullptr);
        EXPECT_EQ(answered, R"({"ok":false})");

        const auto saved = core::VolumeIndex::load(alphaVolume->snapshotPath(), {});
        ASSERT_TRUE(saved);
        EXPECT_TRUE(holds(*saved->index, alpha.at("late.txt"))) << "the file added after the first save";
        EXPECT_EQ(fileBytes(betaVolume->snapshotPath()), betaBefore) << "a scanning volume's snapshot was written";
        EXPECT_EQ(fileBytes(catalog), catalogBefore) << "a catalog was written";

        alphaAfter = fileBytes(alphaVolume->snapshotPath());
        alpha.file("later.txt", 3);
        catchUp(*alphaVolume);
    }

    // After a second request: nothing ran again.
    void expectNoSecondQuit() {
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(fileBytes(alphaVolume->snapshotPath()), alphaAfter);
    }

    std::string catalog;
    Gate betaScan;
    std::shared_ptr<VolumeState> alphaVolume;
    std::shared_ptr<VolumeState> betaVolume;
    std::string betaBefore;
    std::string catalogBefore;
    std::string alphaAfter;
    std::string socket;
    std::future<std::string> reply;
    int ends = 0;
    int status = -1;
    bool shuttingDownAtEnd = false;
    bool socketAtEnd = true;
    std::string answered;
};

}  // namespace quorvanta::app::test
