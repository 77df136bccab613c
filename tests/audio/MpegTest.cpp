#include "audio/formats/MP3.h"
#include "audio/parser/AudioParser.h"
#include "tests/audio/AudioBytes.h"
#include "tests/audio/ToolFiles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvanta::audio {
namespace {

using namespace test;

std::optional<core::AudioMeta> parseBytes(const Bytes& bytes, std::string_view ext = "mp3") {
    MemFile file(bytes);
    return AudioParser::parse(file.fd(), ext);
}

TEST(MpegHeader, VersionsLayersAndLengths) {
    const struct {
        MpegHeader h;
        int version, layer;
        std::uint32_t bitrate, rate, length, samples;
        std::uint8_t channels;
    } cases[] = {
        {{0, 3, 9, 0, false, false}, 0, 3, 128000, 44100, 417, 1152, 2},
        {{0, 3, 9, 0, true, false}, 0, 3, 128000, 44100, 418, 1152, 2},
        {{0, 2, 10, 1, false, true}, 0, 2, 192000, 48000, 576, 1152, 1},
        {{0, 1, 4, 2, true, false}, 0, 1, 128000, 32000, 196, 384, 2},
        {{1, 3, 8, 0, false, true}, 1, 3, 64000, 22050, 208, 576, 1},
        {{1, 2, 8, 1, false, false}, 1, 2, 64000, 24000, 384, 1152, 2},
        {{1, 1, 7, 2, false, false}, 1, 1, 112000, 16000, 336, 384, 2},
        {{2, 3, 4, 2, false, false}, 2, 3, 32000, 8000, 288, 576, 2},
        {{2, 2, 1, 0, true, false}, 2, 2, 8000, 11025, 105, 1152, 2},
        {{2, 1, 14, 1, false, false}, 2, 1, 256000, 12000, 1024, 384, 2},
    };
    for (const auto& c : cases) {
        const auto f = MP3::header(mpegHeaderBytes(c.h), 0);
        ASSERT_TRUE(f) << c.version << "/" << c.layer;
        EXPECT_EQ(f->version, c.version);
        EXPECT_EQ(f->layer, c.layer);
        EXPECT_EQ(f->bitrate, c.bitrate);
        EXPECT_EQ(f->sampleRate, c.rate);
        EXPECT_EQ(f->length, c.length) << c.version << "/" << c.layer;
        EXPECT_EQ(f->samples, c.samples);
        EXPECT_EQ(f->channels, c.channels);
        EXPECT_EQ(f->padding, c.h.padding ? 1 : 0);
    }
}

TEST(MpegHeader, InvalidFields) {
    const Bytes good = mpegHeaderBytes(MpegHeader{});
    ASSERT_TRUE(MP3::header(good, 0));
    auto with = [&](int index, std::uint8_t value) {
        Bytes b = good;
        b[index] = value;
        return b;
    };
    const struct {
        const char* what;
        Bytes b;
        std::uint64_t at;
    } cases[] = {
        {"first byte", with(0, 0xFE), 0},
        {"sync bits", with(1, 0xDB), 0},
        {"version 1 is reserved", with(1, 0xEB), 0},
        {"layer 0 is reserved", with(1, 0xF9), 0},
        {"free-format bit rate", with(2, 0x00), 0},
        {"bit-rate index 15", with(2, 0xF0), 0},
        {"sample-rate index 3", with(2, 0x9C), 0},
        {"3 bytes", Bytes(good.begin(), good.begin() + 3), 0},
        {"offset past the end", good, 1},
        {"huge offset", good, ~std::uint64_t{0}},
    };
    for (const auto& c : cases) EXPECT_FALSE(MP3::header(c.b, c.at)) << c.what;
}

TEST(MpegStream, HandBuiltEdgeCases) {
    const MpegHeader cbr{};
    const MpegHeader mono2{1, 3, 8, 0, false, true};
    Bytes xing = mpegVbrFrame(cbr, "Xing", 1000, 0);
    put(xing, mpegFrames(cbr, 30));
    Bytes info = mpegVbrFrame(cbr, "Info", 1000, 417 * 1000);
    put(info, mpegFrames(cbr, 30));
    Bytes monoXing = mpegVbrFrame(mono2, "Xing", 500, 0);
    put(monoXing, mpegFrames(mono2, 30));
    Bytes vbri = mpegVbrFrame(cbr, "VBRI", 2000, 500000);
    put(vbri, mpegFrames(cbr, 30));
    // A first 0xFF that starts a header whose successor has another sample rate.
    Bytes mismatch = mpegFrame(MpegHeader{0, 3, 9, 1, false, false});
    put(mismatch, mpegFrames(cbr, 20));
    // A valid header with nothing behind it inside the window is accepted as it stands.
    Bytes pastWindow(16384 - 100, 0);
    put(pastWindow, mpegHeaderBytes(cbr));
    pastWindow.resize(20000, 0);
    const Bytes layer1 = mpegFrames(MpegHeader{0, 1, 4, 0, false, false}, 40);
    Bytes mixed = mpegFrames(cbr, 10);
    put(mixed, mpegFrames(MpegHeader{0, 3, 11, 0, false, false}, 10));
    Bytes v1Genre255 = Id3Builder(3).text("TCON", "Jazz").build();
    put(v1Genre255, mpegFrames(cbr, 10));
    put(v1Genre255, id3v1("V1 title", "V1 artist", "V1 album", "1984", 255));
    Bytes v1Only = mpegFrames(cbr, 10);
    put(v1Only, id3v1("V1 title", "V1 artist", "V1 album", "1984", 8));
    Bytes v2Wins = Id3Builder(4).text("TIT2", "V2 title").build();
    put(v2Wins, mpegFrames(cbr, 10));
    put(v2Wins, id3v1("V1 title", "V1 artist", "", "1984", 8));

    const struct {
        const char* what;
        Bytes bytes;
        bool ok;
        std::uint32_t durationMs, sampleRate;
        std::uint16_t bitrate;
        bool vbr;
        std::uint8_t channels;
    } cases[] = {
        {"Xing with 1000 frames", xing, true, 26122, 44100, 0, true, 2},
        {"Info is not VBR", info, true, 26122, 44100, 128, false, 2},
        {"mono MPEG-2 Xing at +9", monoXing, true, 13061, 22050, 0, true, 1},
        {"VBRI", vbri, true, 52244, 44100, 77, true, 2},
        {"CBR walk", mpegFrames(cbr, 30), true, 781, 44100, 128, false, 2},
        {"mismatched successor", mismatch, true, 0, 44100, 128, false, 2},
        {"frame past the window", pastWindow, true, 0, 44100, 128, false, 2},
        {"layer I", layer1, true, 0, 44100, 128, false, 2},
        {"differing frames are VBR", mixed, true, 0, 44100, 160, true, 2},
        {"no frames", Bytes(4096, 0), false, 0, 0, 0, false, 0},
        {"ID3 tag without frames", Id3Builder(4).text("TIT2", "t").padding(100).build(), false, 0, 0, 0, false, 0},
    };
    for (const auto& c : cases) {
        const auto m = parseBytes(c.bytes);
        ASSERT_EQ(m.has_value(), c.ok) << c.what;
        if (!m) continue;
        EXPECT_EQ(m->codec, core::AudioCodec::mp3) << c.what;
        if (c.durationMs) {
            EXPECT_EQ(m->durationMs, c.durationMs) << c.what;
        }
        EXPECT_GT(m->durationMs, 0u) << c.what;
        EXPECT_EQ(m->sampleRate, c.sampleRate) << c.what;
        if (c.bitrate) {
            EXPECT_EQ(m->bitrateKbps, c.bitrate) << c.what;
        }
        EXPECT_EQ(m->vbr, c.vbr) << c.what;
        EXPECT_EQ(m->channels, c.channels) << c.what;
        EXPECT_EQ(m->bits, 0) << c.what;
    }
    // CBR without a header: duration = audio bytes × 8 / 128000 × 1000.
    EXPECT_EQ(parseBytes(mpegFrames(cbr, 30))->durationMs, static_cast<std::uint32_t>(30 * 417 * 8 / 128.0));
    EXPECT_EQ(parseBytes(mismatch)->durationMs, static_cast<std::uint32_t>(20 * 417 * 8 / 128.0));

    const auto g255 = parseBytes(v1Genre255);
    ASSERT_TRUE(g255);
    EXPECT_EQ(g255->genre, "Jazz");
    EXPECT_EQ(g255->title, "V1 title");  // no v2 title or artist, so the trailer's texts count
    const auto v1 = parseBytes(v1Only);
    ASSERT_TRUE(v1);
    EXPECT_EQ(v1->title, "V1 title");
    EXPECT_EQ(v1->artist, "V1 artist");
    EXPECT_EQ(v1->album, "V1 album");
    EXPECT_EQ(v1->year, 1984);
    EXPECT_EQ(v1->genre, "Jazz");
    EXPECT_EQ(v1->durationMs, static_cast<std::uint32_t>(10 * 417 * 8 / 128.0));  // trailer not counted
    const auto v2 = parseBytes(v2Wins);
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->title, "V2 title");
    EXPECT_EQ(v2->artist, "");
    EXPECT_EQ(v2->year, 0);
}

TEST(MpegStream, HostileCounts) {
    // Frame and byte counts at their limits: clamped, never undefined.
    Bytes huge = mpegVbrFrame(MpegHeader{}, "Xing", 0xFFFFFFFF, 1);
    put(huge, mpegFrames(MpegHeader{}, 2));
    const auto m = parseBytes(huge);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->durationMs, 4294967295u);
    EXPECT_EQ(m->bitrateKbps, 0);
    Bytes tiny = mpegVbrFrame(MpegHeader{2, 3, 1, 2, false, false}, "Xing", 1, 0xFFFFFFFF);
    const auto t = parseBytes(tiny);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->bitrateKbps, 65535);
}

// Files made by lame and ffmpeg from a 3-second stereo sine, checked against ffprobe.
class MpegTools : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files_ = makeToolFiles("mpeg", {"sox", "lame", "ffmpeg", "ffprobe", "id3v2"}, [](const FileNamer& d) {
            const std::string src = d("src.wav");
            const std::string ff = "ffmpeg -nostdin -y -v error -i " + src + " ";
            const std::string artist = "Sigur R\xC3\xB3s", title = "\xC3\x81g\xC3\xA6tis byrjun \xE2\x99\xAA";
            return std::vector<std::string>{
                "sox -D -n -r 44100 -c 2 -b 16 " + src + " synth 3 sine 440",
                "lame --quiet -t -b 128 " + src + " " + d("cbr.mp3"),
                "lame --quiet -b 128 " + src + " " + d("info.mp3"),
                "lame --quiet -V 2 " + src + " " + d("xing.mp3"),
                "lame --quiet --resample 22.05 " + src + " " + d("mpeg2.mp3"),
                "lame --quiet --resample 8 " + src + " " + d("mpeg25.mp3"),
                ff + "-c:a mp2 " + d("layer2.mp2"),
                ff + "-c:a libmp3lame -q:a 2 -write_xing 0 " + d("walk.mp3"),
                ff + "-c:a libmp3lame -b:a 128k -metadata artist='" + artist + "' -metadata title='" + title + "' " +
                    d("v24.mp3"),
                ff + "-c:a libmp3lame -b:a 128k -id3v2_version 3 -metadata artist='" + artist + "' -metadata title='" +
                    title + "' " + d("v23.mp3"),
                "cp " + d("info.mp3") + " " + d("id3v2tool.mp3") +
                    " && id3v2 -a 'Bj\xC3\xB6rk' -t 'J\xC3\xB3ga' -y 1997 " + d("id3v2tool.mp3"),
                "lame --quiet -b 128 --id3v1-only --ta 'Bj\xC3\xB6rk' --tt 'J\xC3\xB3ga' --ty 1997 " + src + " " +
                    d("v1only.mp3"),
            };
        });
    }

    static inline ToolFileSet files_;
};

TEST_F(MpegTools, StreamFactsMatchFfprobe) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    const struct {
        const char* file;
        bool vbr;
        int cbrKbps;            // 0: not a constant bit rate
        bool exactFromPackets;  // compare with packets × samples / rate, not ffprobe's estimate
    } cases[] = {
        {"cbr.mp3", false, 128, false}, {"info.mp3", false, 128, false}, {"xing.mp3", true, 0, false},
        {"mpeg2.mp3", false, 0, false}, {"mpeg25.mp3", false, 0, false}, {"layer2.mp2", false, 0, false},
        {"walk.mp3", true, 0, true},
    };
    for (const auto& c : cases) {
        const auto path = files_ / c.file;
        const auto p = probe(path);
        ASSERT_TRUE(p) << c.file;
        const auto m = AudioParser::parse(path.string(), path.extension().string().substr(1));
        ASSERT_TRUE(m) << c.file;
        EXPECT_EQ(m->sampleRate, p->sampleRate) << c.file;
        EXPECT_EQ(m->channels, p->channels) << c.file;
        EXPECT_EQ(m->vbr, c.vbr) << c.file;
        EXPECT_EQ(m->codec, core::AudioCodec::mp3) << c.file;
        double want = p->seconds * 1000;
        double tolerance = 0.01;
        if (c.exactFromPackets) {
            want = static_cast<double>(p->packets) * 1152 / p->sampleRate * 1000;
            tolerance = 0.02;
        }
        EXPECT_NEAR(m->durationMs, want, want * tolerance) << c.file;
        if (c.cbrKbps) {
            EXPECT_NEAR(m->bitrateKbps, c.cbrKbps, 1) << c.file;
        }
    }
    EXPECT_EQ(AudioParser::parse((files_ / "mpeg2.mp3").string(), "mp3")->sampleRate, 22050u);
    EXPECT_EQ(AudioParser::parse((files_ / "mpeg25.mp3").string(), "mp3")->sampleRate, 8000u);
}

TEST_F(MpegTools, TagsMatchWhatWasWritten) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    const struct {
        const char* file;
        std::string artist, title;
        std::uint16_t year;
    } cases[] = {
        {"v24.mp3", "Sigur R\xC3\xB3s", "\xC3\x81g\xC3\xA6tis byrjun \xE2\x99\xAA", 0},
        {"v23.mp3", "Sigur R\xC3\xB3s", "\xC3\x81g\xC3\xA6tis byrjun \xE2\x99\xAA", 0},
        {"id3v2tool.mp3", "Bj\xC3\xB6rk", "J\xC3\xB3ga", 1997},
        {"v1only.mp3", "Bj\xC3\xB6rk", "J\xC3\xB3ga", 1997},
    };
    for (const auto& c : cases) {
        const auto m = AudioParser::parse((files_ / c.file).string(), "mp3");
        ASSERT_TRUE(m) << c.file;
        EXPECT_EQ(m->artist, c.artist) << c.file;
        EXPECT_EQ(m->title, c.title) << c.file;
        EXPECT_EQ(m->year, c.year) << c.file;
    }
}

}  // namespace
}  // namespace quorvanta::audio
