// The launch and the quit of the application in process, over real trees and a real socket: one
// idle volume (watched, saved once, then a file added), one whose full scan is held (it has an
// earlier snapshot) and an offline catalog. The quit ends through the exit seam, which records
// what the process would have ended with.
#include "QuorvantaApp/model/entry/Serving.h"

#include "tests/QuorvantaApp/model/entry/ServingTestSupport.h"

#include <gtest/gtest.h>

namespace quorvanta::app::test {
namespace {

TEST(ServingQuit, SavesTheIdleVolumesOnceLeavesTheOthersAndEndsThroughTheSeam) {
    QuitScene scene;
    auto model = scene.makeModel(scene.main);
    launchModel(model, scene.host, scene.prefs, false);
    scene.settle(*model, [&](const std::function<bool()>& done) { scene.main.waitUntil(done); });

    QuitSequence quit(model, scene.host, scene.main, scene.end(scene.main));
    EXPECT_TRUE(quit.request());
    scene.expectQuitOutcome();
    EXPECT_FALSE(quit.request()) << "a second quit ran";
    scene.expectNoSecondQuit();
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
