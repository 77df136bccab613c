// The files beside a snapshot and the whole-file writers: the audio side file, forgetting a
// catalog, the side file's name, cache and export modes, and the path rules of both writers.
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/index/CatalogFiles.h"
#include "QuorvantaCore/index/ExportFile.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/QuorvantaCore/index/IndexTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::fileMode;
using quorvanta::test::readFile;
using quorvanta::test::TempDir;

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::shared_ptr<VolumeIndex> smallIndex() {
    auto index = VolumeIndex::create(1u << 16, 1u << 20, {});
    const std::uint32_t root = test::commitRecords(*index, FIDX_NONE, {{"/m", 0, 0, 0, test::kRootFlags}});
    test::commitRecords(*index, root, {{"a.mp3"}, {"b.flac"}, {"c.txt"}});
    return index;
}

std::shared_ptr<AudioTable> tableOf(std::vector<std::pair<std::int64_t, std::string>> rows) {
    auto table = std::make_shared<AudioTable>();
    std::vector<AudioTable::Row> batch;
    for (const auto& [entry, title] : rows) {
        AudioTable::Row row;
        row.entry = entry;
        row.mtime = 100;
        row.meta.durationMs = 180000;
        row.meta.codec = AudioCodec::mp3;
        row.meta.title = title;
        row.meta.artist = "Artist";
        batch.push_back(row);
    }
    table->upsert(std::move(batch));
    return table;
}

std::vector<std::string> titles(const VolumeIndex& index) {
    std::vector<std::string> out;
    const auto table = index.audio();
    if (!table) return out;
    for (std::uint32_t e = 0; e < index.count(); ++e)
        if (const auto meta = table->meta(e)) out.push_back(meta->title);
    return out;
}

TEST(SnapshotAudio, SideFileRoundTripsWithTheSnapshot) {
    TempDir dir;
    auto index = smallIndex();
    index->setAudio(tableOf({{1, "One"}, {2, "Two"}}));
    EXPECT_EQ(index->audioVersion(), 1u);
    const std::string snapshot = (dir / "v.idx").string();
    ASSERT_TRUE(index->save(snapshot, {}));
    ASSERT_TRUE(index->saveAudio(snapshot));
    EXPECT_EQ(fileMode(dir / "v.aud"), 0600u & ~currentUmask());

    auto loaded = VolumeIndex::load(snapshot, {});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->index->audio(), nullptr);
    EXPECT_EQ(loaded->index->audioVersion(), 0u);
    loaded->index->loadAudio(snapshot);
    EXPECT_EQ(titles(*loaded->index), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(loaded->index->audioVersion(), 0u) << "a loaded table starts at version 0";
}

TEST(SnapshotAudio, NothingToSaveLeavesTheSideFile) {
    TempDir dir;
    auto index = smallIndex();
    const std::string snapshot = (dir / "v.idx").string();
    const fs::path side = dir / "v.aud";
    std::ofstream(side) << "earlier";
    EXPECT_FALSE(index->saveAudio(snapshot)) << "no table";
    index->setAudio(std::make_shared<AudioTable>());
    EXPECT_FALSE(index->saveAudio(snapshot)) << "an empty table";
    EXPECT_EQ(readFile(side), "earlier");
}

TEST(SnapshotAudio, ForeignDamagedOrMissingSideFilesKeepTheCurrentTable) {
    TempDir dir;
    auto index = smallIndex();
    const std::string snapshot = (dir / "v.idx").string();
    const fs::path side = dir / "v.aud";

    auto other = smallIndex();  // another store id
    other->setAudio(tableOf({{3, "Foreign"}}));
    ASSERT_TRUE(other->saveAudio(snapshot));
    const std::string foreign = readFile(side);
    index->setAudio(tableOf({{1, "Mine"}}));
    ASSERT_TRUE(index->saveAudio(snapshot));
    const std::string mine = readFile(side);

    struct Case {
        const char* what;
        std::optional<std::string> bytes;  // none: no side file
    };
    const std::vector<Case> cases = {
        {"another store id", foreign},
        {"cut short", mine.substr(0, mine.size() / 2)},
        {"magic changed",
         [&] {
             std::string b = mine;
             b[0] ^= 0x55;
             return b;
         }()},
        {"empty", std::string()},
        {"missing", std::nullopt},
    };
    for (const Case& c : cases) {
        index->setAudio(tableOf({{1, "Current"}}));
        fs::remove(side);
        if (c.bytes) std::ofstream(side, std::ios::binary) << *c.bytes;
        index->loadAudio(snapshot);
        EXPECT_EQ(titles(*index), std::vector<std::string>{"Current"}) << c.what;
    }
    std::ofstream(side, std::ios::binary | std::ios::trunc) << mine;
    index->loadAudio(snapshot);
    EXPECT_EQ(titles(*index), std::vector<std::string>{"Mine"});
}

TEST(Catalog, AudioPathBesideTheSnapshot) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/x/a.idx", "/x/a.aud"}, {"/x/a.bin", "/x/a.bin.aud"},     {"/x/a.IDX", "/x/a.IDX.aud"},
        {".idx", ".aud"},         {"/x/a.idx.idx", "/x/a.idx.aud"},
    };
    for (const auto& [snapshot, side] : cases) EXPECT_EQ(audioPath(snapshot), side) << snapshot;
}

TEST(Catalog, ForgetRemovesTheSnapshotAndItsSideFile) {
    TempDir dir;
    auto index = smallIndex();
    index->setAudio(tableOf({{1, "One"}}));
    struct Case {
        const char* what;
        bool snapshot, side, result;
    };
    const std::vector<Case> cases = {
        {"both", true, true, true},
        {"side file missing", true, false, true},
        {"snapshot missing", false, true, false},
        {"neither", false, false, false},
    };
    const std::string snapshot = (dir / "c.idx").string();
    for (const Case& c : cases) {
        if (c.snapshot) {
            ASSERT_TRUE(index->save(snapshot, {}));
        }
        if (c.side) {
            ASSERT_TRUE(index->saveAudio(snapshot));
        }
        EXPECT_EQ(forgetCatalog(snapshot), c.result) << c.what;
        EXPECT_FALSE(fs::exists(dir / "c.idx")) << c.what;
        EXPECT_FALSE(fs::exists(dir / "c.aud")) << c.what;
    }
    // A catalog is searchable until forgotten: a loaded snapshot answers like the live index.
    ASSERT_TRUE(index->save(snapshot, {}));
    const auto catalog = VolumeIndex::load(snapshot, {});
    ASSERT_TRUE(catalog);
    ASSERT_TRUE(forgetCatalog(snapshot));
    EXPECT_EQ(catalog->index->path(2), "/m/b.flac");
    EXPECT_FALSE(forgetCatalog((dir / "c.ord").string())) << "not a catalog file";
}

TEST(ExportFile, CacheAndExportWritersFollowTheirRulesAndModes) {
    TempDir dir;
    fs::create_directories(dir / "drives/usb");
    fs::create_directories(dir / "local");
    fs::create_directory_symlink(dir / "drives/usb", dir / "local/link");
    const std::string drives = (dir / "drives").string();
    const std::vector<std::string_view> external = {drives};
    const mode_t mask = currentUmask();
    const std::string bytes = "volume,kind,files,size_bytes\n";

    struct Case {
        fs::path path;
        bool cache;  // else an export
        bool written;
    };
    const std::vector<Case> cases = {
        {dir / "local/g.ord", true, true},        {dir / "local/s.idx", true, true},
        {dir / "local/s.IDX", true, false},       {dir / "local/r.csv", true, false},
        {dir / "missing/g.ord", true, false},     {dir / "drives/g.ord", true, false},
        {dir / "drives/usb/g.ord", true, false},  {dir / "local/link/g.aud", true, false},
        {dir / "local/r.CSV", false, true},       {dir / "local/r.m3u8", false, true},
        {dir / "local/r.txt", false, false},      {dir / "local/r.idx", false, false},
        {dir / "drives/usb/r.csv", false, false}, {dir / "local/link/r.tsv", false, false},
    };
    for (const Case& c : cases) {
        const bool ok =
            c.cache ? writeCache(bytes, c.path.string(), external) : ExportFile::save(bytes, c.path.string(), external);
        EXPECT_EQ(ok, c.written) << c.path;
        EXPECT_EQ(fs::exists(c.path), c.written) << c.path;
        if (!c.written) continue;
        EXPECT_EQ(readFile(c.path), bytes) << c.path;
        EXPECT_EQ(fileMode(c.path), (c.cache ? 0600u : 0644u) & ~mask) << c.path;
    }
    // Without an injected list the platform's folders apply.
    EXPECT_TRUE(ExportFile::save(bytes, (dir / "local/plain.csv").string()));
    if (fs::is_directory("/mnt")) {
        EXPECT_FALSE(ExportFile::save(bytes, "/mnt/quorvanta-refused.csv"));
    }
    EXPECT_FALSE(fs::exists("/mnt/quorvanta-refused.csv"));

    // A write onto a folder fails and leaves it as it was.
    fs::create_directory(dir / "local/taken.csv");
    EXPECT_FALSE(ExportFile::save(bytes, (dir / "local/taken.csv").string(), external));
    EXPECT_TRUE(fs::is_directory(dir / "local/taken.csv"));
}

}  // namespace
}  // namespace quorvanta::core
