// Drives that come and go and the source settings applied: the mount and unmount handlers over a
// scripted mount source, the new-drive list, applySources, dropping and forgetting volumes, and
// what the construction sets up.
#include "tests/QuorvantaApp/model/drives/MountTestSupport.h"

#include "QuorvantaApp/model/lifecycle/Lifecycle.h"
#include "QuorvantaCore/index/CatalogFiles.h"

namespace quorvanta::app::test {
namespace {

struct UnmountCase {
    const char* name;
    std::optional<bool> keepOffline;
    bool internal;
    bool scanning;
    bool catalog;  // stays listed as an offline catalog
    bool saved;    // a snapshot of every entry is on disk
};

TEST(MountsAndSources, Unmount) {
    const UnmountCase cases[] = {
        {"keepOffline absent", std::nullopt, false, false, true, true},
        {"keepOffline false", false, false, false, false, true},
        {"internal", std::nullopt, true, false, false, true},
        {"still scanning", std::nullopt, false, true, false, false},
    };
    for (const UnmountCase& c : cases) {
        SCOPED_TRACE(c.name);
        DriveWorld world;
        const FixtureTree stick = world.drive("stick");
        if (c.keepOffline) world.settings.setBoolean(AppModel::kKeepOfflineKey, *c.keepOffline);
        world.drives->list = {DriveWorld::external(stick.root(), c.internal)};
        world.enable(stick.root());
        std::shared_ptr<AppModel> model;
        std::optional<HeldScan> scan;
        if (c.scanning) {
            model = world.make();
            scan.emplace(world);
            model->startScans();
            scan->waitUntilHeld();
        } else {
            model = world.started(1);
        }
        const auto volume = model->volumes->at(0);

        world.mounts->go(stick.root());
        world.main.drain();
        // The second report of the same unmount (the watcher's) finds no online volume.
        world.mounts->go(stick.root());
        world.main.drain();
        EXPECT_EQ(volume->watcher, nullptr);
        if (c.catalog) {
            ASSERT_EQ(model->volumes.get(), AppModel::Volumes{volume});
            EXPECT_TRUE(volume->offline.get());
            EXPECT_EQ(volume->catalogDate, lifecycle::dateNow(world.clock));
        } else {
            EXPECT_TRUE(model->volumes->empty());
        }
        if (c.scanning) {
            scan->release();
            ASSERT_TRUE(waitBounded(world.main, [&] { return volume->cancelled; }));
            world.main.drain();
        }
        const std::string snapshot = volume->snapshotPath();
        const auto count = volume->index()->liveCount();
        model.reset();
        const auto loaded = core::VolumeIndex::load(snapshot, {});
        ASSERT_EQ(loaded.has_value(), c.saved);
        if (loaded) {
            EXPECT_EQ(loaded->index->liveCount(), count);
        }
    }
}

// The drive of a catalog mounts again: the catalog leaves the list, and a volume built from the
// sources, when there is one, is appended and resumes from the catalog's snapshot.
struct RemountCase {
    const char* name;
    bool enabled;    // the drive's source when it comes back
    bool candidate;  // the drive is one of the candidates when it comes back
};

TEST(MountsAndSources, MountReplacesTheCatalog) {
    const RemountCase cases[] = {
        {"source enabled", true, true},
        {"source disabled meanwhile", false, true},
        {"not a candidate (a disk image left out)", true, false},
    };
    for (const RemountCase& c : cases) {
        SCOPED_TRACE(c.name);
        DriveWorld world;
        const auto [a, b] = world.twoDrives();
        a.file("only_a", 1);
        auto model = world.started(2);
        const auto first = model->volumes->at(0);
        const auto second = model->volumes->at(1);
        world.mounts->go(a.root());
        world.main.drain();
        ASSERT_TRUE(first->offline.get());
        ASSERT_EQ(world.search(*model, "only_a"), std::vector<std::string>{"0:only_a"}) << "the catalog is searchable";

        if (!c.enabled) world.enable(a.root(), {}, false);
        if (!c.candidate) world.drives->list = {DriveWorld::external(b.root())};
        world.mounts->appear(a.root());
        world.main.drain();
        const AppModel::Volumes& now = model->volumes.get();
        if (!c.enabled || !c.candidate) {
            EXPECT_EQ(now, AppModel::Volumes{second});
            world.settle(*model);  // the handler's own search: the catalog's rows leave with it
            EXPECT_TRUE(rowNames(*model->results.get()).empty());
            continue;
        }
        ASSERT_EQ(now.size(), 2u);
        EXPECT_EQ(now[0], second);
        const auto back = now[1];
        EXPECT_NE(back, first);
        EXPECT_FALSE(back->offline.get());
        EXPECT_EQ(back->snapshotPath(), first->snapshotPath());
        ASSERT_TRUE(back->loaded().has_value()) << "resumed from the snapshot";
        ASSERT_TRUE(waitBounded(world.main, [&] { return !back->updating.get(); }));
        EXPECT_NE(back->watcher, nullptr);
        EXPECT_EQ(back->index()->liveCount(), first->index()->liveCount());
        EXPECT_EQ(world.search(*model, "only_a"), std::vector<std::string>{"1:only_a"});
    }
}

TEST(MountsAndSources, UnknownDrivesAndPlacesOutsideTheDriveFolders) {
    DriveWorld world;
    const FixtureTree known = world.drive("known");
    const FixtureTree stick = world.drive("stick");
    const FixtureTree elsewhere = world.tree("elsewhere");
    world.drives->list = {DriveWorld::external(known.root())};

    // Before any source was configured, a mounted drive is not offered.
    {
        auto model = world.make();
        world.drives->list.push_back(DriveWorld::external(stick.root()));
        world.mounts->appear(stick.root());
        world.main.drain();
        EXPECT_TRUE(model->newDrives->empty());
        EXPECT_TRUE(model->volumes->empty());
        world.drives->list.pop_back();
    }

    world.enable(known.root());
    world.enable(elsewhere.root());
    auto model = world.started(1);
    ASSERT_TRUE(model->newDrives->empty());
    world.drives->list.push_back(DriveWorld::external(stick.root()));
    for (int i = 0; i < 3; ++i) {
        world.mounts->go(stick.root());
        world.mounts->appear(stick.root());
        world.main.drain();
    }
    EXPECT_EQ(model->newDrives.get(), std::vector<Candidate>{DriveWorld::external(stick.root())});
    EXPECT_EQ(model->volumes->size(), 1u);

    // Outside the drive folders both reports are ignored, known source or not.
    const auto known0 = model->volumes->at(0);
    world.drives->list.push_back(DriveWorld::external(elsewhere.root()));
    world.mounts->appear(elsewhere.root());
    world.main.drain();
    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{known0});
    model->applySources();  // the sources do list it: a volume outside the drive folders
    ASSERT_EQ(model->volumes->size(), 2u);
    const auto outside = model->volumes->at(1);
    world.mounts->go(elsewhere.root());
    world.main.drain();
    EXPECT_EQ(model->volumes.get(), (AppModel::Volumes{known0, outside}));
    EXPECT_FALSE(outside->offline.get());
}

TEST(MountsAndSources, NewDrives) {
    DriveWorld world;
    const FixtureTree known = world.drive("known");
    const FixtureTree one = world.drive("one");
    const FixtureTree two = world.drive("two");
    world.drives->list = {DriveWorld::external("/", true), DriveWorld::external(known.root()),
                          DriveWorld::external(one.root()), DriveWorld::external(two.root())};
    world.enable(known.root());
    world.enable("/", {}, false);
    auto model = world.started(1);
    const auto objects = model->volumes.get();
    ASSERT_EQ(model->newDrives.get(),
              (std::vector<Candidate>{DriveWorld::external(one.root()), DriveWorld::external(two.root())}));

    model->ignoreNewDrive(DriveWorld::external(one.root()));
    EXPECT_EQ(model->volumes.get(), objects);
    EXPECT_EQ(model->newDrives.get(), std::vector<Candidate>{DriveWorld::external(two.root())});
    model->refreshNewDrives();
    EXPECT_EQ(model->newDrives.get(), std::vector<Candidate>{DriveWorld::external(two.root())});
    SourceConfig ignored;
    ignored.whole = true;
    const SourceMap stored = decodeSources(world.settings.text(Prefs::sourcesKey).value_or(""));
    ASSERT_TRUE(stored.contains(one.root()));
    EXPECT_EQ(stored.at(one.root()), ignored);

    model->indexNewDrive(DriveWorld::external(two.root()));
    EXPECT_TRUE(model->newDrives->empty());
    SourceConfig indexed = ignored;
    indexed.enabled = true;
    EXPECT_EQ(decodeSources(world.settings.text(Prefs::sourcesKey).value_or("")).at(two.root()), indexed);
    ASSERT_EQ(model->volumes->size(), 2u);
    EXPECT_EQ(model->volumes->at(0), objects[0]);
    const auto added = model->volumes->at(1);
    EXPECT_EQ(added->root(), two.root());
    EXPECT_EQ(added->scopes(), std::vector<std::string>{two.root()});
    world.waitScanned(*added);
    EXPECT_TRUE(holds(*added->index(), two.at("x/y/z/f")));
}

TEST(MountsAndSources, ApplyingUnchangedSourcesKeepsEveryVolume) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"same folders", {"a", "b"}},
        {"the folders in another order", {"b", "a"}},
    };
    for (const auto& [name, folders] : cases) {
        SCOPED_TRACE(name);
        DriveWorld world;
        const auto [a, b] = world.twoDrives({"a", "b"});
        auto model = world.started(2);
        const auto objects = model->volumes.get();
        const auto watcher = objects[0]->watcher;

        world.enable(a.root(), folders);
        const auto searches = model->generation();
        model->applySources();
        EXPECT_EQ(model->generation(), searches + 1);
        world.settle(*model);
        EXPECT_EQ(model->volumes.get(), objects);
        EXPECT_EQ(objects[0]->watcher, watcher);
        EXPECT_FALSE(objects[0]->updating.get());
        EXPECT_EQ(objects[0]->pendingScan, nullptr);
        EXPECT_TRUE(model->results.get()->resetScroll());
    }
}

TEST(MountsAndSources, AChangedFolderListIsScannedBesideAndSwappedInPlace) {
    DriveWorld world;
    const auto [a, b] = world.twoDrives({"a"});
    a.file("a/alpha_a", 1);
    a.file("b/beta_a", 1);
    auto model = world.started(2);
    const auto old = model->volumes->at(0);
    const auto other = model->volumes->at(1);

    HeldScan scan(world);
    world.enable(a.root(), {"a", "b"});
    model->applySources();
    scan.waitUntilHeld();
    world.settle(*model);
    EXPECT_EQ(model->volumes.get(), (AppModel::Volumes{old, other}));
    EXPECT_TRUE(old->updating.get());
    EXPECT_EQ(old->watcher, nullptr);
    const auto fresh = old->pendingScan;
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->loaded().has_value());
    EXPECT_EQ(world.search(*model, "alpha_a"), std::vector<std::string>{"0:alpha_a"}) << "the old one is searched";
    EXPECT_TRUE(world.search(*model, "beta_a").empty());

    scan.release();
    ASSERT_TRUE(waitBounded(world.main, [&] { return model->volumes->at(0) == fresh; }));
    world.waitWatcher(*fresh);
    EXPECT_EQ(model->volumes.get(), (AppModel::Volumes{fresh, other}));
    EXPECT_EQ(fresh->scopes(), (std::vector<std::string>{a.at("a"), a.at("b")}));
    EXPECT_EQ(old->pendingScan, nullptr);
    EXPECT_EQ(world.search(*model, "beta_a"), std::vector<std::string>{"0:beta_a"});
}

// An unmount while the replacement scans: the old volume becomes the catalog, the replacement is
// cancelled and never takes its place, and the snapshot stays the old configuration's.
TEST(MountsAndSources, AnUnmountDuringTheReplacementScanKeepsTheCatalog) {
    DriveWorld world;
    const FixtureTree a = world.drive("a");
    world.drives->list = {DriveWorld::external(a.root())};
    world.enable(a.root(), {"a"});
    auto model = world.started(1);
    const auto old = model->volumes->at(0);
    const auto count = old->index()->liveCount();

    HeldScan scan(world);
    world.enable(a.root(), {"a", "b"});
    model->applySources();
    scan.waitUntilHeld();
    const auto fresh = old->pendingScan;
    ASSERT_NE(fresh, nullptr);
    world.mounts->go(a.root());
    world.main.drain();
    scan.release();
    ASSERT_TRUE(waitBounded(world.main, [&] { return fresh->cancelled; }));
    world.settle(*model);

    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{old});
    EXPECT_TRUE(old->offline.get());
    EXPECT_EQ(old->index()->liveCount(), count);
    EXPECT_EQ(fresh->watcher, nullptr);
    const std::string snapshot = old->snapshotPath();
    const auto hash = old->configHash();
    model.reset();
    const auto loaded = core::VolumeIndex::load(snapshot, {});
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->info.exclHash, hash);
    EXPECT_EQ(loaded->index->liveCount(), count);
}

// A volume whose first scan still runs is replaced at once. A replacement still scanning for one
// change of the sources is cancelled by the next, also by a change back to the volume's own
// configuration, whose snapshot is on disk: that one is scanned in full too, never resumed.
TEST(MountsAndSources, ReplacementsOfVolumesStillScanning) {
    DriveWorld world;
    const FixtureTree a = world.drive("a");
    world.drives->list = {DriveWorld::external(a.root())};
    world.enable(a.root(), {"a"});
    auto model = world.make();
    const auto first = model->volumes->at(0);
    HeldScan firstScan(world);
    model->startScans();
    firstScan.waitUntilHeld();

    world.enable(a.root(), {"a", "b"});
    model->applySources();
    ASSERT_EQ(model->volumes->size(), 1u);
    const auto second = model->volumes->at(0);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->replacing, nullptr);
    firstScan.release();
    world.waitWatcher(*second);
    world.waitSaves(*model, 1);
    ASSERT_TRUE(waitBounded(world.main, [&] { return first->cancelled; }));
    EXPECT_EQ(first->watcher, nullptr);

    HeldScan thirdScan(world);
    world.enable(a.root(), {"x"});
    model->applySources();
    thirdScan.waitUntilHeld();
    const auto third = second->pendingScan;
    ASSERT_NE(third, nullptr);
    world.enable(a.root(), {"b", "a"});
    model->applySources();
    const auto fourth = second->pendingScan;
    ASSERT_NE(fourth, nullptr);
    EXPECT_NE(fourth, third);
    EXPECT_FALSE(fourth->loaded().has_value());
    thirdScan.release();
    // The cancelled scan's end and the swap come in either order.
    ASSERT_TRUE(waitBounded(world.main, [&] { return model->volumes->at(0) == fourth && third->cancelled; }));
    EXPECT_EQ(fourth->configHash(), second->configHash());
    EXPECT_TRUE(holds(*fourth->index(), a.at("b/h")));
}

TEST(MountsAndSources, DisablingASourceDropsItsVolume) {
    DriveWorld world;
    const auto [a, b] = world.twoDrives();
    auto model = world.started(2);
    const auto dropped = model->volumes->at(0);
    const auto kept = model->volumes->at(1);
    world.prefs.setHiddenVolumes({dropped->id(), kept->id()});
    a.file("b/late", 8);
    world.catchUp(*dropped);
    ASSERT_TRUE(holds(*dropped->index(), a.at("b/late")));

    world.enable(a.root(), {}, false);
    model->applySources();
    world.settle(*model);
    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{kept});
    EXPECT_EQ(dropped->watcher, nullptr);
    EXPECT_EQ(world.prefs.hiddenVolumes(), Prefs::VolumeIds{kept->id()});
    EXPECT_EQ(world.settings.textList(Prefs::hiddenVolumesKey), std::vector<std::string>{kept->id()});
    const auto loaded = core::VolumeIndex::load(dropped->snapshotPath(), {});
    ASSERT_TRUE(loaded.has_value());
    EXPECT_TRUE(holds(*loaded->index, a.at("b/late"))) << "saved on its way out";
}

// A connected drive whose source was off at start is listed as the catalog of its last snapshot;
// switching its source on replaces the catalog, so the drive is never listed twice.
TEST(MountsAndSources, SwitchingOnAConnectedDriveReplacesItsCatalog) {
    DriveWorld world;
    const FixtureTree a = world.drive("a");
    world.drives->list = {DriveWorld::external(a.root())};
    world.enable(a.root());
    world.started(1).reset();
    world.enable(a.root(), {}, false);
    auto model = world.make();
    ASSERT_EQ(model->volumes->size(), 1u);
    ASSERT_TRUE(model->volumes->at(0)->offline.get());

    world.enable(a.root());
    model->applySources();
    ASSERT_EQ(model->volumes->size(), 1u);
    const auto volume = model->volumes->at(0);
    EXPECT_FALSE(volume->offline.get());
    EXPECT_TRUE(volume->loaded().has_value());
}

TEST(MountsAndSources, ForgetCatalog) {
    DriveWorld world;
    const auto [a, b] = world.twoDrives();
    b.file("only_b", 1);
    auto model = world.started(2);
    const auto catalog = model->volumes->at(0);
    const auto online = model->volumes->at(1);
    world.mounts->go(a.root());
    world.main.drain();
    ASSERT_TRUE(catalog->offline.get());
    for (const auto& volume : {catalog, online}) {
        std::ofstream(core::audioPath(volume->snapshotPath())) << "audio";
        ASSERT_TRUE(fs::exists(volume->snapshotPath()));
    }

    model->forgetCatalog(online);
    EXPECT_EQ(model->volumes.get(), (AppModel::Volumes{catalog, online}));
    EXPECT_TRUE(fs::exists(online->snapshotPath()));
    EXPECT_TRUE(fs::exists(core::audioPath(online->snapshotPath())));

    model->forgetCatalog(catalog);
    world.settle(*model);
    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{online});
    EXPECT_FALSE(fs::exists(catalog->snapshotPath()));
    EXPECT_FALSE(fs::exists(core::audioPath(catalog->snapshotPath())));
    EXPECT_EQ(world.search(*model, "only_b"), std::vector<std::string>{"0:only_b"});
}

TEST(MountsAndSources, Construction) {
    struct Case {
        const char* name;
        bool persist;
        bool forced;
        bool configured;
        bool observed;
        bool offered;  // the unknown drive is in newDrives
    };
    const Case cases[] = {
        {"persisting, configured", true, false, true, true, true},
        {"persisting, not configured", true, false, false, true, false},
        {"not persisting", false, false, true, false, true},
        {"forced roots", true, true, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriveWorld world;
        const FixtureTree stick = world.drive("stick");
        world.drives->list = {DriveWorld::external("/", true), DriveWorld::external(stick.root())};
        if (c.configured) world.enable("/", {}, false);
        auto model =
            world.make(c.forced ? std::vector<std::string>{stick.root()} : std::vector<std::string>{}, c.persist);
        EXPECT_EQ(world.mounts->observed, c.observed ? 1 : 0);
        EXPECT_EQ(model->newDrives.get(),
                  c.offered ? std::vector<Candidate>{DriveWorld::external(stick.root())} : std::vector<Candidate>{});
    }
}

}  // namespace
}  // namespace quorvanta::app::test
