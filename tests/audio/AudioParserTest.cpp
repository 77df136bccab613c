#include "audio/parser/AudioParser.h"
#include "audio/parser/Reader.h"
#include "tests/audio/AudioBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cmath>
#include <filesystem>

namespace quorvanta::audio {
namespace {

using namespace test;
using AudioParser::Container;
using namespace std::literals;

std::optional<core::AudioMeta> parseBytes(const Bytes& bytes, std::string_view ext) {
    MemFile file(bytes);
    return AudioParser::parse(file.fd(), ext);
}

Bytes withHead(std::string_view head, std::size_t size = 12) {
    Bytes b = bytesOf(head);
    b.resize(size, 0);
    return b;
}

TEST(AudioParserDetect, ContainersInOrder) {
    const struct {
        const char* what;
        Bytes head;
        std::string_view ext;
        Container want;
    } cases[] = {
        {"11 bytes", withHead("fLaC", 11), "flac", Container::none},
        {"fLaC", withHead("fLaC"), "", Container::flac},
        {"RIFF WAVE", withHead("RIFF\x10\0\0\0WAVE"sv), "", Container::wav},
        {"RIFF other form, txt", withHead("RIFF\x10\0\0\0AVI "sv), "txt", Container::none},
        {"RIFF other form, mp3", withHead("RIFF\x10\0\0\0AVI "sv), "mp3", Container::mpeg},
        {"FORM AIFF", withHead("FORM\0\0\0\0AIFF"sv), "", Container::aiff},
        {"FORM AIFC", withHead("FORM\0\0\0\0AIFC"sv), "", Container::aiff},
        {"FORM other", withHead("FORM\0\0\0\0ILBM"sv), "png", Container::none},
        {"ftyp",
         withHead("\0\0\0\x20"
                  "ftypM4A "sv),
         "", Container::mp4},
        {"ID3", withHead("ID3\x04"), "", Container::id3},
        {"FF FB, txt", bytesOf({0xFF, 0xFB, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "txt", Container::mpeg},
        {"FF DF is no sync", bytesOf({0xFF, 0xDF, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "txt", Container::none},
        {"zeros, mp3", withHead(""), "mp3", Container::mpeg},
        {"zeros, MP2", withHead(""), "MP2", Container::mpeg},
        {"zeros, wav", withHead(""), "wav", Container::none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AudioParser::detect(c.head, c.ext), c.want) << c.what;
    }
}

TEST(AudioParserDetect, WholeFilesThroughMemfd) {
    // An 11-byte file, 12 zero bytes as "mp3" (no frame), RIFF of another form, FF FB as "txt".
    EXPECT_FALSE(parseBytes(withHead("", 11), "mp3"));
    EXPECT_FALSE(parseBytes(withHead(""), "mp3"));
    EXPECT_FALSE(parseBytes(withHead("RIFF\x10\0\0\0AVI "sv, 64), "txt"));
    const Bytes mpeg = mpegFrames(MpegHeader{}, 20);
    const auto m = parseBytes(mpeg, "txt");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->codec, core::AudioCodec::mp3);
    EXPECT_EQ(m->sampleRate, 44100u);
}

TEST(AudioParserDetect, Id3ThenFlacRoutesToFlac) {
    // The same tag and frames read as MPEG audio, unless "fLaC" stands right behind the tag.
    const Bytes tag = Id3Builder(4).text("TIT2", "Song").build();
    Bytes mpeg = tag;
    put(mpeg, mpegFrames(MpegHeader{}, 20));
    Bytes flac = tag;
    put(flac, "fLaC");
    put(flac, mpegFrames(MpegHeader{}, 20));
    const auto asMpeg = parseBytes(mpeg, "mp3");
    ASSERT_TRUE(asMpeg);
    EXPECT_EQ(asMpeg->title, "Song");
    EXPECT_FALSE(parseBytes(flac, "mp3"));
}

TEST(AudioParserReader, RefusesWhatIsNotARegularFileWithoutBlocking) {
    quorvanta::test::TempDir dir;
    const auto fifo = dir / "pipe.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir / "link-to-pipe.mp3");
    std::filesystem::create_directory(dir / "folder.mp3");
    std::filesystem::create_symlink(dir / "missing.mp3", dir / "dangling.mp3");
    for (const char* name : {"pipe.mp3", "link-to-pipe.mp3", "folder.mp3", "dangling.mp3", "absent.mp3"}) {
        EXPECT_FALSE(Reader::open((dir / name).string())) << name;
        EXPECT_FALSE(AudioParser::parse((dir / name).string(), "mp3")) << name;
    }
    const auto file = dir.write("song.mp3", std::string(20, 'x'));
    const auto reader = Reader::open(file.string());
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), 20u);
}

TEST(AudioParserReader, ReadsAreBoundedByTheFile) {
    MemFile file(bytesOf("0123456789"));
    const auto reader = Reader::fromDescriptor(file.fd());
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->read(8, 100), bytesOf("89"));
    EXPECT_FALSE(reader->read(10, 1));
    EXPECT_FALSE(reader->read(0, 0));
    EXPECT_FALSE(reader->read(~std::uint64_t{0}, 4));
    EXPECT_EQ(reader->read(0, 4), bytesOf("0123"));
}

TEST(AudioParserText, DecodeText) {
    const struct {
        const char* what;
        Bytes bytes;
        std::optional<Utf16> utf16;
        std::string want;
    } cases[] = {
        {"trailing zeros", bytesOf({0x41, 0x42, 0, 0}), {}, "AB"},
        {"UTF-8", bytesOf({0xC3, 0xA9}), {}, "\xC3\xA9"},
        {"Latin 1", bytesOf({0xE9}), {}, "\xC3\xA9"},
        {"trimmed", bytesOf({0x20, 0x78, 0x20}), {}, "x"},
        {"UTF-16LE", bytesOf({0x41, 0, 0x42, 0, 0, 0}), Utf16::littleEndian, "AB"},
        {"UTF-16BE", bytesOf({0, 0x41, 0, 0x42}), Utf16::bigEndian, "AB"},
        {"inner NUL, UTF-8", bytesOf({0x41, 0, 0x42}), {}, "A"},
        {"inner NUL, Latin 1", bytesOf({0xE9, 0, 0x42}), {}, "\xC3\xA9"},
        {"inner NUL, Latin 1 after", bytesOf({0x41, 0, 0xE9}), {}, "A"},
        {"inner NUL, UTF-16", bytesOf({0x41, 0, 0, 0, 0x42, 0}), Utf16::littleEndian, "A"},
        {"lone high surrogate", bytesOf({0x41, 0, 0x00, 0xD8}), Utf16::littleEndian, ""},
        {"lone low surrogate", bytesOf({0x00, 0xDC, 0x41, 0}), Utf16::littleEndian, ""},
        {"surrogate pair", bytesOf({0x3D, 0xD8, 0x00, 0xDE}), Utf16::littleEndian, "\xF0\x9F\x98\x80"},
        {"odd UTF-16 length", bytesOf({0x41, 0, 0x42}), Utf16::littleEndian, ""},
        {"trailing no-break space", bytesOf({0x41, 0xC2, 0xA0}), {}, "A"},
        {"Latin 1 no-break space", bytesOf({0x41, 0xA0}), {}, "A"},
        {"newlines and tabs", bytesOf({0x0A, 0x09, 0x41, 0x0D, 0x0A}), {}, "A"},
        {"empty", Bytes{}, {}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeText(c.bytes, c.utf16), c.want) << c.what;
    }
}

TEST(AudioParserText, ByteHelpersAtTheEnd) {
    const Bytes b = bytesOf({0x61, 0x62, 0x63, 0x00, 0x01});
    EXPECT_EQ(fourCC(b, 0), "abc ");
    EXPECT_EQ(fourCC(b, 1), "bc \x01");
    EXPECT_EQ(fourCC(b, 2), "");
    EXPECT_EQ(fourCC(bytesOf({0xA9, 'A', 'R', 'T'}), 0),
              "\xC2\xA9"
              "ART");
    EXPECT_EQ(u32be(b, 1), 0x62630001u);
    EXPECT_EQ(u32le(b, 1), 0x01006362u);
    EXPECT_EQ(u32be(b, 2), 0u);
    EXPECT_EQ(u32le(b, 2), 0u);
    EXPECT_EQ(u32be(b, ~std::uint64_t{0}), 0u);
    EXPECT_EQ(u16be(b, 4), 0u);
    EXPECT_EQ(u64be(b, 0), 0u);
}

TEST(AudioParserText, ClampsBeforeCasting) {
    EXPECT_EQ(clampTruncate(std::nan(""), 100), 0u);
    EXPECT_EQ(clampTruncate(-5, 100), 0u);
    EXPECT_EQ(clampTruncate(1e300, 100), 100u);
    EXPECT_EQ(clampTruncate(HUGE_VAL, kMaxDurationMs), kMaxDurationMs);
    EXPECT_EQ(clampTruncate(99.9, 100), 99u);
    EXPECT_EQ(clampRound(99.5, 1000), 100u);
    EXPECT_EQ(clampRound(1411.2, 65535), 1411u);
}

}  // namespace
}  // namespace quorvanta::audio
