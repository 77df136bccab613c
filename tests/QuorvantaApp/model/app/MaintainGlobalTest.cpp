// maintainGlobal: when the model builds its global name order, where it keeps it, and what a build
// that outlives the model does.
#include "QuorvantaApp/model/app/AppModel.h"

#include "tests/QuorvantaApp/model/app/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace quorvanta::app::test {
namespace {

// Starts a build and waits until it is installed; gives whether one was started.
bool maintained(ModelWorld& world, AppModel& model) {
    model.maintainGlobal();
    if (!model.globalBuilding()) return false;
    world.main.waitUntil([&] { return !model.globalBuilding(); });
    world.settle(model);
    return true;
}

std::vector<std::uint64_t> storeIDsOf(const AppModel& model) {
    std::vector<std::uint64_t> ids;
    for (const auto& volume : model.volumes.get()) ids.push_back(volume->index()->storeID());
    return ids;
}

TEST(MaintainGlobal, NoOrderForFewerThanTwoVolumesOrWhileOneScans) {
    ModelWorld world;
    const auto none = world.make({}, false);
    EXPECT_FALSE(maintained(world, *none));

    const auto one = world.make({"/srv/x"}, false);
    fill(*one->volumes.get()[0], {{"a"}, {"b"}});
    EXPECT_FALSE(maintained(world, *one));
    EXPECT_EQ(one->global(), nullptr);

    const auto two = world.make({"/srv/x", "/srv/y"}, false);
    fill(*two->volumes.get()[0], {{"a"}});
    EXPECT_TRUE(two->volumes.get()[1]->scanning.get());
    EXPECT_TRUE(two->anyScanning());
    EXPECT_FALSE(maintained(world, *two)) << "a volume scans";
    fill(*two->volumes.get()[1], {{"b"}});
    EXPECT_FALSE(two->anyScanning());
    EXPECT_TRUE(maintained(world, *two));
    EXPECT_NE(two->global(), nullptr);
}

TEST(MaintainGlobal, WithoutPersistingTheOrderLivesInMemory) {
    ModelWorld world;
    const auto model = world.make({"/srv/x", "/srv/y"}, false);
    fill(*model->volumes.get()[0], {{"b"}, {"d"}});
    fill(*model->volumes.get()[1], {{"a"}, {"c"}});
    model->setQuery("");
    world.settle(*model);
    const std::int64_t before = model->generation();

    ASSERT_TRUE(maintained(world, *model));
    ASSERT_NE(model->global(), nullptr);
    EXPECT_FALSE(model->global()->isFileBacked());
    EXPECT_EQ(model->global()->storeIDs(), storeIDsOf(*model));
    EXPECT_EQ(model->generation(), before + 1) << "the installed order searches once";
    EXPECT_EQ(model->globalMergesForTesting(), 1u) << "and that search uses it";
    EXPECT_EQ(rowNames(*model->results.get()), (std::vector<std::string>{"1:a", "0:b", "1:c", "0:d"}));
    EXPECT_FALSE(fs::exists(world.data() / "global.ord"));

    EXPECT_FALSE(maintained(world, *model)) << "a current order is kept";
}

TEST(MaintainGlobal, PersistingWritesGlobalOrdAndTheNextModelLoadsIt) {
    ModelWorld world;
    std::vector<std::uint64_t> built;
    {
        const auto model = world.make({"/srv/x", "/srv/y"}, true);
        fill(*model->volumes.get()[0], {{"b"}});
        fill(*model->volumes.get()[1], {{"a"}});
        ASSERT_TRUE(maintained(world, *model));
        ASSERT_NE(model->global(), nullptr);
        EXPECT_TRUE(model->global()->isFileBacked()) << "served from the written file";
        built = storeIDsOf(*model);
    }
    ASSERT_TRUE(fs::exists(world.data() / "global.ord"));
    const auto next = world.make({"/srv/x", "/srv/y"}, true);
    ASSERT_NE(next->global(), nullptr);
    EXPECT_EQ(next->global()->storeIDs(), built);
}

TEST(MaintainGlobal, TheTailRuleDecidesARebuild) {
    ModelWorld world;
    const auto model = world.make({"/srv/x", "/srv/y"}, false);
    fill(*model->volumes.get()[0], {{"a"}});
    fill(*model->volumes.get()[1], {{"b"}});
    ASSERT_TRUE(maintained(world, *model));
    const auto first = model->global();

    std::vector<IndexEntry> more(100'000, IndexEntry{"new", 0});
    core::test::appendEntries(*model->volumes.get()[0]->index(), more);
    EXPECT_FALSE(maintained(world, *model)) << "a tail of exactly 100,000 below 800,000 entries keeps the order";
    core::test::appendEntries(*model->volumes.get()[0]->index(), {{"one more", 0}});
    EXPECT_TRUE(maintained(world, *model)) << "100,001 rebuilds it";
    EXPECT_NE(model->global(), first);
    EXPECT_EQ(model->global()->tail(std::vector{model->volumes.get()[0]->index(), model->volumes.get()[1]->index()}),
              0u);
}

TEST(MaintainGlobal, ABuildThatEndsAfterTheModelIsReleasedChangesNothing) {
    ModelWorld world;
    auto model = world.make({"/srv/x", "/srv/y"}, true);
    fill(*model->volumes.get()[0], {{"b"}});
    fill(*model->volumes.get()[1], {{"a"}});
    Gate build;
    model->volumes.get()[0]->index()->setBuildHookForTesting([&](core::SortKey, core::VolumeIndex::BuildEvent event) {
        if (event == core::VolumeIndex::BuildEvent::build) build.hold();
    });
    model->maintainGlobal();
    build.waitUntilHeld();

    // Releasing the model waits for its queued work, so the build goes on only once the model is
    // gone: a helper opens the gate as soon as no owner is left.
    const std::weak_ptr<AppModel> weak = model;
    std::thread opener([&] {
        while (!weak.expired()) std::this_thread::yield();
        build.release();
    });
    model.reset();
    opener.join();
    EXPECT_EQ(world.main.drain(), 1u) << "the build's result arrives and is dropped";
    EXPECT_FALSE(fs::exists(world.data() / "global.ord")) << "nothing is written for a released model";
}

}  // namespace
}  // namespace quorvanta::app::test
