#include "QuorvantaCore/audio_table/AudioTable.h"

#include "QuorvantaCore/text/Fold.h"
#include "tests/QuorvantaCore/audio_table/AudioTableFixtures.h"
#include "tests/support/AudioCondBuilder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::core {
namespace {

using quorvanta::test::audioCond;
using test::row;
using test::selected;
using test::song;
using Field = AudioCond::Field;

// Bytes a text takes in the pool: text, NUL, fold, NUL.
std::size_t stored(const std::string& text) { return text.size() + 1 + text::fold(text).size() + 1; }

TEST(AudioTable, AppendAndMergePathsEachRaiseVersionByOne) {
    AudioTable table;
    EXPECT_EQ(table.version(), 0u);
    table.upsert({});
    EXPECT_EQ(table.version(), 0u) << "an empty batch changes nothing";

    table.upsert({row(9, song("a", "x")), row(4, song("b", "y"))});  // append, out of order
    EXPECT_EQ(table.version(), 1u);
    EXPECT_EQ(table.snapshot()->entry, (std::vector<std::uint32_t>{4, 9}));

    table.upsert({row(12, song("c", "z")), row(10, song("d", "w"))});  // append after 9
    EXPECT_EQ(table.version(), 2u);

    table.upsert({row(7, song("e", "v")), row(20, song("f", "u"))});  // starts below 12: merge
    EXPECT_EQ(table.version(), 3u);
    EXPECT_EQ(table.snapshot()->entry, (std::vector<std::uint32_t>{4, 7, 9, 10, 12, 20}));
    EXPECT_EQ(table.count(), 6u);
    EXPECT_EQ(table.meta(7)->artist, "e");
    EXPECT_EQ(table.meta(20)->artist, "f");
    EXPECT_EQ(table.meta(12)->artist, "c");

    table.upsert({row(-1, song("g", "t")), row(0x100000000LL, song("h", "s"))});
    EXPECT_EQ(table.version(), 3u) << "rows outside 0..4294967295 are dropped, never truncated";
    EXPECT_FALSE(table.meta(0).has_value());
    table.upsert({row(0xFFFFFFFFLL, song("i", "r"))});
    EXPECT_EQ(table.meta(0xFFFFFFFFLL)->artist, "i");
}

TEST(AudioTable, ReplacingRowKeepsOldTextsAndSharesOnlyRepeatableTexts) {
    AudioTable table;
    table.upsert({row(1, song("Artist", "Same title"), 111), row(2, song("Artist", "Same title"), 222)});
    // One NUL, the artist once, the title twice.
    EXPECT_EQ(table.snapshot()->pool.size(), 1 + stored("Artist") + 2 * stored("Same title"));
    {
        const auto cols = table.snapshot();
        EXPECT_EQ(cols->artist[0], cols->artist[1]);
        EXPECT_NE(cols->title[0], cols->title[1]);
    }

    const std::size_t before = table.snapshot()->pool.size();
    AudioMeta replaced = song("Other", "New", 1280, AudioCodec::flac);
    replaced.album = "Artist";  // an album equal to a stored artist shares its copy
    table.upsert({row(1, replaced, 333)});
    EXPECT_EQ(table.meta(1), replaced);
    EXPECT_EQ(table.analyzedMTime(1), 333u);
    EXPECT_EQ(table.analyzedMTime(2), 222u);
    EXPECT_EQ(table.snapshot()->pool.size(), before + stored("Other") + stored("New"))
        << "the pool only grows; old texts stay";
    EXPECT_EQ(table.snapshot()->album[0], table.snapshot()->artist[1]);
}

TEST(AudioTable, EntryGivenTwiceInOneBatchKeepsTheLastRow) {
    AudioTable table;
    table.upsert({row(5, song("first", "a")), row(3, song("x", "b")), row(5, song("last", "c"))});
    EXPECT_EQ(table.snapshot()->entry, (std::vector<std::uint32_t>{3, 5}));
    EXPECT_EQ(table.meta(5)->artist, "last");
    table.upsert({row(3, song("m1", "d")), row(3, song("m2", "e")), row(4, song("n", "f"))});  // merge
    EXPECT_EQ(table.snapshot()->entry, (std::vector<std::uint32_t>{3, 4, 5}));
    EXPECT_EQ(table.meta(3)->artist, "m2");

    const auto image = table.serialize(42);
    const auto loaded = AudioTable::deserialize(image, 42);
    ASSERT_NE(loaded, nullptr) << "the image of a table fed a duplicate must load again";
    EXPECT_EQ(loaded->meta(3)->artist, "m2");
}

TEST(AudioTable, FillSelectsByEveryField) {
    AudioTable table;
    auto meta = [](auto set) {
        AudioMeta m;
        set(m);
        return m;
    };
    table.upsert({
        row(1, meta([](AudioMeta& m) {
                m.bpm10 = 1195;
                m.codec = AudioCodec::mp3;
                m.artist = "Beyoncé";
            })),
        row(2, meta([](AudioMeta& m) {
                m.bpm10 = 1205;
                m.codec = AudioCodec::aac;
                m.title = "Halo";
            })),
        row(3, meta([](AudioMeta& m) {
                m.bpm10 = 1206;
                m.codec = AudioCodec::unknown;
                m.album = "Ärger";
            })),
        row(4, meta([](AudioMeta& m) {
                m.bpm10 = 0;
                m.codec = AudioCodec::pcm;
                m.genre = "Pop";
            })),
        row(5, meta([](AudioMeta& m) {
                m.codec = AudioCodec::pcmFloat;
                m.key = "Am";
                m.year = 2001;
            })),
        row(6, meta([](AudioMeta& m) {
                m.codec = AudioCodec::alac;
                m.durationMs = 1;
                m.bits = 24;
            })),
        row(7, meta([](AudioMeta& m) {
                m.codec = AudioCodec::flac;
                m.sampleRate = 96000;
                m.channels = 2;
            })),
        row(8, meta([](AudioMeta& m) {
                m.codec = AudioCodec::aiff;
                m.bitrateKbps = 128;
            })),
        row(9, meta([](AudioMeta& m) { m.codec = AudioCodec::wma; })),
        row(10, meta([](AudioMeta& m) { m.codec = AudioCodec::vorbis; })),
        row(11, meta([](AudioMeta& m) { m.codec = AudioCodec::opus; })),
        row(12, meta([](AudioMeta& m) {
                m.codec = AudioCodec::other;
                m.artist = "beyonce live";
            })),
        row(2000, meta([](AudioMeta& m) {
                m.bpm10 = 1200;
                m.codec = AudioCodec::flac;
                m.artist = "Beyonce";
            })),
    });
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    struct Case {
        const char* what;
        AudioCond cond;
        std::vector<std::uint32_t> entries;
    };
    const std::vector<Case> cases = {
        {"bpm 119.5-120.5; 0 never; entry 2000 is past entries", audioCond(Field::bpm, 1195, 1205), {1, 2}},
        {"bpm over the whole range still skips 0", audioCond(Field::bpm, kMin, kMax), {1, 2, 3}},
        {"bpm whose range holds 0", audioCond(Field::bpm, -5, 5), {}},
        {"year", audioCond(Field::year, 2000, 2010), {5}},
        {"dur", audioCond(Field::dur, 1, 1), {6}},
        {"bits", audioCond(Field::bits, 24, 24), {6}},
        {"rate", audioCond(Field::rate, 48000, kMax), {7}},
        {"channels", audioCond(Field::channels, 2, 2), {7}},
        {"bitrate", audioCond(Field::bitrate, kMin, 200), {8}},
        {"lossy: MP3, AAC, WMA, Vorbis, Opus, other; not unknown",
         audioCond(Field::lossless, kMin, kMax, "", false),
         {1, 2, 9, 10, 11, 12}},
        {"lossless", audioCond(Field::lossless, kMin, kMax, "", true), {4, 5, 6, 7, 8}},
        {"artist folded: BEYONCE finds Beyoncé", audioCond(Field::artist, kMin, kMax, "BEYONCE"), {1, 12}},
        {"artist needle with accent", audioCond(Field::artist, kMin, kMax, "yoncé"), {1, 12}},
        {"empty artist needle: every row with an artist", audioCond(Field::artist, kMin, kMax, ""), {1, 12}},
        {"title", audioCond(Field::title, kMin, kMax, "hal"), {2}},
        {"album", audioCond(Field::album, kMin, kMax, "arger"), {3}},
        {"genre", audioCond(Field::genre, kMin, kMax, "POP"), {4}},
        {"key", audioCond(Field::key, kMin, kMax, "am"), {5}},
        {"no match", audioCond(Field::title, kMin, kMax, "nothing"), {}},
        {"codec pcm: PCM and PCM float", audioCond(Field::codec, kMin, kMax, "Pcm"), {4, 5}},
        {"codec a: AAC ALAC FLAC PCM float AIFF WMA", audioCond(Field::codec, kMin, kMax, "a"), {2, 5, 6, 7, 8, 9}},
        {"codec empty: every codec, unknown too",
         audioCond(Field::codec, kMin, kMax, ""),
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"codec ?", audioCond(Field::codec, kMin, kMax, "?"), {12}},
    };
    for (const auto& c : cases) EXPECT_EQ(selected(table, c.cond, 100), c.entries) << c.what;

    // Bits already set stay set; entries at or past `entries` are never touched.
    std::vector<std::uint8_t> mask(2, 0);
    mask[0] = 0x01;  // entry 0, which has no row
    mask[1] = 0x80;  // entry 15, past the 13 entries given
    table.fill(audioCond(Field::codec, kMin, kMax, ""), mask.data(), 13);
    EXPECT_EQ(mask[0], 0xFF);         // entries 0 (kept) and 1-7
    EXPECT_EQ(mask[1], 0x80 | 0x1F);  // 8-12 set, 13 and 14 untouched, 15 kept
}

TEST(AudioTable, SnapshotIsUnchangedByLaterUpserts) {
    AudioTable table;
    table.upsert({row(2, song("a", "x")), row(6, song("b", "y"))});
    const auto before = table.snapshot();
    const AudioTable::Cols copy = *before;

    table.upsert({row(8, song("c", "z"))});                                // append path
    table.upsert({row(2, song("changed", "w")), row(4, song("d", "v"))});  // merge path
    EXPECT_EQ(before->entry, copy.entry);
    EXPECT_EQ(before->artist, copy.artist);
    EXPECT_EQ(before->pool, copy.pool);
    EXPECT_EQ(AudioTable::meta(*before, 0).artist, "a");
    EXPECT_EQ(table.meta(2)->artist, "changed");
    EXPECT_EQ(table.count(), 4u);
}

TEST(AudioTable, LookupsOnPresentAbsentAndEmpty) {
    AudioTable empty;
    EXPECT_FALSE(AudioTable::row(0, *empty.snapshot()).has_value());
    EXPECT_FALSE(empty.meta(0).has_value());
    EXPECT_FALSE(empty.analyzedMTime(0).has_value());
    EXPECT_EQ(empty.count(), 0u);

    AudioTable table;
    AudioMeta full = song("Ártist", "Títle", 1285, AudioCodec::flac);
    full.vbr = true;
    full.bits = 24;
    full.channels = 2;
    full.year = 2024;
    full.album = "Album";
    full.genre = "Genre";
    full.key = "F#m";
    table.upsert({row(10, full, 77), row(20, AudioMeta{}, 88)});
    EXPECT_EQ(table.meta(10), full);
    EXPECT_EQ(table.meta(20), AudioMeta{}) << "an empty record is stored so the file is not re-read";
    EXPECT_EQ(table.analyzedMTime(20), 88u);
    for (std::int64_t absent : {-1LL, 0LL, 11LL, 19LL, 21LL, 0x100000000LL})
        EXPECT_FALSE(table.meta(absent).has_value()) << absent;
    EXPECT_EQ(AudioTable::row(20, *table.snapshot()), 1u);
}

TEST(AudioTable, TextsWithNulAreCutAndFullPoolStoresNoText) {
    AudioTable table;
    table.upsert({row(1, song(std::string("Ab\0cd", 5), std::string("\0x", 2)))});
    EXPECT_EQ(table.meta(1)->artist, "Ab");
    EXPECT_EQ(table.meta(1)->title, "");

    // With the limit lowered, texts that would start past it get offset 0 instead of an offset
    // that wraps around onto another text.
    AudioTable limited;
    limited.setPoolLimitForTesting(1 + stored("Artist"));
    limited.upsert({row(1, song("Artist", "T1"))});  // artist at 1, title at the limit
    limited.upsert({row(2, song("Artist", "T2"))});  // shared artist, title past the limit
    limited.upsert({row(3, song("Newcomer", "T3"))});
    EXPECT_EQ(limited.meta(1)->title, "T1");
    EXPECT_EQ(limited.meta(2)->artist, "Artist");
    EXPECT_EQ(limited.meta(2)->title, "");
    EXPECT_EQ(limited.meta(3)->artist, "");
    EXPECT_EQ(selected(limited,
                       [] {
                           AudioCond c(Field::artist);
                           c.text = "new";
                           return c;
                       }()),
              std::vector<std::uint32_t>{});
    const auto loaded = AudioTable::deserialize(limited.serialize(5), 5);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->meta(2), limited.meta(2));
}

// Upserts on one thread while others fill, read rows and serialize; every reader must see a
// consistent table (run under ThreadSanitizer too).
TEST(AudioTable, ConcurrentUpsertsAndReaders) {
    AudioTable table;
    constexpr int kRounds = 300;
    std::atomic<bool> done{false};
    std::atomic<int> problems{0};

    std::thread writer([&] {
        for (int i = 0; i < kRounds; ++i) {
            std::vector<AudioTable::Row> rows;
            for (int k = 0; k < 8; ++k) {
                const std::int64_t entry = (i % 3 == 0) ? (i * 7 + k * 13) % 500 : 500 + i * 8 + k;
                rows.push_back(row(entry, song("Artist " + std::to_string(k), "Title", 1200), i));
            }
            table.upsert(std::move(rows));
        }
        done = true;
    });
    auto reader = [&](int kind) {
        while (!done) {
            if (kind == 0) {
                AudioCond c(Field::artist);
                c.text = "artist";
                const auto hits = selected(table, c, 4096);
                const auto cols = table.snapshot();
                if (hits.size() > cols->count() + 8 * kRounds) ++problems;
            } else if (kind == 1) {
                const auto cols = table.snapshot();
                for (std::size_t r = 1; r < cols->count(); ++r)
                    if (cols->entry[r] <= cols->entry[r - 1]) ++problems;
                if (cols->count() && !table.meta(cols->entry.back())) ++problems;
            } else {
                const std::uint64_t version = table.version();
                const auto image = table.serialize(9);
                const auto loaded = AudioTable::deserialize(image, 9);
                if (!loaded) ++problems;
                if (table.version() < version) ++problems;
            }
        }
    };
    std::thread a(reader, 0), b(reader, 1), c(reader, 2);
    writer.join();
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(problems.load(), 0);
    EXPECT_EQ(table.version(), static_cast<std::uint64_t>(kRounds));
}

}  // namespace
}  // namespace quorvanta::core
