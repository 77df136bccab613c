#include "QuorvantaCore/audio_table/AudioFileFormat.h"
#include "QuorvantaCore/audio_table/AudioTable.h"

#include "tests/QuorvantaCore/audio_table/AudioTableFixtures.h"
#include "tests/fuzz/AudioTableOracle.h"
#include "tests/support/Hex.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using test::row;
using test::song;
using Bytes = std::vector<std::uint8_t>;
using test::fromHex;
using test::hex;

void putU64(Bytes& image, std::size_t at, std::uint64_t value) {
    for (std::size_t i = 0; i < 8; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putU32(Bytes& image, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

constexpr std::uint64_t kStore = 0x1122334455667788;

// Two rows that share an artist and a genre, repeat a title, and leave album and key empty once.
std::unique_ptr<AudioTable> twoRowTable() {
    auto table = std::make_unique<AudioTable>();
    AudioMeta a;
    a.durationMs = 215000;
    a.sampleRate = 44100;
    a.bitrateKbps = 320;
    a.bpm10 = 1280;
    a.year = 2021;
    a.bits = 16;
    a.channels = 2;
    a.codec = AudioCodec::mp3;
    a.vbr = true;
    a.artist = "Beyoncé";
    a.title = "Halo";
    a.album = "I Am";
    a.genre = "Pop";
    AudioMeta b;
    b.sampleRate = 48000;
    b.bits = 24;
    b.channels = 2;
    b.codec = AudioCodec::flac;
    b.artist = "Beyoncé";
    b.title = "Halo";
    b.genre = "Pop";
    b.key = "Am";
    table->upsert({row(7, b, 0x64000001), row(3, a, 0x64000000)});
    return table;
}

// The layout pinned byte by byte: header, sixteen columns without padding, pool.
const char* const kTwoRowImage =
    "5152565441554432887766554433221102000000000000003e00000000000000"
    "03000000070000000000006401000064d84703000000000044ac000080bb0000"
    "4001000000050000e50700001018020201040100010000000100000012000000"
    "2e0000001c000000000000002600000026000000000000003800000000426579"
    "6f6e63c3a9006265796f6e63650048616c6f0068616c6f004920416d00692061"
    "6d00506f7000706f700048616c6f0068616c6f00416d00616d00";

TEST(AudioFile, GoldenImageOfTwoRows) {
    const auto table = twoRowTable();
    const Bytes image = table->serialize(kStore);
    EXPECT_EQ(hex(image), kTwoRowImage);
    EXPECT_EQ(image.size(), audio_file::kHeaderBytes + 2 * audio_file::kRowBytes + 62);

    const auto loaded = AudioTable::deserialize(fromHex(kTwoRowImage), kStore);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->version(), 0u);
    for (std::int64_t entry : {3, 7}) EXPECT_EQ(loaded->meta(entry), table->meta(entry)) << entry;
    EXPECT_EQ(loaded->analyzedMTime(7), 0x64000001u);
}

TEST(AudioFile, EmptyTableIs33Bytes) {
    AudioTable empty;
    const Bytes image = empty.serialize(9);
    EXPECT_EQ(image.size(), 33u);
    EXPECT_EQ(image.back(), 0);
    const auto loaded = AudioTable::deserialize(image, 9);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->count(), 0u);
    EXPECT_EQ(loaded->serialize(9), image);
}

TEST(AudioFile, RejectsDamagedImages) {
    const Bytes good = fromHex(kTwoRowImage);
    ASSERT_NE(AudioTable::deserialize(good, kStore), nullptr);
    const std::size_t columns = audio_file::kHeaderBytes;
    const std::size_t artistColumn = columns + 26 * 2;
    const std::size_t titleColumn = columns + 30 * 2;
    const std::size_t pool = columns + 46 * 2;
    const std::size_t poolSize = good.size() - pool;

    struct Case {
        std::string what;
        Bytes image;
        std::uint64_t store = kStore;
    };
    auto edited = [&](auto edit) {
        Bytes image = good;
        edit(image);
        return image;
    };
    std::vector<Case> cases = {
        {"31 bytes", Bytes(good.begin(), good.begin() + 31)},
        {"another store id", good, kStore + 1},
        {"one byte more", edited([](Bytes& b) { b.push_back(0); })},
        {"one byte less", edited([](Bytes& b) { b.pop_back(); })},
        {"P = 0", edited([&](Bytes& b) {
             putU64(b, 24, 0);
             b.resize(pool);
         })},
        {"pool not ending in NUL", edited([](Bytes& b) { b.back() = 'x'; })},
        {"pool not starting with NUL", edited([&](Bytes& b) { b[pool] = 'x'; })},
        {"an entry repeated", edited([&](Bytes& b) { putU32(b, columns + 4, 3); })},
        {"a decreasing entry", edited([&](Bytes& b) { putU32(b, columns + 4, 2); })},
        {"R so large that 46R overflows", edited([](Bytes& b) { putU64(b, 16, 0x0590000000000000ULL); })},
        {"R and P whose sum overflows", edited([](Bytes& b) {
             putU64(b, 16, 1);
             putU64(b, 24, ~0ULL - 40);
         })},
        {"an offset equal to P",
         edited([&](Bytes& b) { putU32(b, artistColumn, static_cast<std::uint32_t>(poolSize)); })},
        {"an offset far past P", edited([&](Bytes& b) { putU32(b, titleColumn + 4, 0xFFFFFFF0u); })},
        {"a text missing its second NUL: offset of the last text's folded copy",
         edited([&](Bytes& b) { putU32(b, artistColumn, static_cast<std::uint32_t>(poolSize - 3)); })},
    };
    for (std::size_t i = 0; i < audio_file::kMagic.size(); ++i)
        cases.push_back({"magic byte " + std::to_string(i) + " changed", edited([i](Bytes& b) { b[i] ^= 0x20; })});
    for (const auto& c : cases) EXPECT_EQ(AudioTable::deserialize(c.image, c.store), nullptr) << c.what;

    // The last whole text may be named: only its folded copy lacks a second NUL.
    EXPECT_NE(AudioTable::deserialize(
                  edited([&](Bytes& b) { putU32(b, artistColumn, static_cast<std::uint32_t>(poolSize - 6)); }), kStore),
              nullptr);
}

TEST(AudioFile, RoundTripKeepsRowsAndSharesStoredTexts) {
    AudioTable table;
    std::vector<AudioTable::Row> rows;
    for (int i = 0; i < 200; ++i) {
        AudioMeta m = song("Artist " + std::to_string(i % 7), "Title " + std::to_string(i),
                           static_cast<std::uint16_t>(1000 + i), static_cast<AudioCodec>(i % 12));
        m.album = i % 3 ? "Album " + std::to_string(i % 5) : "";
        m.genre = "Artist " + std::to_string(i % 4);  // genres that equal artists share copies
        m.key = i % 2 ? "Cm" : "";
        m.vbr = i % 5 == 0;
        rows.push_back(row(i * 3, m, static_cast<std::uint32_t>(i)));
    }
    table.upsert(rows);
    const auto loaded = AudioTable::deserialize(table.serialize(77), 77);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->count(), table.count());
    for (int e = -1; e < 610; ++e) {
        ASSERT_EQ(loaded->meta(e), table.meta(e)) << "entry " << e;
        ASSERT_EQ(loaded->analyzedMTime(e), table.analyzedMTime(e)) << "entry " << e;
    }

    const std::size_t poolBefore = loaded->snapshot()->pool.size();
    AudioMeta again;
    again.artist = "Artist 3";
    again.album = "Album 4";
    again.genre = "Artist 0";
    again.key = "Cm";
    loaded->upsert({row(1000, again)});
    const auto cols = loaded->snapshot();
    EXPECT_EQ(cols->pool.size(), poolBefore) << "stored artist, album, genre and key are shared";
    EXPECT_EQ(cols->artist.back(), table.snapshot()->artist[3]) << "the first stored copy is reused";
}

// Bit flips, truncations, header and offset edits of valid images, all through the fuzz
// harness's checks: the reader must reject or accept soundly and never read outside the image.
TEST(AudioFile, SurvivesSeededMutations) {
    std::vector<Bytes> seeds = {AudioTable().serialize(1), fromHex(kTwoRowImage)};
    {
        AudioTable table;
        std::vector<AudioTable::Row> rows;
        for (int i = 0; i < 40; ++i)
            rows.push_back(row(i * 2 + 1, song(i % 3 ? "Árvíztűrő" : "Z", "T" + std::to_string(i), 1200)));
        table.upsert(rows);
        seeds.push_back(table.serialize(0xFEEDFACECAFEBEEFULL));
    }
    for (const auto& seed : seeds) ASSERT_EQ(test::audioImageProblem(seed), "") << "seed must load";

    std::mt19937_64 rng(2026);
    auto pick = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(rng() % n); };
    constexpr int kInputs = 100000;
    int accepted = 0;
    for (int i = 0; i < kInputs; ++i) {
        Bytes image = seeds[pick(seeds.size())];
        const std::uint64_t rows = image.size() >= 24 ? (image[16] | (std::uint64_t{image[17]} << 8)) : 0;
        const int edits = 1 + static_cast<int>(pick(3));
        for (int k = 0; k < edits && !image.empty(); ++k) {
            switch (pick(7)) {
                case 0:  // bit flips
                    for (int f = 0, n = 1 + static_cast<int>(pick(4)); f < n; ++f)
                        image[pick(image.size())] ^= static_cast<std::uint8_t>(1u << pick(8));
                    break;
                case 1:  // truncation
                    image.resize(pick(image.size() + 1));
                    break;
                case 2:  // random bytes appended
                    for (std::size_t n = 1 + pick(50); n > 0; --n) image.push_back(static_cast<std::uint8_t>(rng()));
                    break;
                case 3: {  // R or P rewritten, sometimes with the image resized to match
                    if (image.size() < 32) break;
                    const std::uint64_t values[] = {
                        0, 1, rows + 1, rows - 1, ~0ULL, 1ULL << 63, 0x0590000000000000ULL, rng() % 4096};
                    putU64(image, pick(2) ? 16 : 24, values[pick(std::size(values))]);
                    if (pick(2)) {
                        std::uint64_t r = 0, p = 0;
                        for (int b = 0; b < 8; ++b) {
                            r |= std::uint64_t{image[16 + b]} << (8 * b);
                            p |= std::uint64_t{image[24 + b]} << (8 * b);
                        }
                        if (r < 256 && p < 4096) image.resize(32 + 46 * r + p, 0);
                    }
                    break;
                }
                case 4: {  // an offset column entry set to a boundary value
                    if (rows == 0 || image.size() < 32 + 46 * rows) break;
                    const std::size_t slot = 32 + 26 * rows + 4 * pick(5 * rows);
                    const std::size_t pool = image.size() - (32 + 46 * rows);
                    const std::uint64_t values[] = {0,        pool,     pool - 1,       pool - 2,
                                                    pool - 3, pool + 1, pick(pool + 1), 0xFFFFFFFFu};
                    putU32(image, slot, static_cast<std::uint32_t>(values[pick(std::size(values))]));
                    break;
                }
                case 5: {  // an entry edited
                    if (rows == 0 || image.size() < 32 + 4 * rows) break;
                    putU32(image, 32 + 4 * pick(rows), static_cast<std::uint32_t>(pick(100)));
                    break;
                }
                default: {  // pool bytes set to NUL or not
                    if (image.size() <= 33) break;
                    image[32 + pick(image.size() - 32)] = pick(2) ? 0 : static_cast<std::uint8_t>(rng());
                    break;
                }
            }
        }
        const std::string problem = test::audioImageProblem(image);
        ASSERT_EQ(problem, "") << "mutation " << i << ": " << hex(image);
        accepted += AudioTable::deserialize(image, image.size() >= 16 ? [&] {
            std::uint64_t id = 0;
            for (int b = 0; b < 8; ++b) id |= std::uint64_t{image[8 + b]} << (8 * b);
            return id;
        }() : 0) != nullptr;
    }
    // Both outcomes must be exercised, or the mutations test nothing.
    EXPECT_GT(accepted, kInputs / 50);
    EXPECT_LT(accepted, kInputs - kInputs / 50);
}

}  // namespace
}  // namespace quorvanta::core
