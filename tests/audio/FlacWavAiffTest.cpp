#include "audio/formats/AIFF.h"
#include "audio/formats/FLAC.h"
#include "audio/formats/WAV.h"
#include "audio/parser/AudioParser.h"
#include "tests/audio/ContainerBytes.h"
#include "tests/audio/ToolFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorvanta::audio {
namespace {

using namespace test;
using core::AudioCodec;

std::optional<core::AudioMeta> parseBytes(const Bytes& bytes, std::string_view ext = "") {
    MemFile file(bytes);
    return AudioParser::parse(file.fd(), ext);
}

Bytes flacFile(const std::vector<Bytes>& blocks, std::size_t audioBytes = 1000) {
    Bytes out = bytesOf("fLaC");
    put(out, cat(blocks));
    out.resize(out.size() + audioBytes, 0);
    return out;
}

TEST(FlacBlocks, StreamInfoAndComments) {
    const Bytes info = streamInfo(44100, 2, 16, 441000);
    Bytes id3Front =
        Id3Builder(3).text("TIT2", "ID3 title").text("TPE1", "ID3 artist").text("TALB", "ID3 album").build();
    put(id3Front, flacFile({flacBlock(4, vorbisComment("v", {"TITLE=Vorbis title", "ARTIST=Vorbis artist"}), false),
                            flacBlock(0, info, true)}));
    std::vector<std::string> many;
    for (int i = 0; i < 500; ++i) many.push_back("COMMENT=x");
    many.push_back("TITLE=the 501st");
    Bytes huge = vorbisComment("v", {"TITLE=too big"});
    huge.resize((1 << 20) + 1, 0);

    const struct {
        const char* what;
        Bytes file;
        bool ok;
        std::uint32_t durationMs;
        std::string artist, title, album, genre, key;
        std::uint16_t year, bpm10;
    } cases[] = {
        {"ID3 in front: title replaced, artist kept", id3Front, true, 10000, "ID3 artist", "Vorbis title", "ID3 album",
         "", "", 0, 0},
        {"lower-case names, comment without =",
         flacFile({flacBlock(0, info, false),
                   flacBlock(4,
                             vorbisComment("v", {"artist=a", "Title=t", "album=al", "genre=(17)", "date=1999-01-01",
                                                 "year=2005", "bpm=99,95", "initialkey=Am", "noequals", "key=Bm"}),
                             true)}),
         true, 10000, "a", "t", "al", "(17)", "Bm", 1999, 1000},
        {"ALBUMARTIST first",
         flacFile({flacBlock(4, vorbisComment("v", {"ALBUMARTIST=band", "ARTIST=solo", "TEMPO=120"}), false),
                   flacBlock(0, info, true)}),
         true, 10000, "band", "", "", "", "", 0, 1200},
        {"0 samples", flacFile({flacBlock(0, streamInfo(44100, 2, 16, 0), true)}), true, 0, "", "", "", "", "", 0, 0},
        {"STREAMINFO under 34 bytes", flacFile({flacBlock(0, Bytes(info.begin(), info.begin() + 33), true)}), false, 0,
         "", "", "", "", "", 0, 0},
        {"STREAMINFO cut by the file end", cat({bytesOf("fLaC"), bytesOf({0x80, 0, 0, 34}), Bytes(10, 0)}), false, 0,
         "", "", "", "", "", 0, 0},
        {"no STREAMINFO", flacFile({flacBlock(4, vorbisComment("v", {"TITLE=x"}), true)}), false, 0, "", "", "", "", "",
         0, 0},
        {"501 comments read to the 500th",
         flacFile({flacBlock(0, info, false), flacBlock(4, vorbisComment("v", many), true)}), true, 10000, "", "", "",
         "", "", 0, 0},
        {"VORBIS_COMMENT over 1 MiB skipped", flacFile({flacBlock(0, info, false), flacBlock(4, huge, true)}), true,
         10000, "", "", "", "", "", 0, 0},
    };
    for (const auto& c : cases) {
        const auto m = parseBytes(c.file, "flac");
        ASSERT_EQ(m.has_value(), c.ok) << c.what;
        if (!m) continue;
        EXPECT_EQ(m->codec, AudioCodec::flac) << c.what;
        EXPECT_EQ(m->durationMs, c.durationMs) << c.what;
        EXPECT_EQ(m->artist, c.artist) << c.what;
        EXPECT_EQ(m->title, c.title) << c.what;
        EXPECT_EQ(m->album, c.album) << c.what;
        EXPECT_EQ(m->genre, c.genre) << c.what;
        EXPECT_EQ(m->key, c.key) << c.what;
        EXPECT_EQ(m->year, c.year) << c.what;
        EXPECT_EQ(m->bpm10, c.bpm10) << c.what;
        if (c.durationMs == 0) {
            EXPECT_EQ(m->bitrateKbps, 0) << c.what;
        }
    }
    const auto m = parseBytes(flacFile({flacBlock(0, streamInfo(96000, 6, 24, 960000), true)}, 125000));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->sampleRate, 96000u);
    EXPECT_EQ(m->channels, 6);
    EXPECT_EQ(m->bits, 24);
    EXPECT_EQ(m->durationMs, 10000u);
    EXPECT_EQ(m->bitrateKbps, 100);  // 125000 bytes over 10 s
}

TEST(FlacBlocks, VorbisLengthsNearTheirLimits) {
    core::AudioMeta meta;
    Bytes vendorPastEnd = vorbisComment("v", {"TITLE=x"});
    vendorPastEnd[0] = vendorPastEnd[1] = vendorPastEnd[2] = vendorPastEnd[3] = 0xFF;
    FLAC::vorbisComments(vendorPastEnd, meta);
    Bytes commentPastEnd = vorbisComment("v", {"TITLE=x", "ALBUM=y"});
    commentPastEnd[20] = commentPastEnd[21] = commentPastEnd[22] = commentPastEnd[23] = 0xFF;  // the second length
    FLAC::vorbisComments(commentPastEnd, meta);
    EXPECT_EQ(meta.title, "x");
    EXPECT_EQ(meta.album, "");
    FLAC::vorbisComments(Bytes(7, 0), meta);
}

TEST(WavChunks, Table) {
    const Bytes fmt16 = riffChunk("fmt ", fmtBody(1, 2, 44100, 16));
    const Bytes data1s = riffChunk("data", Bytes(176400, 0));
    Bytes streamed = wavFile({fmt16});
    put(streamed, riffChunk("data", {}, 0xFFFFFFFF));
    streamed.resize(streamed.size() + 88200, 0);
    const struct {
        const char* what;
        Bytes file;
        bool ok;
        AudioCodec codec;
        std::uint32_t durationMs;
        std::uint16_t kbps;
        std::uint8_t bits, channels;
        std::string artist, title, album, genre;
        std::uint16_t year;
    } cases[] = {
        {"PCM 16-bit stereo", wavFile({fmt16, data1s}), true, AudioCodec::pcm, 1000, 1411, 16, 2, "", "", "", "", 0},
        {"data before fmt", wavFile({data1s, fmt16}), false, AudioCodec::pcm, 0, 0, 0, 0, "", "", "", "", 0},
        {"data size 0xFFFFFFFF", streamed, true, AudioCodec::pcm, 500, 1411, 16, 2, "", "", "", "", 0},
        {"odd chunk padding", wavFile({riffChunk("junk", Bytes(3, 1)), fmt16, riffChunk("odd ", Bytes(5, 1)), data1s}),
         true, AudioCodec::pcm, 1000, 1411, 16, 2, "", "", "", "", 0},
        {"extensible PCM",
         wavFile({riffChunk("fmt ", fmtBody(0, 6, 48000, 24, 1)), riffChunk("data", Bytes(864000, 0))}), true,
         AudioCodec::pcm, 1000, 6912, 24, 6, "", "", "", "", 0},
        {"extensible float",
         wavFile({riffChunk("fmt ", fmtBody(0, 2, 48000, 32, 3)), riffChunk("data", Bytes(38400, 0))}), true,
         AudioCodec::pcmFloat, 100, 3072, 32, 2, "", "", "", "", 0},
        {"other format tag", wavFile({riffChunk("fmt ", fmtBody(0x55, 1, 8000, 8)), riffChunk("data", Bytes(800, 0))}),
         true, AudioCodec::other, 100, 64, 8, 1, "", "", "", "", 0},
        {"fmt under 16 bytes", wavFile({riffChunk("fmt ", Bytes(14, 1)), data1s}), false, AudioCodec::pcm, 0, 0, 0, 0,
         "", "", "", "", 0},
        {"LIST/INFO with odd lengths",
         wavFile({fmt16,
                  infoList(
                      {{"IART", "Art"}, {"INAM", "Name"}, {"IPRD", "Product"}, {"IGNR", "Genre"}, {"ICRD", "2004-05"}}),
                  data1s}),
         true, AudioCodec::pcm, 1000, 1411, 16, 2, "Art", "Name", "Product", "Genre", 2004},
        {"id3 chunk",
         wavFile({fmt16, data1s, riffChunk("id3 ", Id3Builder(4).text("TPE1", "Tagged").text("TIT2", "Song").build())}),
         true, AudioCodec::pcm, 1000, 1411, 16, 2, "Tagged", "Song", "", "", 0},
        {"ID3 chunk", wavFile({fmt16, data1s, riffChunk("ID3 ", Id3Builder(3).text("TALB", "LP").build())}), true,
         AudioCodec::pcm, 1000, 1411, 16, 2, "", "", "LP", "", 0},
    };
    for (const auto& c : cases) {
        const auto m = parseBytes(c.file, "wav");
        ASSERT_EQ(m.has_value(), c.ok) << c.what;
        if (!m) continue;
        EXPECT_EQ(m->codec, c.codec) << c.what;
        EXPECT_EQ(m->durationMs, c.durationMs) << c.what;
        EXPECT_EQ(m->bitrateKbps, c.kbps) << c.what;
        EXPECT_EQ(m->bits, c.bits) << c.what;
        EXPECT_EQ(m->channels, c.channels) << c.what;
        EXPECT_EQ(m->artist, c.artist) << c.what;
        EXPECT_EQ(m->title, c.title) << c.what;
        EXPECT_EQ(m->album, c.album) << c.what;
        EXPECT_EQ(m->genre, c.genre) << c.what;
        EXPECT_EQ(m->year, c.year) << c.what;
    }
    core::AudioMeta meta;
    Bytes list = bytesOf("INFO");
    put(list, riffChunk("INAM", bytesOf("ok")));
    put(list, bytesOf("IART"));
    putLE(list, 0xFFFFFFF0, 4);  // runs past the body
    WAV::listInfo(list, meta);
    EXPECT_EQ(meta.title, "ok");
    EXPECT_EQ(meta.artist, "");
}

TEST(AiffChunks, Table) {
    const Bytes rate = extended80(44100);
    const struct {
        const char* what;
        Bytes file;
        bool ok;
        AudioCodec codec;
        std::uint32_t durationMs, sampleRate;
        std::uint16_t kbps;
        std::string artist, title;
    } cases[] = {
        {"AIFF 16-bit stereo",
         aiffFile("AIFF", {aiffChunk("COMM", commBody(2, 44100, 16, rate)), aiffChunk("SSND", Bytes(16, 0))}), true,
         AudioCodec::aiff, 1000, 44100, 1411, "", ""},
        {"AIFC sowt", aiffFile("AIFC", {aiffChunk("COMM", commBody(2, 22050, 16, rate, "sowt"))}), true,
         AudioCodec::aiff, 500, 44100, 1411, "", ""},
        {"AIFC fl32", aiffFile("AIFC", {aiffChunk("COMM", commBody(1, 44100, 32, rate, "fl32"))}), true,
         AudioCodec::pcmFloat, 1000, 44100, 1411, "", ""},
        {"AIFC unknown type", aiffFile("AIFC", {aiffChunk("COMM", commBody(1, 44100, 8, rate, "ima4"))}), true,
         AudioCodec::other, 1000, 44100, 352, "", ""},
        {"NAME, AUTH and odd padding",
         aiffFile("AIFF", {aiffChunk("NAME", bytesOf("Tune")), aiffChunk("AUTH", bytesOf("Who")),
                           aiffChunk("COMM", commBody(2, 4410, 16, rate))}),
         true, AudioCodec::aiff, 100, 44100, 1411, "Who", "Tune"},
        {"ID3 chunk",
         aiffFile("AIFF", {aiffChunk("COMM", commBody(2, 4410, 16, rate)),
                           aiffChunk("ID3 ", Id3Builder(4).text("TPE1", "Tagged").build())}),
         true, AudioCodec::aiff, 100, 44100, 1411, "Tagged", ""},
        {"NAME of 4096 bytes skipped",
         aiffFile("AIFF", {aiffChunk("NAME", Bytes(4096, 'a')), aiffChunk("COMM", commBody(2, 4410, 16, rate))}), true,
         AudioCodec::aiff, 100, 44100, 1411, "", ""},
        {"no COMM", aiffFile("AIFF", {aiffChunk("NAME", bytesOf("Tune"))}), false, AudioCodec::aiff, 0, 0, 0, "", ""},
        {"rate 0", aiffFile("AIFF", {aiffChunk("COMM", commBody(2, 4410, 16, Bytes(10, 0)))}), false, AudioCodec::aiff,
         0, 0, 0, "", ""},
        {"infinite rate",
         aiffFile("AIFF", {aiffChunk("COMM", commBody(2, 4410, 16, bytesOf({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0})))}),
         false, AudioCodec::aiff, 0, 0, 0, "", ""},
        {"rate above 32 bits", aiffFile("AIFF", {aiffChunk("COMM", commBody(2, 4410, 16, extended80(5e9)))}), false,
         AudioCodec::aiff, 0, 0, 0, "", ""},
        {"COMM of 17 bytes skipped", aiffFile("AIFF", {aiffChunk("COMM", Bytes(17, 1))}), false, AudioCodec::aiff, 0, 0,
         0, "", ""},
    };
    for (const auto& c : cases) {
        const auto m = parseBytes(c.file, "aiff");
        ASSERT_EQ(m.has_value(), c.ok) << c.what;
        if (!m) continue;
        EXPECT_EQ(m->codec, c.codec) << c.what;
        EXPECT_EQ(m->durationMs, c.durationMs) << c.what;
        EXPECT_EQ(m->sampleRate, c.sampleRate) << c.what;
        EXPECT_EQ(m->bitrateKbps, c.kbps) << c.what;
        EXPECT_EQ(m->artist, c.artist) << c.what;
        EXPECT_EQ(m->title, c.title) << c.what;
    }
}

TEST(AiffChunks, Extended) {
    EXPECT_EQ(AIFF::extended(extended80(44100), 0), 44100.0);
    EXPECT_EQ(AIFF::extended(extended80(0.5), 0), 0.5);
    EXPECT_EQ(AIFF::extended(Bytes(10, 0), 0), 0.0);
    EXPECT_EQ(AIFF::extended(bytesOf({0x40, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0}), 0), 0.0);            // mantissa 0
    EXPECT_EQ(AIFF::extended(bytesOf({0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}), 0), 44100.0);  // sign ignored
    EXPECT_TRUE(std::isinf(AIFF::extended(bytesOf({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}), 0)));
    // Every 80-bit denormal lies far below the smallest double.
    EXPECT_EQ(AIFF::extended(bytesOf({0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0), 0.0);
    EXPECT_EQ(AIFF::extended(extended80(44100), 1), 0.0);  // 9 bytes left
    // A denormal rate reads as 0 Hz, so the file has no duration and is refused.
    EXPECT_FALSE(parseBytes(
        aiffFile("AIFF", {aiffChunk("COMM", commBody(2, 10, 16, bytesOf({0, 0, 0, 0, 0, 0, 0, 0, 0, 1})))})));
    // The smallest positive rate that is not 0: the duration is clamped, never undefined.
    const auto m = parseBytes(
        aiffFile("AIFF", {aiffChunk("COMM", commBody(2, 10, 16, bytesOf({0x3C, 0x01, 0x80, 0, 0, 0, 0, 0, 0, 0})))}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->sampleRate, 0u);
    EXPECT_EQ(m->durationMs, 4294967295u);
    EXPECT_EQ(m->bitrateKbps, 0);
}

// Files made by ffmpeg and flac from a 3-second sine, checked against ffprobe.
class LosslessTools : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files_ = makeToolFiles("lossless", {"ffmpeg", "ffprobe", "flac"}, [](const FileNamer& d) {
            const std::string ff = ffmpegSine();
            return std::vector<std::string>{
                ff +
                    "-ac 2 -c:a pcm_s16le -metadata artist='Bj\xC3\xB6rk' -metadata title='J\xC3\xB3ga' -metadata "
                    "album=Homogenic " +
                    d("s16.wav"),
                ff + "-af aformat=channel_layouts=5.1 -c:a pcm_s24le " + d("s24x6.wav"),
                ff + "-ac 2 -c:a pcm_f32le " + d("f32.wav"),
                ff + "-ac 2 -c:a pcm_s16le -f wav - > " + d("piped.wav"),
                ff + "-ac 2 -c:a pcm_s16be -metadata title='J\xC3\xB3ga' " + d("s16.aiff"),
                ff + "-ac 2 -c:a pcm_s16le -f aiff " + d("sowt.aifc"),
                ff + "-ac 1 -c:a pcm_f32be -f aiff " + d("fl32.aifc"),
                ff + "-ac 2 -c:a pcm_s16be -write_id3v2 1 -metadata artist='Sigur R\xC3\xB3s' " + d("id3.aiff"),
                ff + "-ac 2 -c:a pcm_s16le " + d("src.wav"),
                "flac --silent -f -T 'artist=Bj\xC3\xB6rk' -T 'title=J\xC3\xB3ga' -T bpm=99,95 -o " + d("tagged.flac") +
                    " " + d("src.wav"),
            };
        });
    }

    static inline ToolFileSet files_;
};

TEST_F(LosslessTools, WavAiffFlacMatchFfprobe) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    const struct {
        const char* file;
        AudioCodec codec;
        int bits;
        std::uint16_t kbps;  // 0: not checked
        std::string artist, title;
        std::uint16_t bpm10;
    } cases[] = {
        {"s16.wav", AudioCodec::pcm, 16, 1411, "Bj\xC3\xB6rk", "J\xC3\xB3ga", 0},
        {"s24x6.wav", AudioCodec::pcm, 24, 6350, "", "", 0},
        {"f32.wav", AudioCodec::pcmFloat, 32, 2822, "", "", 0},
        {"piped.wav", AudioCodec::pcm, 16, 1411, "", "", 0},
        {"s16.aiff", AudioCodec::aiff, 16, 1411, "", "J\xC3\xB3ga", 0},
        {"sowt.aifc", AudioCodec::aiff, 16, 1411, "", "", 0},
        {"fl32.aifc", AudioCodec::pcmFloat, 32, 1411, "", "", 0},
        {"id3.aiff", AudioCodec::aiff, 16, 1411, "Sigur R\xC3\xB3s", "", 0},
        {"tagged.flac", AudioCodec::flac, 16, 0, "Bj\xC3\xB6rk", "J\xC3\xB3ga", 1000},
    };
    for (const auto& c : cases) {
        const auto path = files_ / c.file;
        const auto p = probe(path);
        ASSERT_TRUE(p) << c.file;
        const auto m = AudioParser::parse(path.string(), path.extension().string().substr(1));
        ASSERT_TRUE(m) << c.file;
        EXPECT_EQ(m->codec, c.codec) << c.file;
        EXPECT_EQ(m->sampleRate, p->sampleRate) << c.file;
        EXPECT_EQ(m->channels, p->channels) << c.file;
        EXPECT_EQ(m->bits, c.bits) << c.file;
        if (c.file != std::string("piped.wav")) {
            EXPECT_NEAR(m->durationMs, p->seconds * 1000, 1.0) << c.file;
        } else {
            EXPECT_NEAR(m->durationMs, 3000, 1.0) << c.file;  // ffprobe can't know a piped file's length
        }
        if (c.kbps) {
            EXPECT_EQ(m->bitrateKbps, c.kbps) << c.file;
        }
        EXPECT_EQ(m->artist, c.artist) << c.file;
        EXPECT_EQ(m->title, c.title) << c.file;
        EXPECT_EQ(m->bpm10, c.bpm10) << c.file;
    }
    // A builder tag in front of a FLAC: its texts count, the Vorbis title wins.
    Bytes front = Id3Builder(4).text("TIT2", "Front title").text("TALB", "Front album").build();
    put(front, bytesOf(quorvanta::test::readFile(files_ / "tagged.flac")));
    const auto m = parseBytes(front, "flac");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->codec, AudioCodec::flac);
    EXPECT_EQ(m->title, "J\xC3\xB3ga");
    EXPECT_EQ(m->album, "Front album");
    EXPECT_NEAR(m->durationMs, 3000, 1.0);
}

}  // namespace
}  // namespace quorvanta::audio
