// Seeded corruption of ffmpeg-made videos through the video probe: no input may crash it, make it
// read past the deadline or give facts out of range. Set QV_VIDEO_CORPUS_DIR to also write the
// seeds there (the starting corpus of tests/fuzz/fuzz_video_probe).
#include "tests/audio/ToolFiles.h"
#include "tests/fuzz/VideoProbeInput.h"
#include "tests/support/ByteMutation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace quorvanta::app {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(FileMetaVideoCorruption, SeededMutationsStaySafe) {
    const std::vector<const char*> names = {"video.mp4", "cover.mp4", "video.mkv", "video.ts"};
    const std::string ffmpeg = "ffmpeg -nostdin -y -v error ";
    const std::string picture = "-f lavfi -i testsrc=size=32x24:rate=5:duration=1 ";
    const auto files =
        audio::test::makeToolFiles("filemeta-corruption", {"ffmpeg"}, [&](const audio::test::FileNamer& file) {
            return std::vector<std::string>{
                ffmpeg + picture + "-c:v mpeg4 " + file("video.mp4"),
                ffmpeg + "-f lavfi -i color=c=red:size=16x16 -frames:v 1 " + file("cover.png"),
                audio::test::ffmpegSine(1) + "-i " + file("cover.png") +
                    " -map 0:a -map 1:v -c:a aac -c:v png -disposition:v:0 attached_pic " + file("cover.mp4"),
                ffmpeg + picture + "-f lavfi -i sine=duration=1 -c:v mpeg4 -c:a aac " + file("video.mkv"),
                ffmpeg + picture + "-c:v mpeg2video " + file("video.ts"),
            };
        });
    AUDIO_REQUIRE_TOOL_FILES(files);
    std::vector<Bytes> seeds;
    for (const char* name : names) seeds.push_back(readBytes(files / name));
    if (const char* dir = std::getenv("QV_VIDEO_CORPUS_DIR")) {
        std::filesystem::create_directories(dir);
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream(std::filesystem::path(dir) / names[i], std::ios::binary)
                .write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
        }
    }
    std::mt19937 rng(20261211);
    std::size_t withFacts = 0, without = 0;
    for (std::size_t s = 0; s < seeds.size(); ++s) {
        const Bytes& seed = seeds[s];
        ASSERT_TRUE(test::probeVideoBytes(seed.data(), seed.size()).duration) << names[s] << " must give a duration";
        for (int i = 0; i < 250; ++i) {
            const Bytes input = test::mutateBytes(seed, rng);
            const filemeta::Facts facts = test::probeVideoBytes(input.data(), input.size());
            ASSERT_EQ(test::videoFactsProblem(facts, input.size()), "") << names[s] << ", mutation " << i;
            ++(facts == filemeta::Facts{} ? without : withFacts);
        }
    }
    EXPECT_GT(withFacts, 0u);
    EXPECT_GT(without, 0u);
}

}  // namespace
}  // namespace quorvanta::app
