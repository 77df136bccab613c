// The application model's construction: which volumes exist at start (forced roots, configured
// sources, offline catalogs), what a model without persisting leaves alone, and the two
// preference subscriptions.
#include "QuorvantaApp/model/app/AppModel.h"

#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "tests/QuorvantaApp/model/app/ModelTestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <set>

namespace quorvanta::app::test {
namespace {

using namespace std::chrono_literals;
using quorvanta::test::readFile;

std::vector<std::string> namesOf(const AppModel& model) {
    std::vector<std::string> names;
    for (const auto& volume : model.volumes.get())
        names.push_back(volume->name() + (volume->offline.get() ? " (offline)" : ""));
    return names;
}

// Saves a snapshot with `root` and a few files as `file` in the folder; gives the saved index.
std::shared_ptr<core::VolumeIndex> saveSnapshot(const fs::path& file, const std::string& root,
                                                const std::vector<std::string>& names) {
    std::vector<IndexEntry> entries{{root}};
    for (const std::string& name : names) entries.push_back({name, 0});
    auto index = core::test::buildIndex(entries);
    core::SnapshotInfo info;
    info.uuid = "UUID-" + fs::path(file).stem().string();
    info.root = root;
    info.savedAt = std::chrono::system_clock::time_point(1'650'000'000s);
    EXPECT_TRUE(index->save(file.string(), info)) << file;
    return index;
}

// A temporary file of an interrupted save (the atomic writer's naming), last changed years before
// the fake clock's now.
fs::path staleTemporary(const fs::path& folder) {
    const fs::path path = folder / ".ext.idx.tmp-a1b2c3d4e5f6";
    std::ofstream(path) << "half a snapshot";
    const timespec old[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    return path;
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> folderContents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = readFile(entry.path());
    return files;
}

Candidate drive(std::string key, std::string name, std::string root, bool internal = false) {
    return Candidate{std::move(key), std::move(name), std::move(root), "", internal, false};
}

TEST(AppModelConstruction, ForcedRootsGiveOneOnlineVolumeEachAndIgnoreEverythingElse) {
    ModelWorld world;
    world.drives->list = {drive("KEY-A", "Drive A", (world.dir / "a").string())};
    world.prefs.setSources({{"KEY-A", SourceConfig{true, true, {}, {}}}});
    world.prefs.setConfigured(true);
    world.prefs.setIncludeOnly("*.mp3; flac");
    world.settings.setTextList(AppModel::kExcludedPathsKey, {"/never/here"});
    saveSnapshot(world.data() / "ext.idx", "/media/me/Old Disk", {"x"});

    const auto model = world.make({"/srv/music/Library", "/home/me/", "/"}, true);
    EXPECT_EQ(namesOf(*model), (std::vector<std::string>{"Library", "me", "/"}))
        << "named by the last component (the root itself for \"/\"); no source, candidate or catalog";
    EXPECT_TRUE(world.catalogLoads.empty()) << "no catalog is even read";
    for (const auto& volume : model->volumes.get()) {
        EXPECT_EQ(volume->scopes(), std::vector<std::string>{volume->root()});
        EXPECT_EQ(volume->includeExts(), (std::vector<std::string>{"mp3", "flac"}));
        EXPECT_EQ(volume->index()->excludes(), std::vector<std::string>{"/never/here"});
        EXPECT_TRUE(volume->scanning.get()) << "nothing was loaded; no scan has started either";
        EXPECT_FALSE(volume->isInternal());
    }
    EXPECT_EQ(model->excludedPaths(), std::vector<std::string>{"/never/here"});
    EXPECT_TRUE(model->persist());
}

TEST(AppModelConstruction, SourcesMakeVolumesOnlyWhenConfiguredEnabledAndNotEmpty) {
    ModelWorld world;
    const std::string base = world.dir.path().string();
    world.drives->list = {
        drive("KEY-SYS", "Computer", "/", true),  // no stored settings: skipped, though its default is on
        drive("KEY-OFF", "Disabled", base + "/off"),  drive("KEY-EMPTY", "No folders", base + "/empty"),
        drive("KEY-NONE", "Unknown", base + "/none"), drive("KEY-WHOLE", "Whole", base + "/whole"),
        drive("KEY-DIRS", "Folders", base + "/dirs"),
    };
    world.prefs.setSources({
        {"KEY-OFF", SourceConfig{false, true, {}, {}}},
        {"KEY-EMPTY", SourceConfig{true, false, {}, {}}},
        {"KEY-WHOLE", SourceConfig{true, true, {}, {}}},
        {"KEY-DIRS", SourceConfig{true, false, {"Music", "Photos/2024"}, {}}},
    });
    saveSnapshot(world.data() / "ext.idx", "/media/me/Old Disk", {"x"});

    // Before sources were ever configured: only the catalogs of earlier runs.
    EXPECT_EQ(namesOf(*world.make({}, true)), std::vector<std::string>{"Old Disk (offline)"});

    world.prefs.setConfigured(true);
    const auto model = world.make({}, true);
    EXPECT_EQ(namesOf(*model), (std::vector<std::string>{"Whole", "Folders", "Old Disk (offline)"}));
    EXPECT_EQ(model->volumes.get()[1]->scopes(),
              (std::vector<std::string>{base + "/dirs/Music", base + "/dirs/Photos/2024"}));

    // Without persisting the same sources still make volumes, but no catalog appears.
    EXPECT_EQ(namesOf(*world.make({}, false)), (std::vector<std::string>{"Whole", "Folders"}));
}

TEST(AppModelConstruction, CatalogsComeFromExternalSnapshotsReadByTheirHeader) {
    ModelWorld world;
    const auto first = saveSnapshot(world.data() / "a-first.idx", "/run/media/me/Backup", {"one", "two"});
    saveSnapshot(world.data() / "b-second.idx", "/run/media/me/Backup", {"three"});
    saveSnapshot(world.data() / "c-boot.idx", "/", {"etc", "usr"});
    saveSnapshot(world.data() / "d-home.idx", "/home", {"me"});
    saveSnapshot(world.data() / "e-online.idx", "/mnt/Online", {"y"});
    saveSnapshot(world.data() / "f-mntx.idx", "/mntx/Lookalike", {"y"});
    auto withAudio = saveSnapshot(world.data() / "g-music.idx", "/media/me/Music", {"song.mp3"});
    core::AudioMeta meta;
    meta.durationMs = 215000;
    meta.artist = "Someone";
    withAudio->audioAttached()->upsert({{1, 0, meta}});
    ASSERT_TRUE(withAudio->saveAudio((world.data() / "g-music.idx").string()));
    std::ofstream(world.data() / "h-damaged.idx") << std::string(20000, 'x');
    std::ofstream(world.data() / "notes.txt") << "not a snapshot";

    world.drives->list = {drive("KEY-ONLINE", "Online", "/mnt/Online")};
    world.prefs.setSources({{"KEY-ONLINE", SourceConfig{true, true, {}, {}}}});
    world.prefs.setConfigured(true);
    const auto model = world.make({}, true);

    EXPECT_EQ(namesOf(*model), (std::vector<std::string>{"Online", "Backup (offline)", "Music (offline)"}))
        << "one catalog per external root; the boot volume, other folders, a connected drive, a "
           "look-alike folder and a damaged file give none";
    EXPECT_EQ(world.catalogLoads, (std::vector<std::string>{"a-first.idx", "g-music.idx"}))
        << "only the chosen files are loaded: never the boot volume's snapshot";

    const auto& backup = model->volumes.get()[1];
    EXPECT_EQ(backup->index()->storeID(), first->storeID()) << "the file whose name sorts first";
    EXPECT_EQ(backup->root(), "/run/media/me/Backup");
    EXPECT_EQ(backup->snapshotPath(), (world.data() / "a-first.idx").string());
    EXPECT_EQ(backup->count.get(), 3) << "the root and two files";
    EXPECT_FALSE(backup->scanning.get());

    const auto& music = model->volumes.get()[2];
    ASSERT_NE(music->index()->audio(), nullptr) << "the audio table saved beside it is attached";
    EXPECT_EQ(music->index()->audio()->meta(1)->artist, "Someone");
}

TEST(AppModelConstruction, WithoutPersistingTheDataFolderIsLeftAlone) {
    ModelWorld world;
    const auto a = core::test::buildIndex({{"/media/a"}, {"x", 0}});
    const auto b = core::test::buildIndex({{"/media/b"}, {"y", 0}});
    const auto order = GlobalOrder::build(std::vector{a, b})->persisted(world.data() / "global.ord");
    ASSERT_TRUE(order->isFileBacked());
    saveSnapshot(world.data() / "ext.idx", "/media/me/Old Disk", {"x"});
    const fs::path temporary = staleTemporary(world.data());
    const auto before = folderContents(world.data());

    world.prefs.setConfigured(true);
    const auto model = world.make({}, false);
    EXPECT_FALSE(model->persist());
    EXPECT_TRUE(model->volumes->empty()) << "no catalog";
    EXPECT_EQ(model->global(), nullptr) << "a valid global.ord is not loaded";
    EXPECT_EQ(world.contentAsked, 0) << "the content index is never asked for";
    EXPECT_EQ(model->contentIndex(), nullptr);
    EXPECT_EQ(model->contentFiles.get(), 0);
    EXPECT_EQ(model->contentBytes.get(), 0u);
    EXPECT_TRUE(world.catalogLoads.empty());

    const auto forced = world.make({(world.dir / "vol").string()}, false);
    ASSERT_EQ(forced->volumes->size(), 1u);
    EXPECT_EQ(forced->volumes.get()[0]->index()->content(), nullptr) << "no volume gets a content index";
    world.main.drain();
    EXPECT_EQ(folderContents(world.data()), before) << "nothing created, changed or removed";
    EXPECT_TRUE(fs::exists(temporary)) << "not even a stale temporary";
}

TEST(AppModelConstruction, PersistingSweepsOpensTheContentIndexAndLoadsTheGlobalOrder) {
    ModelWorld world;
    const auto a = core::test::buildIndex({{"/media/a"}, {"x", 0}});
    const auto b = core::test::buildIndex({{"/media/b"}, {"y", 0}});
    ASSERT_TRUE(GlobalOrder::build(std::vector{a, b})->persisted(world.data() / "global.ord")->isFileBacked());
    const fs::path temporary = staleTemporary(world.data());

    const auto model = world.make({(world.dir / "vol").string()}, true);
    EXPECT_FALSE(fs::exists(temporary)) << "stale temporaries of interrupted saves are swept";
    EXPECT_EQ(world.contentAsked, 1);
    EXPECT_EQ(model->contentIndex(), world.content);
    EXPECT_EQ(model->volumes.get()[0]->index()->content(), world.content);
    ASSERT_NE(model->global(), nullptr);
    EXPECT_EQ(model->global()->storeIDs(), (std::vector<std::uint64_t>{a->storeID(), b->storeID()}));
}

TEST(AppModelConstruction, AnEmptyDataFolderTurnsPersistingOff) {
    ModelWorld world;
    auto deps = world.deps();
    deps.dataFolder = fs::path();
    const auto model = AppModel::create({"/srv/x"}, true, std::move(deps));
    EXPECT_FALSE(model->persist());
    EXPECT_EQ(world.contentAsked, 0);
}

// Subscriptions: each acts on later changes only, on the main queue, with one search.

TEST(AppModelConstruction, TheValuesCurrentAtSubscriptionTriggerNothing) {
    ModelWorld world;
    world.prefs.setHiddenVolumes({"/x"});
    const auto model = world.make({"/srv/x"}, false);
    EXPECT_EQ(world.main.drain(), 0u);
    EXPECT_EQ(model->generation(), 0);
    EXPECT_EQ(model->results.get(), ResultSet::empty());
}

TEST(AppModelConstruction, ChangingTheHiddenVolumesRunsOneSearchResettingTheScroll) {
    ModelWorld world;
    const auto model = world.make({"/srv/x", "/srv/y"}, false);
    fill(*model->volumes.get()[0], {{"a"}});
    fill(*model->volumes.get()[1], {{"b"}});
    world.prefs.setHiddenVolumes({"/srv/y"});
    EXPECT_EQ(model->generation(), 0) << "the change reaches the model through the main queue";
    world.settle(*model);
    EXPECT_EQ(model->generation(), 1);
    world.settle(*model);
    EXPECT_EQ(model->generation(), 1) << "exactly one search";
    EXPECT_TRUE(model->results.get()->resetScroll());
    EXPECT_EQ(rowNames(*model->results.get()), std::vector<std::string>{"0:a"});
}

TEST(AppModelConstruction, CategoryChangesFollowTheSelectedCategory) {
    struct Case {
        const char* what;
        std::string selected;              // the id of the filter before the change
        std::vector<Category> list;        // the new category list
        std::optional<Category> expected;  // the filter afterwards; none: unchanged, no search
    };
    const Category audio{"audio", "", "music.note", "*.mp3;*.flac"};
    const Category renamed{"audio", "Tunes", "music.note", "*.mp3;*.flac"};
    const Category video{"video", "", "film", "*.mp4"};
    const std::vector<Case> cases = {
        {"renamed: the filter follows in place", "audio", {renamed, video}, renamed},
        {"unchanged: nothing", "audio", {audio, video}, std::nullopt},
        {"removed: All", "audio", {video}, Category::all()},
        {"\"folders\" is never in the list: kept", "folders", {video}, std::nullopt},
        {"\"all\" is never in the list: kept", "all", {video}, std::nullopt},
    };
    for (const Case& c : cases) {
        ModelWorld world;
        world.prefs.setCategories({audio, video});
        const auto model = world.make({"/srv/x"}, false);
        fill(*model->volumes.get()[0], {{"a.mp3"}});
        const Category start = c.selected == "audio"     ? audio
                               : c.selected == "folders" ? Category::folders()
                                                         : Category::all();
        model->setFilter(start);
        model->setBrowseAll(true);
        world.settle(*model);
        const std::int64_t before = model->generation();

        world.prefs.setCategories(c.list);
        world.settle(*model);
        EXPECT_EQ(model->filter.get(), c.expected.value_or(start)) << c.what;
        EXPECT_EQ(model->generation(), before + (c.expected ? 1 : 0)) << c.what << ": one search, or none";
        EXPECT_EQ(model->browseAll.get(), !c.expected) << c.what;
        if (c.expected) {
            EXPECT_TRUE(model->results.get()->resetScroll()) << c.what;
        }
    }
}

TEST(AppModelConstruction, SubscriptionsHoldTheModelWeakly) {
    ModelWorld world;
    std::weak_ptr<AppModel> weak;
    {
        const auto model = world.make({"/srv/x"}, false);
        weak = model;
        world.prefs.setHiddenVolumes({"/srv/x"});  // posted, not yet run
    }
    EXPECT_TRUE(weak.expired());
    world.main.drain();
    world.prefs.setCategories({});
    EXPECT_EQ(world.main.drain(), 0u) << "a released model's subscriptions are gone";
}

}  // namespace
}  // namespace quorvanta::app::test
