#include "audio/formats/MP4.h"
#include "audio/parser/AudioParser.h"
#include "tests/audio/ContainerBytes.h"
#include "tests/audio/ToolFiles.h"

#include <gtest/gtest.h>

namespace quorvanta::audio {
namespace {

using namespace test;
using core::AudioCodec;

std::optional<core::AudioMeta> parseBytes(const Bytes& bytes) {
    MemFile file(bytes);
    return AudioParser::parse(file.fd(), "m4a");
}

const Bytes kAac = mp4SampleEntry("mp4a", 2, 16, 44100, esds(0x40, 128000, ascBytes(2, 4, 2)));
const std::string kC = "\xA9";  // the © byte of item types

Bytes m4a(const std::vector<Bytes>& moovChildren, bool moovFirst = true, std::size_t mdatBytes = 10000) {
    const Bytes moov = box("moov", cat(moovChildren));
    const Bytes mdat = box("mdat", Bytes(mdatBytes, 0));
    return moovFirst ? cat({ftyp(), moov, mdat}) : cat({ftyp(), mdat, moov});
}

TEST(Mp4Boxes, StreamFacts) {
    const Bytes zeroRate = mp4SampleEntry("mp4a", 2, 16, 44100, esds(0x40, 0, ascBytes(2, 4, 2)));
    const Bytes he = mp4SampleEntry("mp4a", 2, 16, 48000, esds(0x40, 64000, ascBytes(5, 6, 7)));
    const Bytes mp3 = mp4SampleEntry("mp4a", 2, 16, 44100, esds(0x6B, 192000, std::nullopt));
    Bytes alacConfig(4, 0);
    put(alacConfig, bytesOf({0, 0, 0x10, 0, 0, 24, 40, 10, 14, 2, 0, 0xFF, 0, 0, 0, 0}));
    putBE(alacConfig, 2000000, 4);
    putBE(alacConfig, 96000, 4);
    const Bytes alac = mp4SampleEntry("alac", 2, 16, 44100, box("alac", alacConfig));
    // A decoder configuration body of exactly 13 bytes: no byte 13, so no AudioSpecificConfig.
    Bytes shortTag4 = fullBox(
        "esds", 0, bytesOf({3, 21, 0, 1, 0, 4, 13, 0x40, 0x15, 0, 0, 0, 0, 1, 0xF4, 0, 0, 1, 0xF4, 0, 5, 2, 0x12}));
    const Bytes short13 = mp4SampleEntry("mp4a", 2, 16, 32000, shortTag4);

    const struct {
        const char* what;
        Bytes file;
        bool ok;
        AudioCodec codec;
        std::uint32_t durationMs, sampleRate;
        std::uint16_t kbps;
        std::uint8_t bits, channels;
    } cases[] = {
        {"AAC, moov first", m4a({mvhd(1000, 3000), mp4Track("soun", kAac)}), true, AudioCodec::aac, 3000, 44100, 128,
         16, 2},
        {"moov after mdat", m4a({mvhd(1000, 3000), mp4Track("soun", kAac)}, false), true, AudioCodec::aac, 3000, 44100,
         128, 16, 2},
        {"esds bit rate 0: mdat estimate", m4a({mvhd(44100, 44100 * 2), mp4Track("soun", zeroRate)}, true, 32008), true,
         AudioCodec::aac, 2000, 44100, 128, 16, 2},
        {"HE-AAC index 6, channel configuration 7", m4a({mvhd(1000, 3000), mp4Track("soun", he)}), true,
         AudioCodec::aac, 3000, 24000, 64, 16, 8},
        {"MPEG audio in esds", m4a({mvhd(1000, 3000), mp4Track("soun", mp3)}), true, AudioCodec::mp3, 3000, 44100, 192,
         16, 2},
        {"ALAC", m4a({mvhd(1000, 3000), mp4Track("soun", alac)}), true, AudioCodec::alac, 3000, 96000, 2000, 24, 2},
        {"13-byte tag-4 body", m4a({mvhd(1000, 3000), mp4Track("soun", short13)}), true, AudioCodec::aac, 3000, 32000,
         128, 16, 2},
        {"mvhd version 1", m4a({mvhd(48000, 48000ull * 5000, 1), mp4Track("soun", kAac)}), true, AudioCodec::aac,
         5000000, 44100, 128, 16, 2},
        {"video only", m4a({mvhd(1000, 3000), mp4Track("vide", kAac)}), false, AudioCodec::unknown, 0, 0, 0, 0, 0},
        {"no mvhd", m4a({mp4Track("soun", kAac)}), false, AudioCodec::unknown, 0, 0, 0, 0, 0},
        {"no moov", cat({ftyp(), box("mdat", Bytes(100, 0))}), false, AudioCodec::unknown, 0, 0, 0, 0, 0},
        {"other format", m4a({mvhd(1000, 3000), mp4Track("soun", mp4SampleEntry("Opus", 2, 16, 48000, {}))}), true,
         AudioCodec::other, 3000, 48000, 0, 16, 2},
    };
    for (const auto& c : cases) {
        const auto m = parseBytes(c.file);
        ASSERT_EQ(m.has_value(), c.ok) << c.what;
        if (!m) continue;
        EXPECT_EQ(m->codec, c.codec) << c.what;
        EXPECT_EQ(m->durationMs, c.durationMs) << c.what;
        EXPECT_EQ(m->sampleRate, c.sampleRate) << c.what;
        if (c.kbps) {
            EXPECT_EQ(m->bitrateKbps, c.kbps) << c.what;
        }
        EXPECT_EQ(m->bits, c.bits) << c.what;
        EXPECT_EQ(m->channels, c.channels) << c.what;
    }
}

TEST(Mp4Boxes, ItemList) {
    const Bytes be128 = bytesOf({0, 128});
    const struct {
        const char* what;
        Bytes udta;
        std::string artist, title, album, genre, key;
        std::uint16_t year, bpm10;
    } cases[] = {
        {"texts",
         mp4Udta({ilstItem(kC + "nam", 1, bytesOf("T\xC3\xADtulo")), ilstItem(kC + "alb", 1, bytesOf("Album")),
                  ilstItem(kC + "gen", 1, bytesOf("(17)")), ilstItem(kC + "day", 1, bytesOf("2019-05-01T00:00:00Z"))}),
         "", "T\xC3\xADtulo", "Album", "(17)", "", 2019, 0},
        {"tmpo 128 of type 21", mp4Udta({ilstItem("tmpo", 21, be128)}), "", "", "", "", "", 0, 1280},
        {"tmpo of type 1 ignored", mp4Udta({ilstItem("tmpo", 1, be128)}), "", "", "", "", "", 0, 0},
        {"tmpo of one byte ignored", mp4Udta({ilstItem("tmpo", 21, bytesOf({128}))}), "", "", "", "", "", 0, 0},
        {"gnre 1", mp4Udta({ilstItem("gnre", 0, bytesOf({0, 1}))}), "", "", "", "Blues", "", 0, 0},
        {"gnre 0 and 81 leave the genre",
         mp4Udta({ilstItem(kC + "gen", 1, bytesOf("Mine")), ilstItem("gnre", 0, bytesOf({0, 0})),
                  ilstItem("gnre", 0, bytesOf({0, 81}))}),
         "", "", "", "Mine", "", 0, 0},
        {"---- Initial Key", mp4Udta({freeformItem("Initial Key", bytesOf("F#m"))}), "", "", "", "", "F#m", 0, 0},
        {"---- BPM only while unset", mp4Udta({ilstItem("tmpo", 21, be128), freeformItem("BPM", bytesOf("90"))}), "",
         "", "", "", "", 0, 1280},
        {"---- bpm", mp4Udta({freeformItem("bpm", bytesOf("99,95"))}), "", "", "", "", "", 0, 1000},
        {"aART then ©ART", mp4Udta({ilstItem("aART", 1, bytesOf("Band")), ilstItem(kC + "ART", 1, bytesOf("Solo"))}),
         "Solo", "", "", "", "", 0, 0},
        {"©ART then aART", mp4Udta({ilstItem(kC + "ART", 1, bytesOf("Solo")), ilstItem("aART", 1, bytesOf("Band"))}),
         "Solo", "", "", "", "", 0, 0},
        {"item without data", mp4Udta({box(kC + "nam", box("name", bytesOf("x")))}), "", "", "", "", "", 0, 0},
    };
    for (const auto& c : cases) {
        const auto m = parseBytes(m4a({mvhd(1000, 3000), mp4Track("soun", kAac), c.udta}));
        ASSERT_TRUE(m) << c.what;
        EXPECT_EQ(m->artist, c.artist) << c.what;
        EXPECT_EQ(m->title, c.title) << c.what;
        EXPECT_EQ(m->album, c.album) << c.what;
        EXPECT_EQ(m->genre, c.genre) << c.what;
        EXPECT_EQ(m->key, c.key) << c.what;
        EXPECT_EQ(m->year, c.year) << c.what;
        EXPECT_EQ(m->bpm10, c.bpm10) << c.what;
    }
}

TEST(Mp4Boxes, BoxSizes) {
    // A 64-bit size, a size-0 last box, and sizes that would wrap or overrun.
    const Bytes payload = bytesOf("abcdefgh");
    const Bytes b = cat({box("free", payload), box64("skip", payload), box("last", {})});
    Bytes sizeZeroLast = b;
    sizeZeroLast[sizeZeroLast.size() - 8 + 3] = 0;  // "last" now runs to the end
    put(sizeZeroLast, payload);
    auto types = [](const std::vector<MP4::Atom>& list) {
        std::string out;
        for (const auto& a : list) out += a.type + "@" + std::to_string(a.start) + "-" + std::to_string(a.end) + " ";
        return out;
    };
    EXPECT_EQ(types(MP4::atoms(b, 0, b.size())), "free@8-16 skip@32-40 last@48-48 ");
    EXPECT_EQ(types(MP4::atoms(sizeZeroLast, 0, sizeZeroLast.size())), "free@8-16 skip@32-40 last@48-56 ");
    Bytes wraps = box64("huge", payload);
    for (int i = 8; i < 16; ++i) wraps[i] = 0xFF;  // 2^64 - 1
    EXPECT_EQ(types(MP4::atoms(wraps, 0, wraps.size())), "");
    Bytes small64 = box64("tiny", payload);
    small64[15] = 15;
    EXPECT_EQ(types(MP4::atoms(small64, 0, small64.size())), "");
    Bytes reserved = box("bad ", payload);
    reserved[3] = 7;
    EXPECT_EQ(types(MP4::atoms(reserved, 0, reserved.size())), "");
    EXPECT_EQ(types(MP4::atoms(b, 0, 1000)), types(MP4::atoms(b, 0, b.size())));  // bytes beyond the array

    // The same at the top level: a 64-bit moov, and an mdat whose size wraps.
    Bytes moov64 =
        cat({ftyp(), box64("moov", cat({mvhd(1000, 3000), mp4Track("soun", kAac)})), box("mdat", Bytes(100, 0))});
    ASSERT_TRUE(parseBytes(moov64));
    Bytes wrapTop =
        cat({ftyp(), box("moov", cat({mvhd(1000, 3000), mp4Track("soun", kAac)})), box64("mdat", Bytes(100, 0))});
    for (std::size_t i = wrapTop.size() - 108; i < wrapTop.size() - 100; ++i) wrapTop[i] = 0xFF;
    const auto m = parseBytes(wrapTop);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->bitrateKbps, 128);
    // A size-0 mdat at the end runs to the end of the file.
    Bytes zeroMdat = m4a(
        {mvhd(1000, 3000), mp4Track("soun", mp4SampleEntry("mp4a", 2, 16, 44100, esds(0x40, 0, ascBytes(2, 4, 2))))},
        true, 12000);
    for (std::size_t i = zeroMdat.size() - 12008; i < zeroMdat.size() - 12004; ++i) zeroMdat[i] = 0;
    const auto z = parseBytes(zeroMdat);
    ASSERT_TRUE(z);
    EXPECT_EQ(z->bitrateKbps, 32);  // 12000 bytes over 3 s
}

// Files made by ffmpeg from a 3-second sine, checked against ffprobe.
class Mp4Tools : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files_ = makeToolFiles("mp4", {"ffmpeg", "ffprobe"}, [](const FileNamer& d) {
            const std::string ff = ffmpegSine() + "-ac 2 ";
            return std::vector<std::string>{
                ff +
                    "-c:a aac -b:a 128k -metadata artist='Bj\xC3\xB6rk' -metadata title='J\xC3\xB3ga' -metadata "
                    "tmpo=128 " +
                    d("aac.m4a"),
                ff + "-c:a aac -b:a 96k -movflags +faststart " + d("faststart.m4a"),
                ff + "-c:a alac " + d("alac.m4a"),
            };
        });
    }

    static inline ToolFileSet files_;
};

TEST_F(Mp4Tools, MatchFfprobe) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    const struct {
        const char* file;
        AudioCodec codec;
        int bits;
        std::string artist, title;
        std::uint16_t bpm10;
    } cases[] = {
        {"aac.m4a", AudioCodec::aac, 16, "Bj\xC3\xB6rk", "J\xC3\xB3ga", 1280},
        {"faststart.m4a", AudioCodec::aac, 16, "", "", 0},
        {"alac.m4a", AudioCodec::alac, 16, "", "", 0},
    };
    for (const auto& c : cases) {
        const auto path = files_ / c.file;
        const auto p = probe(path);
        ASSERT_TRUE(p) << c.file;
        const auto m = AudioParser::parse(path.string(), "m4a");
        ASSERT_TRUE(m) << c.file;
        EXPECT_EQ(m->codec, c.codec) << c.file;
        EXPECT_EQ(m->sampleRate, p->sampleRate) << c.file;
        EXPECT_EQ(m->channels, p->channels) << c.file;
        EXPECT_EQ(m->bits, c.bits) << c.file;
        EXPECT_NEAR(m->durationMs, p->seconds * 1000, p->seconds * 10) << c.file;
        EXPECT_GT(m->bitrateKbps, 0) << c.file;
        EXPECT_EQ(m->artist, c.artist) << c.file;
        EXPECT_EQ(m->title, c.title) << c.file;
        EXPECT_EQ(m->bpm10, c.bpm10) << c.file;
    }
}

}  // namespace
}  // namespace quorvanta::audio
