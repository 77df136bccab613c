// Seeded corruption of builder-made files through the whole parser: no input may crash, hang or
// give a record unfit for the audio table. Set QV_AUDIO_CORPUS_DIR to also write the seeds there
// (the fuzz harnesses' starting corpus).
#include "audio/parser/AudioParser.h"
#include "tests/audio/ContainerBytes.h"
#include "tests/fuzz/AudioInput.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace quorvanta::audio {
namespace {

using namespace test;

std::vector<Bytes> seeds() {
    std::vector<Bytes> out;
    const MpegHeader cbr{};
    Bytes tagged = Id3Builder(3).text("TPE1", "Artist", 1).text("TIT2", "Title", 0).text("TBPM", "128").build();
    put(tagged, mpegVbrFrame(cbr, "Xing", 100, 40000));
    put(tagged, mpegFrames(cbr, 6));
    put(tagged, id3v1("t", "a", "b", "1999", 3));
    out.push_back(tagged);
    Bytes v4 = Id3Builder(4).extendedHeader(2).footer().text("TCON", "(4)").text("TKEY", "Am", 2).build();
    put(v4, mpegVbrFrame(MpegHeader{1, 3, 8, 0, false, true}, "VBRI", 50, 9000));
    put(v4, mpegFrames(MpegHeader{1, 3, 8, 0, false, true}, 4));
    out.push_back(v4);
    Bytes v2 = Id3Builder(2).text("TT2", "x").text("TYE", "2001").build();
    put(v2, mpegFrames(MpegHeader{0, 2, 10, 1, true, false}, 4));
    out.push_back(v2);
    out.push_back(mpegFrames(MpegHeader{2, 1, 3, 2, false, false}, 8));

    Bytes flac = Id3Builder(3).text("TIT2", "front").build();
    put(flac, bytesOf("fLaC"));
    put(flac, flacBlock(4, vorbisComment("vendor", {"TITLE=t", "artist=a", "DATE=2001", "BPM=99,5", "KEY=Am"}), false));
    put(flac, flacBlock(0, streamInfo(44100, 2, 16, 44100), true));
    flac.resize(flac.size() + 400, 0);
    out.push_back(flac);
    out.push_back(wavFile({riffChunk("fmt ", fmtBody(0, 2, 48000, 24, 1)), infoList({{"IART", "a"}, {"INAM", "odd"}}),
                           riffChunk("data", Bytes(600, 0)), riffChunk("id3 ", Id3Builder(4).text("TALB", "b").build())}));
    out.push_back(aiffFile("AIFC", {aiffChunk("COMM", commBody(2, 4410, 16, extended80(44100), "sowt")),
                                    aiffChunk("NAME", bytesOf("odd")), aiffChunk("ID3 ", Id3Builder(3).text("TPE1", "x").build()),
                                    aiffChunk("SSND", Bytes(64, 0))}));
    const Bytes entry = mp4SampleEntry("mp4a", 2, 16, 48000, esds(0x40, 0, ascBytes(5, 6, 2)));
    const Bytes items = mp4Udta({ilstItem("\xA9" "ART", 1, bytesOf("a")), ilstItem("tmpo", 21, bytesOf({0, 120})),
                                 ilstItem("gnre", 0, bytesOf({0, 3})), freeformItem("initialkey", bytesOf("Am"))});
    out.push_back(cat({ftyp(), box("mdat", Bytes(300, 0)), box64("moov", cat({mvhd(1000, 2000, 1), mp4Track("soun", entry), items}))}));
    return out;
}

Bytes mutate(const Bytes& seed, std::mt19937& rng) {
    Bytes b = seed;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        const std::size_t at = rng() % b.size();
        switch (rng() % 6) {
        case 0: b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
        case 1: {
            static const std::uint8_t kEdges[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
            b[at] = kEdges[rng() % 6];
            break;
        }
        case 2: b.resize(at); break;
        case 3: b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), rng() % 16, static_cast<std::uint8_t>(rng())); break;
        case 4: {  // a 32-bit field set to an extreme
            const std::uint32_t v = rng() % 2 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(rng() % 64);
            for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
            break;
        }
        default: {  // a range repeated
            const std::size_t len = std::min<std::size_t>(b.size() - at, 1 + rng() % 64);
            const Bytes piece(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + len));
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(rng() % b.size()), piece.begin(), piece.end());
        }
        }
    }
    return b;
}

TEST(AudioParserCorruption, SeededMutationsStaySafe) {
    const auto all = seeds();
    if (const char* dir = std::getenv("QV_AUDIO_CORPUS_DIR")) {
        std::filesystem::create_directories(dir);
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::ofstream(std::filesystem::path(dir) / ("seed-" + std::to_string(i)), std::ios::binary)
                .write(reinterpret_cast<const char*>(all[i].data()), static_cast<std::streamsize>(all[i].size()));
        }
    }
    std::mt19937 rng(20261210);
    static const char* const kExts[] = {"mp3", "flac", "txt"};
    std::size_t parsed = 0, refused = 0;
    for (const Bytes& seed : all) {
        ASSERT_TRUE(AudioParser::parse(MemFile(seed).fd(), "mp3")) << "seed " << &seed - all.data() << " must parse";
        for (int i = 0; i < 1000; ++i) {
            const Bytes input = mutate(seed, rng);
            MemFile file(input);
            const auto meta = AudioParser::parse(file.fd(), kExts[i % 3]);
            if (!meta) {
                ++refused;
                continue;
            }
            ++parsed;
            const std::string problem = quorvanta::test::audioMetaProblem(*meta);
            ASSERT_EQ(problem, "") << "mutation " << i;
        }
    }
    EXPECT_GT(parsed, 0u);
    EXPECT_GT(refused, 0u);
}

}  // namespace
}  // namespace quorvanta::audio
