// The maintenance tick: its timer, its rules (save interval, reconcile and content spacing, the
// content folders of a volume), and what one tick publishes and starts for the volumes: counts,
// the network schedule, sort orders, reconcile and saves, catalogs left alone.
#include "QuorvantaApp/model/maintenance/Maintenance.h"

#include "QuorvantaApp/model/lifecycle/Lifecycle.h"
#include "tests/QuorvantaApp/model/maintenance/MaintenanceTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorvanta::app::test {
namespace {

using maintenance::ReconcileFacts;
using maintenance::SaveFacts;

constexpr double kNow = 1'700'000'000;

// ---- The rules ----

TEST(MaintenanceTick, SaveIntervalGrowsWithTheArrays) {
    const struct {
        std::uint64_t arrayBytes;
        double seconds;
    } cases[] = {
        {0, 60},
        {10'000'000, 60},
        {21'428'571, 60},
        {21'428'572, 60.0000016},
        {87'000'004, 243.6000112},
        {100'000'000, 280},
    };
    for (const auto& c : cases) EXPECT_NEAR(maintenance::saveInterval(c.arrayBytes), c.seconds, 1e-6) << c.arrayBytes;
}

TEST(MaintenanceTick, SaveRule) {
    // Watched, unsaved, 10 MB of arrays (interval 60 s), saved 60.5 s ago.
    SaveFacts base;
    base.persist = true;
    base.watched = true;
    base.unsaved = true;
    base.arrayBytes = 10'000'000;
    base.now = kNow;
    base.lastSave = kNow - 60.5;
    const struct {
        const char* name;
        std::function<void(SaveFacts&)> change;
        bool due;
    } cases[] = {
        {"watched, unsaved, past the interval", [](SaveFacts&) {}, true},
        {"exactly the interval", [](SaveFacts& f) { f.lastSave = kNow - 60; }, false},
        {"100 MB at 280 s", [](SaveFacts& f) { f.arrayBytes = 100'000'000, f.lastSave = kNow - 280; }, false},
        {"100 MB after 280 s", [](SaveFacts& f) { f.arrayBytes = 100'000'000, f.lastSave = kNow - 280.5; }, true},
        {"87,000,004 bytes at 243.6 s", [](SaveFacts& f) { f.arrayBytes = 87'000'004, f.lastSave = kNow - 243.6; },
         false},
        {"87,000,004 bytes at 243.7 s", [](SaveFacts& f) { f.arrayBytes = 87'000'004, f.lastSave = kNow - 243.7; },
         true},
        {"reconcile mode without a watcher", [](SaveFacts& f) { f.watched = false, f.reconcileMode = true; }, true},
        {"scheduled or replay mode without a watcher", [](SaveFacts& f) { f.watched = false; }, false},
        {"scanning", [](SaveFacts& f) { f.scanning = true; }, false},
        {"no unsaved changes", [](SaveFacts& f) { f.unsaved = false; }, false},
        {"persisting off", [](SaveFacts& f) { f.persist = false; }, false},
        {"clock set back past the interval", [](SaveFacts& f) { f.lastSave = kNow + 60.5; }, true},
        {"clock set back within the interval", [](SaveFacts& f) { f.lastSave = kNow + 30; }, false},
    };
    for (const auto& c : cases) {
        SaveFacts facts = base;
        c.change(facts);
        EXPECT_EQ(maintenance::saveDue(facts), c.due) << c.name;
    }
}

TEST(MaintenanceTick, ReconcileRule) {
    ReconcileFacts base;
    base.persist = true;
    base.reconcileMode = true;
    base.now = kNow;
    base.lastReconcile = kNow - 300.5;
    const struct {
        const char* name;
        std::function<void(ReconcileFacts&)> change;
        bool due;
    } cases[] = {
        {"reconcile mode, unwatched, idle, after 300 s", [](ReconcileFacts&) {}, true},
        {"exactly 300 s", [](ReconcileFacts& f) { f.lastReconcile = kNow - 300; }, false},
        {"updating", [](ReconcileFacts& f) { f.updating = true; }, false},
        {"watched", [](ReconcileFacts& f) { f.watched = true; }, false},
        {"scanning", [](ReconcileFacts& f) { f.scanning = true; }, false},
        {"not in reconcile mode", [](ReconcileFacts& f) { f.reconcileMode = false; }, false},
        {"persisting off", [](ReconcileFacts& f) { f.persist = false; }, false},
        {"clock set back past the spacing", [](ReconcileFacts& f) { f.lastReconcile = kNow + 300.5; }, true},
    };
    for (const auto& c : cases) {
        ReconcileFacts facts = base;
        c.change(facts);
        EXPECT_EQ(maintenance::reconcileDue(facts), c.due) << c.name;
    }
}

TEST(MaintenanceTick, ContentSpacingRule) {
    const struct {
        const char* name;
        bool keyChanged;
        bool signatureChanged;
        double sinceLast;
        bool due;
    } cases[] = {
        {"folders changed, just updated", true, true, 0, true},
        {"folders changed, same signature", true, false, 0, true},
        {"nothing changed, long ago", false, false, 1e6, false},
        {"index changed 60 s after", false, true, 60, false},
        {"index changed 60.5 s after", false, true, 60.5, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(maintenance::contentUpdateDue(c.keyChanged, c.signatureChanged, kNow, kNow - c.sinceLast), c.due)
            << c.name;
}

TEST(MaintenanceTick, ContentFoldersOfAVolume) {
    using Folders = std::vector<std::string>;
    const struct {
        const char* name;
        std::string root;
        Folders contentFolders;
        Folders otherRoots;
        Folders folders;
        std::string key;
        Folders innerRoots;
    } cases[] = {
        {"preference order kept, key sorted",
         "/media/A",
         {"/media/A/x", "/media/A/b", "/media/AB/c"},
         {},
         {"/media/A/x", "/media/A/b"},
         "/media/A/b\n/media/A/x",
         {}},
        {"none apply", "/media/A", {"/media/AB/c", "/home/u"}, {}, {}, "", {}},
        {"the drive's own root", "/media/A", {"/media/A"}, {}, {"/media/A"}, "/media/A", {}},
        {"a root with a slash", "/", {"/home/u/docs"}, {}, {"/home/u/docs"}, "/home/u/docs", {}},
        {"nested volumes keep their folders",
         "/",
         {"/home/u/docs", "/media/A/x", "/media/A"},
         {"/media/A", "/media/B"},
         {"/home/u/docs"},
         "/home/u/docs",
         {"/media/A", "/media/B"}},
        {"an outer volume is no inner one",
         "/media/A",
         {"/media/A/x"},
         {"/", "/media/AB"},
         {"/media/A/x"},
         "/media/A/x",
         {}},
        {"raw bytes",
         "/media/A\xff",
         {"/media/A\xff/d\xfe", "/media/A/d"},
         {},
         {"/media/A\xff/d\xfe"},
         "/media/A\xff/d\xfe",
         {}},
    };
    for (const auto& c : cases) {
        const maintenance::ContentScope scope = maintenance::contentScope(c.root, c.contentFolders, c.otherRoots);
        EXPECT_EQ(scope.folders, c.folders) << c.name;
        EXPECT_EQ(scope.key, c.key) << c.name;
        EXPECT_EQ(scope.innerRoots, c.innerRoots) << c.name;
    }
    EXPECT_EQ(maintenance::contentSignature("/a\n/b", 12, 7), "/a\n/b|12|7");
}

// ---- The timer and the counters ----

TEST(MaintenanceTick, TheTimerTicksEveryHalfSecondWhileTheModelLives) {
    ModelWorld world;
    auto model = world.make({"/srv/x"}, false);
    const auto volume = model->volumes->at(0);
    fill(*volume, {{"a"}, {"b"}});
    pass(world, 0.4);
    EXPECT_EQ(volume->count.get(), 0) << "no tick yet";
    pass(world, 0.1);
    EXPECT_EQ(volume->count.get(), volume->index()->liveCount());

    core::test::appendEntries(*volume->index(), {{"c", 0}});
    pass(world, 0.5);
    EXPECT_EQ(volume->count.get(), 4);

    model.reset();
    pass(world, 1);
    EXPECT_EQ(world.clock.pendingTimers(), 0u) << "a firing without its model ends the timer";
}

TEST(MaintenanceTick, AnEmptyListStartsNothingAndNeverSearches) {
    ModelWorld world;
    const auto model = world.make({}, true);
    ASSERT_TRUE(model->volumes->empty());
    EXPECT_EQ(workDuring(*model, [&] { pass(world, 5); }), Work{});
}

TEST(MaintenanceTick, CountsChangingOnThreeVolumesGiveOneSearch) {
    ModelWorld world;
    const auto model = world.make({"/srv/x", "/srv/y", "/srv/z"}, false);
    for (const auto& volume : model->volumes.get()) fill(*volume, {{"a"}});
    const Work work = workDuring(*model, [&] { model->tick(); });
    EXPECT_EQ(work.searches, 1);
    for (const auto& volume : model->volumes.get()) EXPECT_EQ(volume->count.get(), 2);
}

TEST(MaintenanceTick, MutationsAloneSearchOnlyWhenTheVolumeIsNotScanning) {
    ModelWorld world;
    const auto model = world.make({"/srv/x"}, false);
    const auto volume = model->volumes->at(0);
    fill(*volume, {{"a"}});
    model->tick();
    waitIdle(world, *volume);
    world.settle(*model);

    volume->scanning.set(true);
    volume->index()->countChangesForTesting(1, 0);
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).searches, 0) << "during a scan";
    EXPECT_EQ(volume->lastMutations, volume->index()->mutations()) << "recorded all the same";
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).searches, 0) << "recorded once";

    volume->scanning.set(false);
    volume->index()->countChangesForTesting(1, 0);
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).searches, 1);
}

TEST(MaintenanceTick, AScanningVolumePublishesItsGrowingCountAndSecondsAtEveryTick) {
    LifeWorld world;
    const FixtureTree first = world.tree("first");
    const FixtureTree second = world.tree("second");
    const auto model = world.model({first.root()}, false);
    const auto volume = model->volumes->at(0);
    ASSERT_TRUE(volume->scanning.get());
    const auto& index = volume->index();

    index->scan({first.root()}, 1, 0);
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }), (Work{0, 0, 0, 0, 1})) << "scanning: only the count";
    EXPECT_EQ(volume->count.get(), index->liveCount());
    const double seconds = volume->seconds.get();
    EXPECT_GT(seconds, 0);
    EXPECT_EQ(seconds, index->scanSeconds());

    index->scan({second.root()}, 1, 0);
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).searches, 1);
    EXPECT_EQ(volume->count.get(), index->liveCount());
    EXPECT_GT(volume->seconds.get(), seconds);
}

TEST(MaintenanceTick, AnIdleTickStartsNoJobAndNoSearch) {
    ModelWorld world;
    const auto model = world.make({"/srv/x", "/srv/y"}, true);
    for (const auto& volume : model->volumes.get()) fill(*volume, {{"a"}, {"b.txt"}});
    // The first tick has all to do: counts, audio, content, sort orders, the global order.
    const Work first = workDuring(*model, [&] { model->tick(); });
    EXPECT_EQ(first.audio, 2u);
    EXPECT_EQ(first.content, 2u);
    EXPECT_GE(first.bg, 2u);
    EXPECT_EQ(first.searches, 1);
    for (const auto& volume : model->volumes.get()) waitIdle(world, *volume);
    world.main.waitUntil([&] { return !model->globalBuilding(); });
    world.settle(*model);

    // Then nothing changes for longer than every spacing.
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }), Work{});
    EXPECT_EQ(workDuring(*model, [&] { pass(world, 400); }), Work{});
}

TEST(MaintenanceTick, ACatalogIsLeftAlone) {
    ModelWorld world;
    const auto model = world.make({"/srv/x"}, true);
    const auto volume = model->volumes->at(0);
    fill(*volume, {{"a"}});
    model->goOffline(volume);
    world.settle(*model);
    ASSERT_TRUE(volume->offline.get());
    const std::int64_t mutations = volume->lastMutations;

    // What a live volume would act on: more entries, mutations, stale orders, unsaved changes,
    // content folders, long after every spacing.
    core::test::appendEntries(*volume->index(), {{"new.mp3", 0}, {"more", 0}});
    volume->index()->countChangesForTesting(1, 0);
    world.prefs.setContentFolders({"/srv/x"});
    EXPECT_EQ(workDuring(*model, [&] { pass(world, 1000); }), Work{});
    EXPECT_EQ(volume->count.get(), 0);
    EXPECT_EQ(volume->lastMutations, mutations);
    EXPECT_EQ(volume->audioSig, (std::pair<std::int64_t, std::int64_t>{-1, -1}));
    EXPECT_EQ(volume->contentSig, "");
    EXPECT_FALSE(volume->maintaining);
    EXPECT_EQ(model->backgroundSavesForTesting(), 0u);
}

// ---- Sort orders ----

TEST(MaintenanceTick, StaleSortOrdersGetOneRebuildAndASearchAfter) {
    ModelWorld world;
    const auto model = world.make({"/srv/x"}, false);
    const auto volume = model->volumes->at(0);
    fill(*volume, {{"b"}, {"a"}});
    ASSERT_FALSE(volume->index()->staleKeys().empty());
    Gate build;
    volume->index()->setBuildHookForTesting([&](core::SortKey, core::VolumeIndex::BuildEvent event) {
        if (event == core::VolumeIndex::BuildEvent::build) build.hold();
    });

    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).bg, 1u);
    EXPECT_TRUE(volume->maintaining);
    build.waitUntilHeld();
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).bg, 0u) << "one rebuild at a time";

    world.settle(*model);
    const std::int64_t searches = model->generation();
    build.release();
    world.main.waitUntil([&] { return !volume->maintaining; });
    EXPECT_EQ(model->generation(), searches + 1);
    EXPECT_TRUE(volume->index()->staleKeys().empty());
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).bg, 0u) << "nothing stale any more";
}

// ---- Network schedule ----

TEST(MaintenanceTick, NetworkSchedule) {
    const struct {
        const char* name;
        bool entry;
        std::optional<core::RescanInterval> rescan;
        std::optional<double> scannedAgo;  // none: never scanned
        double retryIn;
        bool scanning;
        bool updating;
        bool due;
    } cases[] = {
        {"daily, scanned 86,400 s ago", true, core::RescanInterval::daily, 86400, 0, false, false, true},
        {"daily, scanned 86,399 s ago", true, core::RescanInterval::daily, 86399, 0, false, false, false},
        {"hourly, scanned 3,600 s ago", true, core::RescanInterval::hourly, 3600, 0, false, false, true},
        {"hourly, scanned 3,599 s ago", true, core::RescanInterval::hourly, 3599, 0, false, false, false},
        {"never scanned", true, core::RescanInterval::daily, std::nullopt, 0, false, false, true},
        {"retry time ahead", true, core::RescanInterval::daily, std::nullopt, 10, false, false, false},
        {"retry time passed", true, core::RescanInterval::daily, std::nullopt, -10, false, false, true},
        {"scanning", true, core::RescanInterval::daily, std::nullopt, 0, true, false, false},
        {"updating", true, core::RescanInterval::daily, std::nullopt, 0, false, true, false},
        {"manual", true, core::RescanInterval::manual, std::nullopt, 0, false, false, false},
        {"no schedule", true, std::nullopt, std::nullopt, 0, false, false, false},
        {"no entry", false, std::nullopt, std::nullopt, 0, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const std::string root = world.net() + "/share";
        fs::create_directories(root);
        if (c.entry) {
            SourceConfig config;
            config.enabled = true;
            config.whole = true;
            config.rescan = c.rescan;
            world.prefs.setSources({{root, config}});
        }
        const auto model = world.model({root}, false);
        const auto volume = model->volumes->at(0);
        ASSERT_TRUE(volume->isNetwork());
        fill(*volume, {});
        volume->scanning.set(c.scanning);
        volume->updating.set(c.updating);
        const VolumeState::Date now = lifecycle::dateNow(world.clock);
        const auto span = [](double seconds) {
            return std::chrono::duration_cast<VolumeState::Date::duration>(std::chrono::duration<double>(seconds));
        };
        volume->lastScanned.set(c.scannedAgo ? std::optional(now - span(*c.scannedAgo)) : std::nullopt);
        volume->retryAfter = now + span(c.retryIn);

        EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).net, c.due ? 1u : 0u);
        EXPECT_EQ(volume->updating.get(), c.due || c.updating);
    }
}

// ---- Reconcile and saves of a loaded snapshot ----

// A model whose one volume was loaded from its snapshot with the given resume mode and not
// started: no watcher, `updating` as construction left it (true).
std::shared_ptr<AppModel> loadedModel(LifeWorld& world, const FixtureTree& tree, core::VolumeID::Resume mode) {
    {
        const auto first = world.model({tree.root()});
        const auto volume = first->volumes->at(0);
        first->startScans();
        world.waitWatcher(*volume);
        world.waitSaves(*first, 1);
    }
    world.resumeMode = mode;
    auto model = world.model({tree.root()});
    EXPECT_TRUE(model->volumes->at(0)->loaded());
    EXPECT_EQ(model->volumes->at(0)->resume(), mode);
    return model;
}

TEST(MaintenanceTick, ReconcileAtTheFirstTickMoreThan300SecondsAfterTheLast) {
    const struct {
        const char* name;
        core::VolumeID::Resume mode;
        bool updating;
        bool watched;
        bool due;
    } cases[] = {
        {"reconcile mode, unwatched, idle", core::VolumeID::Resume::reconcile, false, false, true},
        {"updating", core::VolumeID::Resume::reconcile, true, false, false},
        {"watched", core::VolumeID::Resume::reconcile, false, true, false},
        {"scheduled mode", core::VolumeID::Resume::scheduled, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const FixtureTree tree = world.tree("vol");
        const auto model = loadedModel(world, tree, c.mode);
        const auto volume = model->volumes->at(0);
        volume->updating.set(c.updating);
        if (c.watched)
            volume->watcher = std::make_shared<core::VolumeWatcher>(volume->index(), volume->root(), volume->scopes(),
                                                                    std::nullopt, 500ms, world.events, world.clock);
        const VolumeState::Date last = volume->lastReconcile;
        bool published = false;  // updating set true by the tick
        const core::Connection observed = volume->updating.observe([&](bool updating) { published |= updating; });

        pass(world, 300);
        EXPECT_EQ(volume->lastReconcile, last) << "not at exactly 300 s";
        pass(world, 0.5);
        EXPECT_EQ(volume->lastReconcile != last, c.due);
        EXPECT_EQ(published, c.due);
        if (c.due) world.main.waitUntil([&] { return !volume->updating.get(); });
    }
}

TEST(MaintenanceTick, SavesOfUnsavedChangesAfterTheInterval) {
    const struct {
        const char* name;
        core::VolumeID::Resume mode;
        bool watched;
        bool saved;
    } cases[] = {
        {"reconcile mode without a watcher", core::VolumeID::Resume::reconcile, false, true},
        {"replay mode with a watcher", core::VolumeID::Resume::replay, true, true},
        {"scheduled mode without a watcher", core::VolumeID::Resume::scheduled, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const FixtureTree tree = world.tree("vol");
        const auto model = loadedModel(world, tree, c.mode);
        const auto volume = model->volumes->at(0);
        if (c.watched)
            volume->watcher = std::make_shared<core::VolumeWatcher>(volume->index(), volume->root(), volume->scopes(),
                                                                    std::nullopt, 500ms, world.events, world.clock);
        ASSERT_FALSE(volume->index()->hasUnsavedChanges());
        pass(world, 120);
        EXPECT_EQ(model->backgroundSavesForTesting(), 0u) << "nothing unsaved";

        volume->index()->countChangesForTesting(1, 0);
        const VolumeState::Date last = volume->lastSave;
        pass(world, 0.5);
        EXPECT_EQ(volume->lastSave != last, c.saved);
        if (c.saved) {
            world.waitSaves(*model, 1);
            EXPECT_FALSE(volume->index()->hasUnsavedChanges());
            // The next change waits for the interval after this save.
            volume->index()->countChangesForTesting(1, 0);
            const VolumeState::Date saved = volume->lastSave;
            pass(world, 60);
            EXPECT_EQ(volume->lastSave, saved);
            pass(world, 0.5);
            EXPECT_NE(volume->lastSave, saved);
            world.waitSaves(*model, 2);
        }
    }
}

}  // namespace
}  // namespace quorvanta::app::test
