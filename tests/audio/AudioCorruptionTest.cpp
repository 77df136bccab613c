// Seeded corruption of builder-made files through the whole parser: no input may crash, hang or
// give a record unfit for the audio table. Set QV_AUDIO_CORPUS_DIR to also write the seeds there
// (the fuzz harnesses' starting corpus).
#include "audio/parser/AudioParser.h"
#include "tests/audio/ContainerBytes.h"
#include "tests/fuzz/AudioInput.h"
#include "tests/support/ByteMutation.h"

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
    out.push_back(
        wavFile({riffChunk("fmt ", fmtBody(0, 2, 48000, 24, 1)), infoList({{"IART", "a"}, {"INAM", "odd"}}),
                 riffChunk("data", Bytes(600, 0)), riffChunk("id3 ", Id3Builder(4).text("TALB", "b").build())}));
    out.push_back(aiffFile(
        "AIFC", {aiffChunk("COMM", commBody(2, 4410, 16, extended80(44100), "sowt")), aiffChunk("NAME", bytesOf("odd")),
                 aiffChunk("ID3 ", Id3Builder(3).text("TPE1", "x").build()), aiffChunk("SSND", Bytes(64, 0))}));
    const Bytes entry = mp4SampleEntry("mp4a", 2, 16, 48000, esds(0x40, 0, ascBytes(5, 6, 2)));
    const Bytes items = mp4Udta({ilstItem("\xA9"
                                          "ART",
                                          1, bytesOf("a")),
                                 ilstItem("tmpo", 21, bytesOf({0, 120})), ilstItem("gnre", 0, bytesOf({0, 3})),
                                 freeformItem("initialkey", bytesOf("Am"))});
    out.push_back(cat({ftyp(), box("mdat", Bytes(300, 0)),
                       box64("moov", cat({mvhd(1000, 2000, 1), mp4Track("soun", entry), items}))}));
    return out;
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
            const Bytes input = quorvanta::test::mutateBytes(seed, rng);
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
