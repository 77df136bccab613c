#include "audio/indexer/AudioIndexer.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "audio/parser/AudioParser.h"
#include "tests/audio/ToolFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::audio {
namespace {

namespace fs = std::filesystem;
using core::AudioMeta;
using core::VolumeIndex;
using Progress = AudioIndexer::Progress;

std::shared_ptr<VolumeIndex> scanTree(const fs::path& root) { return VolumeIndex::scanned({root.string()}, 2); }

// The entry whose path is p; count() when there is none.
std::uint32_t entryOf(const VolumeIndex& index, const fs::path& p) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (index.path(i) == p.string()) return i;
    ADD_FAILURE() << "no entry for " << p;
    return index.count();
}

void touch(const fs::path& p, const std::string& date) {
    ASSERT_TRUE(test::run("touch -d '" + date + "' " + test::quoted(p))) << p;
}

bool contains(const std::vector<std::uint32_t>& list, std::uint32_t e) {
    return std::find(list.begin(), list.end(), e) != list.end();
}

std::string listed(const std::vector<Progress>& calls) {
    std::string out = "[";
    for (const Progress& p : calls)
        out += (out.size() > 1 ? " " : "") + std::to_string(p.done) + "/" + std::to_string(p.total);
    return out + "]";
}

// Writes count non-audio files of 128 bytes, "t000.mp3" on, and a text file.
void writeJunkMp3s(const quorvanta::test::TempDir& dir, int count) {
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "t%03d.mp3", i);
        dir.write(name, std::string(128, 'x'));
    }
    dir.write("notes.txt", std::string(500, 'n'));
}

TEST(AudioIndexerCandidates, EntryKinds) {
    quorvanta::test::TempDir top;
    const fs::path root = top / "root.mp3";  // a root entry with an audio extension is no candidate
    fs::create_directories(root / "x.mp3");
    const struct {
        const char* name;
        int bytes;  // -1: the folder above
        bool counted;
    } cases[] = {
        {"short.mp3", 127, false},   {"enough.mp3", 128, true}, {"x.mp3", -1, false},      {"._a.mp3", 400, false},
        {".hidden.flac", 400, true}, {"B.M4A", 400, true},      {"notes.txt", 400, false},
    };
    for (const auto& c : cases)
        if (c.bytes >= 0) top.write(std::string("root.mp3/") + c.name, std::string(c.bytes, 'a'));
    const auto index = scanTree(root);
    AudioIndexer indexer(index, 2);
    const auto p = indexer.pending();

    std::int64_t counted = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(contains(p.todo, entryOf(*index, root / c.name)), c.counted) << c.name;
        counted += c.counted;
    }
    EXPECT_FALSE(contains(p.todo, entryOf(*index, root)));
    EXPECT_EQ(p.total, counted);
    EXPECT_TRUE(std::is_sorted(p.todo.begin(), p.todo.end()));

    EXPECT_EQ(indexer.run(), counted);
    const auto after = indexer.pending();
    EXPECT_TRUE(after.todo.empty());
    EXPECT_EQ(after.total, counted);
}

TEST(AudioIndexerCandidates, EmptyIndexAndAttachedTable) {
    const auto empty = VolumeIndex::create(1000, 1 << 16, {});
    EXPECT_EQ(empty->audio(), nullptr);
    AudioIndexer indexer(empty, 0);
    EXPECT_EQ(indexer.threads(), 1);
    const auto table = empty->audio();
    ASSERT_NE(table, nullptr);
    const auto p = indexer.pending();
    EXPECT_TRUE(p.todo.empty());
    EXPECT_EQ(p.total, 0);
    // A second indexer keeps the table it finds.
    AudioIndexer again(empty, 4);
    EXPECT_EQ(empty->audio(), table);
}

TEST(AudioIndexerProgress, Sequences) {
    const struct {
        const char* name;
        int files;         // non-audio .mp3 files of 128 bytes
        bool storedFirst;  // every file stored by an earlier run
        int stale;         // then this many given a new modification time by the index
        bool cancelFirst;
        std::vector<Progress> expected;
        std::int64_t returned;
    } cases[] = {
        {"no audio", 0, false, 0, false, {{0, 0}}, 0},
        {"all up to date", 5, true, 0, false, {{5, 5}}, 0},
        {"300 pending", 310, true, 300, false, {{266, 310}, {310, 310}}, 300},
        {"exactly 256", 260, true, 256, false, {{260, 260}}, 256},
        {"first run of 300", 300, false, 0, false, {{256, 300}, {300, 300}}, 300},
        {"cancelled with files pending", 3, false, 0, true, {}, 0},
        {"cancelled with nothing pending", 3, true, 0, true, {{3, 3}}, 0},
    };
    for (const auto& c : cases) {
        quorvanta::test::TempDir dir;
        writeJunkMp3s(dir, c.files);
        for (const int threads : {1, 4}) {
            SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
            const auto index = scanTree(dir.path());
            if (c.storedFirst) {
                AudioIndexer first(index, threads);
                const auto todo = first.pending().todo;
                ASSERT_EQ(first.run(), c.files);
                for (int k = 0; k < c.stale; ++k) {
                    const std::uint32_t e = todo[k];
                    fidx_set_meta(index->s(), e, index->size(e), index->mtime(e) + 60, index->ctime(e));
                }
            }
            AudioIndexer indexer(index, threads);
            std::vector<Progress> calls;
            indexer.onProgress = [&](Progress p) { calls.push_back(p); };
            if (c.cancelFirst) indexer.cancel();
            EXPECT_EQ(indexer.run(), c.returned);
            EXPECT_EQ(listed(calls), listed(c.expected));
            const int rows = c.cancelFirst && !c.storedFirst ? 0 : c.files;
            EXPECT_EQ(static_cast<int>(index->audio()->count()), rows);
        }
    }
}

TEST(AudioIndexerStaleness, ChangedTimeIsPendingAgainAndUnreadableFileStaysDone) {
    quorvanta::test::TempDir dir;
    const fs::path file = dir.write("noise.mp3", std::string(300, 'z'));
    const auto index = scanTree(dir.path());
    const std::uint32_t e = entryOf(*index, file);
    AudioIndexer indexer(index, 2);
    ASSERT_EQ(indexer.run(), 1);

    // The unreadable file has an empty row under its modification time and is not read again.
    const auto table = index->audio();
    EXPECT_EQ(table->meta(e), AudioMeta{});
    EXPECT_EQ(table->analyzedMTime(e), index->mtime(e));
    EXPECT_TRUE(indexer.pending().todo.empty());
    EXPECT_EQ(indexer.run(), 0);

    touch(file, "2001-02-03 04:05:06");
    ASSERT_EQ(index->refresh({dir.path().string()}, {}, 1).updated, 1);
    EXPECT_EQ(indexer.pending().todo, std::vector<std::uint32_t>{e});
    EXPECT_EQ(indexer.run(), 1);
    EXPECT_EQ(table->analyzedMTime(e), index->mtime(e));
    EXPECT_TRUE(indexer.pending().todo.empty());
}

TEST(AudioIndexerStaleness, FileChangedDuringParseIsReadAgain) {
    quorvanta::test::TempDir dir;
    const fs::path file = dir.write("song.mp3", std::string(300, 'z'));
    touch(file, "2010-01-01 00:00:00");
    const auto index = scanTree(dir.path());
    const std::uint32_t e = entryOf(*index, file);
    const std::uint32_t before = index->mtime(e);

    AudioIndexer indexer(index, 1);
    int parses = 0;
    indexer.setParserForTesting([&](const std::string& path, std::string_view) {
        ++parses;
        // The file is rewritten while it is read, and the index takes its new time meanwhile.
        dir.write("song.mp3", std::string(400, 'y'));
        touch(path, "2020-01-01 00:00:00");
        index->refresh({dir.path().string()}, {}, 1);
        AudioMeta stale;
        stale.title = "old";
        return std::optional<AudioMeta>(stale);
    });
    ASSERT_EQ(indexer.run(), 1);
    ASSERT_EQ(parses, 1);
    ASSERT_NE(index->mtime(e), before);
    // The facts read are stored under the time the entry had before the read.
    EXPECT_EQ(index->audio()->analyzedMTime(e), before);
    EXPECT_EQ(indexer.pending().todo, std::vector<std::uint32_t>{e});

    indexer.setParserForTesting(nullptr);
    EXPECT_EQ(indexer.run(), 1);
    EXPECT_EQ(index->audio()->analyzedMTime(e), index->mtime(e));
    EXPECT_EQ(index->audio()->meta(e), AudioMeta{});
    EXPECT_TRUE(indexer.pending().todo.empty());
}

class AudioIndexerFacts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files_ = test::makeToolFiles("indexer", {"sox", "lame", "ffmpeg"}, [](const test::FileNamer& d) {
            const std::string src = d("src.wav");
            return std::vector<std::string>{
                "sox -D -n -r 44100 -c 2 -b 16 " + src + " synth 2 sine 440",
                "lame --quiet -b 192 --ta 'Bj\xC3\xB6rk' --tt 'J\xC3\xB3ga' --tl Homogenic --ty 1997 --tg Pop " + src +
                    " " + d("lame.mp3"),
                "lame --quiet -V 4 -m m --resample 22.05 --ta 'Sigur R\xC3\xB3s' --tt Svefn-g-englar " + src + " " +
                    d("vbr.mp3"),
                "ffmpeg -nostdin -y -v error -i " + src + " -c:a libmp3lame -b:a 96k -id3v2_version 3 " +
                    "-metadata artist=Air -metadata title='La femme d'\\''argent' " + d("ffmpeg.mp3"),
                "yes 'not audio at all' | head -c 4000 > " + d("fake.mp3"),
            };
        });
    }
    static inline test::ToolFileSet files_;
};

TEST_F(AudioIndexerFacts, StoredAsTheParserReadsThem) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    const auto index = scanTree(files_.dir);
    AudioIndexer indexer(index, 4);
    EXPECT_EQ(indexer.run(), 5);  // four MP3 files and the WAV source

    const struct {
        const char* file;
        std::string artist, title;
    } cases[] = {
        {"lame.mp3", "Bj\xC3\xB6rk", "J\xC3\xB3ga"},
        {"vbr.mp3", "Sigur R\xC3\xB3s", "Svefn-g-englar"},
        {"ffmpeg.mp3", "Air", "La femme d'argent"},
    };
    const auto table = index->audio();
    for (const auto& c : cases) {
        const fs::path path = files_ / c.file;
        const auto stored = table->meta(entryOf(*index, path));
        const auto parsed = AudioParser::parse(path.string(), "mp3");
        ASSERT_TRUE(stored && parsed) << c.file;
        EXPECT_EQ(*stored, *parsed) << c.file;
        EXPECT_EQ(stored->codec, core::AudioCodec::mp3) << c.file;
        EXPECT_EQ(stored->artist, c.artist) << c.file;
        EXPECT_EQ(stored->title, c.title) << c.file;
        EXPECT_GT(stored->durationMs, 1900u) << c.file;
    }
    const std::uint32_t fake = entryOf(*index, files_ / "fake.mp3");
    EXPECT_FALSE(AudioParser::parse((files_ / "fake.mp3").string(), "mp3"));
    EXPECT_EQ(table->meta(fake), AudioMeta{});
}

TEST(AudioIndexerCancel, FromAnotherThreadWhileWorkersRun) {
    quorvanta::test::TempDir dir;
    constexpr int kFiles = 600;
    writeJunkMp3s(dir, kFiles);
    const auto index = scanTree(dir.path());
    AudioIndexer indexer(index, 4);

    // Every parse from the 40th on waits until the test thread has cancelled.
    std::mutex m;
    std::condition_variable cv;
    int parses = 0;
    bool cancelled = false;
    indexer.setParserForTesting([&](const std::string&, std::string_view) {
        std::unique_lock lock(m);
        if (++parses >= 40) {
            cv.notify_all();
            cv.wait(lock, [&] { return cancelled; });
        }
        return std::optional<AudioMeta>();
    });
    std::vector<Progress> calls;
    indexer.onProgress = [&](Progress p) { calls.push_back(p); };

    std::int64_t processed = -1;
    std::thread runner([&] { processed = indexer.run(); });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return parses >= 40; });
    }
    indexer.cancel();
    {
        std::lock_guard lock(m);
        cancelled = true;
    }
    cv.notify_all();
    runner.join();

    // Each worker ends the chunk it holds, so at most 4 chunks of 16 follow the 40th parse.
    EXPECT_GE(processed, 40);
    EXPECT_LE(processed, 40 + 4 * 16);
    EXPECT_EQ(static_cast<std::int64_t>(index->audio()->count()), processed);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), (Progress{processed, kFiles}));
    EXPECT_EQ(static_cast<std::int64_t>(indexer.pending().todo.size()), kFiles - processed);

    // A cancelled indexer does no more work.
    const int parsesBefore = parses;
    calls.clear();
    EXPECT_EQ(indexer.run(), 0);
    EXPECT_EQ(parses, parsesBefore);
    EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace quorvanta::audio
