// Starting volumes: the first full scan to its watcher, the resume rules of a loaded snapshot as
// one table, and the watcher's own rules (one stream, a replacement keeps content search).
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"

#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/index/ScanTimes.h"

namespace quorvanta::app::test {
namespace {

using Resume = core::VolumeID::Resume;

TEST(VolumeLifecycle, FirstScanPublishesBeforeTheOrdersThenSavesAllFiveAndWatches) {
    LifeWorld world;
    const FixtureTree tree = world.tree("vol");
    // A file appears in a folder just before the scan lists it.
    world.events->setOnWatch([&, done = std::make_shared<std::atomic<bool>>(false)](const std::string& path) {
        if (path == tree.at("a/sub") && !done->exchange(true)) tree.file("a/sub/during-scan", 3);
    });
    auto model = world.model({tree.root()});
    const auto volume = model->volumes->at(0);
    ASSERT_TRUE(volume->scanning.get());
    Gate orders;
    volume->index()->setBuildHookForTesting([&](core::SortKey, core::VolumeIndex::BuildEvent event) {
        if (event == core::VolumeIndex::BuildEvent::build) orders.hold();
    });
    model->setQuery("f");
    model->startScans();
    world.waitScanned(*volume);
    orders.waitUntilHeld();
    world.settle(*model);
    EXPECT_EQ(volume->count.get(), volume->index()->liveCount());
    EXPECT_GT(volume->count.get(), 10);
    EXPECT_EQ(rowNames(*model->results.get()).size(), 3u) << "f1, f2 and x/y/z/f before any order exists";
    EXPECT_EQ(volume->index()->staleKeys().size(), 5u);
    EXPECT_FALSE(volume->watcher);

    orders.release();
    world.waitWatcher(*volume);
    EXPECT_TRUE(volume->updating.get()) << "catching up";
    world.catchUp(*volume);
    EXPECT_FALSE(volume->updating.get());
    EXPECT_TRUE(holds(*volume->index(), tree.at("a/sub/during-scan")));
    EXPECT_FALSE(fs::exists(world.data() / core::ScanTimes::fileName)) << "scan times are for network volumes";
    EXPECT_FALSE(volume->lastScanned.get());

    const std::string snapshot = volume->snapshotPath();
    model.reset();  // waits for the save queued on the scan queue
    const auto loaded = core::VolumeIndex::load(snapshot, {});
    ASSERT_TRUE(loaded);
    for (const core::SortKey key : core::allSortKeys)
        EXPECT_TRUE(loaded->index->usablePerm(key)) << core::rawValue(key) << " missing from the snapshot";
    EXPECT_EQ(loaded->info.root, tree.root());
    EXPECT_EQ(loaded->info.uuid, volume->uuid());
    EXPECT_EQ(loaded->info.exclHash, volume->configHash());
}

// How each resume rule brings a snapshot up to date with changes made while the model was down.
struct ResumeCase {
    const char* name;
    std::optional<Resume> mode;
    bool fullScan;     // the index is scanned anew
    bool watched;      // a watcher runs afterwards
    bool changesSeen;  // the new file, the grown file and the touched file are current
};

TEST(VolumeLifecycle, ResumeRules) {
    const ResumeCase cases[] = {
        {"reconcile", Resume::reconcile, false, true, true},
        {"scheduled", Resume::scheduled, false, false, false},
        {"replay", Resume::replay, false, true, true},
        {"none", std::nullopt, true, true, true},
    };
    for (const ResumeCase& c : cases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const FixtureTree tree = world.tree("vol");
        const bool replay = c.mode == Resume::replay;
        if (replay)
            world.events = std::make_shared<CountingSource>(
                std::make_shared<platform::RecordedSource>(platform::Journal{"journal-1", {}}));
        std::uint64_t savedID = 0;
        {
            auto first = world.model({tree.root()});
            const auto volume = first->volumes->at(0);
            first->startScans();
            world.waitWatcher(*volume);
            world.catchUp(*volume);
            savedID = volume->watcher->lastEventID();
        }  // released: the snapshot is on disk

        // While the model is down: a new file (its folder's time moves), a file grown in place
        // and a file touched (neither moves a folder's time).
        tree.file("b/new-while-down", 4);
        tree.resizeKeepingTimes("a/sub/g", 500);
        tree.setTime("x/y/z/f", core::test::kFixedTime + 3600);
        if (replay) {
            platform::Journal journal{"journal-1", {}};
            journal.events = {{savedID + 1, 0, tree.at("b/new-while-down")},
                              {savedID + 2, 0, tree.at("a/sub/g")},
                              {savedID + 3, 0, tree.at("x/y/z/f")}};
            world.events = std::make_shared<CountingSource>(std::make_shared<platform::RecordedSource>(journal));
        }
        // A change between the watcher's start and the reconcile.
        if (c.mode == Resume::reconcile) world.events->setOnOpen([&] { tree.file("b/between", 2); });

        world.resumeMode = c.mode;
        auto model = world.model({tree.root()});
        const auto volume = model->volumes->at(0);
        EXPECT_EQ(volume->loaded().has_value(), !c.fullScan);
        model->startScans();
        if (c.fullScan) world.waitScanned(*volume);
        if (c.watched) {
            world.waitWatcher(*volume);
            world.main.waitUntil([&] { return !volume->updating.get() || c.fullScan || replay; });
            world.catchUp(*volume);
        }
        world.main.drain();
        EXPECT_FALSE(volume->updating.get());
        EXPECT_EQ(volume->watcher != nullptr, c.watched);
        EXPECT_EQ(volume->index()->scanSeconds() > 0, c.fullScan);
        const auto& index = *volume->index();
        EXPECT_EQ(holds(index, tree.at("b/new-while-down")), c.changesSeen);
        EXPECT_EQ(index.size(entryAt(index, tree.at("a/sub/g"))) == 500, c.changesSeen);
        EXPECT_EQ(index.mtime(entryAt(index, tree.at("x/y/z/f"))) == core::test::kFixedTime + 3600, c.changesSeen);
        if (c.mode == Resume::reconcile) {
            EXPECT_TRUE(holds(index, tree.at("b/between")));
            EXPECT_EQ(core::test::dump(index), core::test::freshDump(index, {tree.root()}));
        }
    }
}

TEST(VolumeLifecycle, AWatcherStartedTwiceLeavesOneStream) {
    LifeWorld world;
    const FixtureTree tree = world.tree("vol");
    auto model = world.model({tree.root()});
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*volume);
    world.catchUp(*volume);
    ASSERT_EQ(world.events->openStreams(), 1);
    model->startWatcher(volume, volume->watcher->lastEventID());
    world.catchUp(*volume);
    EXPECT_EQ(world.events->openStreams(), 1) << "the earlier watcher's stream stayed open";

    // The remaining watcher is live: a new file shows.
    tree.file("b/after", 1);
    world.catchUp(*volume);
    EXPECT_TRUE(holds(*volume->index(), tree.at("b/after")));
}

TEST(VolumeLifecycle, AReplacementKeepsContentSearch) {
    LifeWorld world;
    const FixtureTree tree = world.tree("vol");
    { std::ofstream(tree.at("a/letter.txt")) << "the quorvantaword invoice\n"; }
    world.prefs.setContentFolders({tree.root()});
    auto model = world.model({tree.root()});
    const auto first = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*first);
    world.catchUp(*first);
    world.content->update(*first->index(), tree.root(), {tree.root()});
    model->setQuery("content:quorvantaword");
    world.settle(*model);
    ASSERT_EQ(rowNames(*model->results.get()), std::vector<std::string>{"0:letter.txt"});

    model->rescan(first);
    const auto replacement = first->pendingScan;
    ASSERT_TRUE(replacement);
    world.main.waitUntil([&] { return model->volumes->at(0) == replacement; });
    world.settle(*model);
    EXPECT_EQ(rowNames(*model->results.get()), std::vector<std::string>{"0:letter.txt"});
    world.waitWatcher(*replacement);
}

}  // namespace
}  // namespace quorvanta::app::test
