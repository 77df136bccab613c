// The background indexing the tick starts: audio analysis (progress, the audio table beside the
// snapshot, one run per change of the index), content updates (the folders of a volume, when they
// run, clearing, nested volumes), and the refresh of the folders that file actions touched.
#include "QuorvantaApp/model/maintenance/Maintenance.h"

#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/index/CatalogFiles.h"
#include "tests/QuorvantaApp/model/maintenance/MaintenanceTestSupport.h"
#include "tests/audio/ToolFiles.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quorvanta::app::test {
namespace {

// An MP3 and a FLAC file of one second, made once per test program.
const audio::test::ToolFileSet& audioFiles() {
    static const audio::test::ToolFileSet files =
        audio::test::makeToolFiles("maintenance-audio", {"ffmpeg"}, [](const audio::test::FileNamer& file) {
            return std::vector<std::string>{
                audio::test::ffmpegSine(1) + "-c:a libmp3lame -b:a 64k " + file("tone.mp3"),
                audio::test::ffmpegSine(1) + "-c:a flac " + file("tone.flac"),
            };
        });
    return files;
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Starts the model's volumes and waits until each is scanned and, when persisting, watched and
// caught up, with the work that started meanwhile done.
void startAll(LifeWorld& world, AppModel& model) {
    model.startScans();
    if (!model.persist()) {
        // Unwatched volumes show nothing when their sort orders are built after the scan, but
        // the search that follows: one at the start, one at each scan's end, one after each build.
        const auto searches = static_cast<std::int64_t>(1 + 2 * model.volumes->size());
        world.main.waitUntil([&] { return model.generation() >= searches; });
    }
    for (const auto& volume : model.volumes.get()) {
        world.waitScanned(*volume);
        if (!model.persist()) continue;
        world.waitWatcher(*volume);
        world.catchUp(*volume);
        world.main.waitUntil([&] { return !volume->updating.get(); });
    }
    for (const auto& volume : model.volumes.get()) waitIdle(world, *volume);
    world.main.waitUntil([&] { return !model.globalBuilding(); });
    world.settle(model);
}

bool anyAudioTable(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".aud") return true;
    return false;
}

// ---- Audio ----

TEST(BackgroundIndexing, AudioAnalysisPublishesProgressAndSavesItsTableOnlyWhenPersisting) {
    AUDIO_REQUIRE_TOOL_FILES(audioFiles());
    for (const bool persist : {true, false}) {
        SCOPED_TRACE(persist ? "persisting" : "not persisting");
        LifeWorld world;
        const fs::path music = world.dir.path() / "music";
        writeText(music / "readme.txt", "not audio");
        const auto model = world.model({music.string()}, persist);
        startAll(world, *model);
        const auto volume = model->volumes->at(0);
        EXPECT_EQ(volume->audioTotal.get(), 0);

        // Two audio files arrive and a refresh lists them (as the watcher would).
        fs::copy_file(audioFiles() / "tone.mp3", music / "a.mp3");
        fs::copy_file(audioFiles() / "tone.flac", music / "b.flac");
        volume->index()->refresh({music.string()}, {}, 1);

        // The searches when the analysis ends (audioRunning clears) and once it has ended.
        std::int64_t atEnd = -1;
        const core::Connection ended = volume->audioRunning.observe([&](bool running) {
            if (!running) atEnd = model->generation();
        });
        EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).audio, 1u);
        EXPECT_TRUE(volume->audioRunning.get());
        world.main.waitUntil([&] { return !volume->audioRunning.get(); });
        EXPECT_EQ(model->generation(), atEnd + 1) << "one search after the analysis";
        EXPECT_EQ(volume->audioDone.get(), 2);
        EXPECT_EQ(volume->audioTotal.get(), 2);
        waitIdle(world, *volume);
        ASSERT_NE(volume->index()->audio(), nullptr);
        EXPECT_EQ(fs::exists(core::audioPath(volume->snapshotPath())), persist);
        EXPECT_EQ(anyAudioTable(world.data()), persist);
    }
}

TEST(BackgroundIndexing, AudioRunsOnceForEachChangeOfTheIndex) {
    AUDIO_REQUIRE_TOOL_FILES(audioFiles());
    LifeWorld world;
    const fs::path music = world.dir.path() / "music";
    fs::create_directories(music);
    fs::copy_file(audioFiles() / "tone.mp3", music / "a.mp3");
    const auto model = world.model({music.string()}, false);
    startAll(world, *model);
    const auto volume = model->volumes->at(0);
    model->tick();
    world.main.waitUntil([&] { return !volume->audioRunning.get(); });
    EXPECT_EQ(volume->audioTotal.get(), 1);

    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).audio, 0u) << "same signature";

    fs::copy_file(audioFiles() / "tone.flac", music / "b.flac");
    volume->index()->refresh({music.string()}, {}, 1);
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).audio, 1u) << "a file added";
    world.main.waitUntil([&] { return !volume->audioRunning.get(); });
    EXPECT_EQ(volume->audioDone.get(), 2);
    EXPECT_EQ(volume->audioTotal.get(), 2);
}

// ---- Content ----

// A volume with two folders of text files.
fs::path documentsTree(LifeWorld& world, const std::string& name) {
    const fs::path root = world.dir.path() / name;
    writeText(root / "docs" / "a.txt", "alpha words of " + name);
    writeText(root / "notes" / "b.txt", "beta words of " + name);
    return root;
}

bool searchable(const core::ContentIndex& content, const std::string& phrase, const fs::path& file) {
    return content.search(phrase, 100).contains(file.string());
}

TEST(BackgroundIndexing, NewContentFoldersUpdateAtOnceAndIndexChangesAtMostEveryMinute) {
    LifeWorld world;
    const fs::path root = documentsTree(world, "vol");
    const auto model = world.model({root.string()}, true);
    startAll(world, *model);
    const auto volume = model->volumes->at(0);
    ASSERT_NE(world.content, nullptr);

    world.prefs.setContentFolders({(root / "docs").string()});
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).content, 1u) << "however recent the last update";
    EXPECT_TRUE(model->contentBusy.get());
    waitIdle(world, *volume);
    EXPECT_FALSE(model->contentBusy.get());
    EXPECT_EQ(volume->contentKey, (root / "docs").string());
    EXPECT_TRUE(searchable(*world.content, "alpha words", root / "docs" / "a.txt"));
    EXPECT_EQ(model->contentFiles.get(), 1);
    EXPECT_EQ(model->contentBytes.get(), world.content->bytes());

    world.prefs.setContentFolders({(root / "notes").string(), (root / "docs").string()});
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).content, 1u);
    waitIdle(world, *volume);
    EXPECT_EQ(volume->contentKey, (root / "docs").string() + "\n" + (root / "notes").string());
    EXPECT_TRUE(searchable(*world.content, "beta words", root / "notes" / "b.txt"));
    EXPECT_EQ(model->contentFiles.get(), 2);

    volume->index()->countChangesForTesting(1, 0);
    EXPECT_EQ(workDuring(*model, [&] { pass(world, 60); }).content, 0u) << "within 60 s of the last update";
    EXPECT_EQ(workDuring(*model, [&] { pass(world, 0.5); }).content, 1u);
    waitIdle(world, *volume);
    EXPECT_EQ(workDuring(*model, [&] { pass(world, 120); }).content, 0u) << "the index did not change again";
}

TEST(BackgroundIndexing, ClearingTheContentIndexUpdatesEachVolumeThatHadFolders) {
    LifeWorld world;
    const fs::path withFolders = documentsTree(world, "one");
    const fs::path without = documentsTree(world, "two");
    const auto model = world.model({withFolders.string(), without.string()}, true);
    startAll(world, *model);
    world.prefs.setContentFolders({(withFolders / "docs").string()});
    model->tick();
    for (const auto& volume : model->volumes.get()) waitIdle(world, *volume);
    ASSERT_EQ(model->contentFiles.get(), 1);

    model->clearContentIndex();
    EXPECT_TRUE(world.prefs.contentFolders().empty()) << "at once";
    EXPECT_EQ(world.settings.textList(Prefs::contentFoldersKey), std::vector<std::string>{});
    world.main.waitUntil([&] { return model->contentFiles.get() == 0; });
    EXPECT_EQ(model->contentBytes.get(), world.content->bytes());
    EXPECT_EQ(world.content->count(), 0);

    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).content, 1u) << "only the volume that had folders";
    const auto first = model->volumes->at(0);
    EXPECT_EQ(first->contentKey, "");
    waitIdle(world, *first);
    EXPECT_EQ(world.content->count(), 0);
}

TEST(BackgroundIndexing, WithoutAContentIndexContentWorkIsOff) {
    ModelWorld world;
    AppModel::Dependencies deps = world.deps();
    deps.content = [] { return std::shared_ptr<core::ContentIndex>(); };
    const auto model = AppModel::create({"/srv/x"}, true, std::move(deps));
    ASSERT_EQ(model->contentIndex(), nullptr);
    const auto volume = model->volumes->at(0);
    fill(*volume, {{"docs", FIDX_NONE, 1}});
    world.prefs.setContentFolders({"/srv/x/docs"});
    EXPECT_EQ(workDuring(*model, [&] { model->tick(); }).content, 0u);
    EXPECT_EQ(volume->contentSig, "");

    const std::int64_t searches = model->generation();
    model->clearContentIndex();
    EXPECT_TRUE(world.prefs.contentFolders().empty());
    world.main.waitUntil([&] { return model->generation() > searches; });
    EXPECT_EQ(model->contentFiles.get(), 0);
    EXPECT_EQ(model->contentBytes.get(), 0u);
}

// An outer volume whose index does not enter the folder of an inner volume below its root (here
// by its chosen folders), each with a content folder: the outer volume's updates leave the inner
// volume's documents alone.
TEST(BackgroundIndexing, NestedVolumesKeepTheirOwnDocuments) {
    LifeWorld world;
    const fs::path outer = documentsTree(world, "outer");
    const fs::path inner = outer / "inner";
    writeText(inner / "docs" / "c.txt", "gamma words inside");
    world.drives->list = {Candidate{outer.string(), "Outer", outer.string(), "", false, false},
                          Candidate{inner.string(), "Inner", inner.string(), "", false, false}};
    SourceConfig outerConfig;
    outerConfig.enabled = true;
    outerConfig.folders = {"docs"};
    SourceConfig innerConfig;
    innerConfig.enabled = true;
    innerConfig.whole = true;
    world.prefs.setSources({{outer.string(), outerConfig}, {inner.string(), innerConfig}});
    world.prefs.setConfigured(true);
    world.prefs.setContentFolders({(outer / "docs").string(), (inner / "docs").string()});
    const auto model = AppModel::create({}, true, world.lifeDeps());
    ASSERT_EQ(model->volumes->size(), 2u);
    startAll(world, *model);
    const auto outerVolume = model->volumes->at(0);
    const auto innerVolume = model->volumes->at(1);
    ASSERT_FALSE(holds(*outerVolume->index(), (inner / "docs" / "c.txt").string()));
    ASSERT_TRUE(holds(*innerVolume->index(), (inner / "docs" / "c.txt").string()));

    // Whatever ran while the volumes started, both are current now.
    model->tick();
    waitIdle(world, *outerVolume);
    waitIdle(world, *innerVolume);
    EXPECT_EQ(outerVolume->contentKey, (outer / "docs").string());
    EXPECT_EQ(innerVolume->contentKey, (inner / "docs").string());
    EXPECT_TRUE(searchable(*world.content, "gamma words", inner / "docs" / "c.txt"));
    EXPECT_TRUE(searchable(*world.content, "alpha words", outer / "docs" / "a.txt"));

    // The outer index changes: its next update walks an index without the inner folder.
    outerVolume->index()->countChangesForTesting(1, 0);
    EXPECT_EQ(workDuring(*model, [&] { pass(world, 61); }).content, 1u);
    waitIdle(world, *outerVolume);
    EXPECT_TRUE(searchable(*world.content, "gamma words", inner / "docs" / "c.txt"));
    EXPECT_TRUE(searchable(*world.content, "alpha words", outer / "docs" / "a.txt"));
    EXPECT_EQ(world.content->count(), 2);
}

// ---- Files changed by file actions ----

TEST(BackgroundIndexing, FilesChangedRefreshesTheFoldersAndSearchesAgain) {
    LifeWorld world;
    const FixtureTree tree = world.tree("vol");
    const auto model = world.model({tree.root()}, false);
    startAll(world, *model);
    const auto volume = model->volumes->at(0);
    model->tick();
    const std::int64_t count = volume->count.get();
    ASSERT_EQ(count, volume->index()->liveCount());

    tree.rename("a/f1", "a/renamed");
    tree.remove("a/f2");
    const std::int64_t searches = model->generation();
    EXPECT_EQ(workDuring(*model, [&] { model->filesChanged({{volume, {tree.at("a")}}}); }).bg, 1u);
    world.main.waitUntil([&] { return model->generation() > searches; });
    EXPECT_TRUE(holds(*volume->index(), tree.at("a/renamed")));
    EXPECT_FALSE(holds(*volume->index(), tree.at("a/f1")));
    EXPECT_FALSE(holds(*volume->index(), tree.at("a/f2")));
    EXPECT_EQ(volume->count.get(), count) << "published by the next tick";
    model->tick();
    EXPECT_EQ(volume->count.get(), count - 1);
}

}  // namespace
}  // namespace quorvanta::app::test
