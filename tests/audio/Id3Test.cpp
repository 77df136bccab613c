#include "audio/formats/ID3.h"
#include "tests/audio/AudioBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvanta::audio {
namespace {

using namespace test;

struct TagResult {
    core::AudioMeta meta;
    std::uint64_t end = 0;
    std::uint64_t size = 0;
};

TagResult readTag(const Bytes& bytes, std::uint64_t offset = 0) {
    MemFile file(bytes);
    const auto reader = Reader::fromDescriptor(file.fd());
    TagResult r;
    r.size = bytes.size();
    r.end = ID3::parse(*reader, offset, r.meta);
    EXPECT_EQ(ID3::tagEnd(*reader, offset), r.end);
    return r;
}

Bytes repeated(std::size_t n, char c) { return Bytes(n, static_cast<std::uint8_t>(c)); }

TEST(Id3Tag, EndOffsets) {
    const Bytes v4 = Id3Builder(4).text("TIT2", "a").footer().build();
    EXPECT_EQ(readTag(v4).end, v4.size());  // header + frames + footer
    Bytes v3 = Id3Builder(3).text("TIT2", "a").build();
    v3[5] = 0x10;  // the footer flag means nothing in 2.3
    EXPECT_EQ(readTag(v3).end, v3.size());
    Bytes notSynchsafe = Id3Builder(4).text("TIT2", "a").build();
    notSynchsafe[8] = 0x80;
    EXPECT_EQ(readTag(notSynchsafe).end, 0u);
    Bytes shifted = bytesOf("xyz");
    put(shifted, v4);
    EXPECT_EQ(readTag(shifted, 3).end, 3 + v4.size());
    EXPECT_EQ(readTag(bytesOf("ID3\x04")).end, 0u);  // too short for a header
}

TEST(Id3Tag, Frames) {
    const Bytes bigTitle = [] {
        Bytes b{3};
        put(b, repeated(8191, 'T'));
        return b;
    }();
    Bytes tooBigTitle = bigTitle;
    tooBigTitle.push_back('T');
    const struct {
        const char* what;
        Bytes tag;
        std::string artist, title, album, genre, key;
        std::uint16_t year, bpm10;
    } cases[] = {
        {"two TPE1: first wins; two TIT2: second wins",
         Id3Builder(4).text("TPE1", "A").text("TPE1", "B").text("TIT2", "X").text("TIT2", "Y").build(), "A", "Y", "",
         "", "", 0, 0},
        {"TPE2 stands in for a missing TPE1", Id3Builder(3).text("TPE2", "Band").text("TALB", "LP").build(), "Band", "",
         "LP", "", "", 0, 0},
        {"TPE1 beats TPE2 in any order", Id3Builder(3).text("TPE2", "Band").text("TPE1", "Solo").build(), "Solo", "",
         "", "", "", 0, 0},
        {"TYER 0000 then TDRC 1999", Id3Builder(4).text("TYER", "0000").text("TDRC", "1999").build(), "", "", "", "",
         "", 1999, 0},
        {"TYER 2001 then TDRC 1999", Id3Builder(3).text("TYER", "2001").text("TDRC", "1999").build(), "", "", "", "",
         "", 2001, 0},
        {"genre, key, tempo", Id3Builder(4).text("TCON", "(17)").text("TKEY", "Am").text("TBPM", "128").build(), "", "",
         "", "Rock", "Am", 0, 1280},
        {"8192-byte frame is read", Id3Builder(4).frame("TIT2", bigTitle).build(), "", std::string(8191, 'T'), "", "",
         "", 0, 0},
        {"8193-byte frame is skipped", Id3Builder(4).frame("TIT2", tooBigTitle).text("TALB", "after").build(), "", "",
         "after", "", "", 0, 0},
        {"UTF-16 with BOM, first string only",
         Id3Builder(3).frame("TIT2", bytesOf({1, 0xFF, 0xFE, 0x41, 0, 0, 0, 0x42, 0})).build(), "", "A", "", "", "", 0,
         0},
        {"Latin 1 and UTF-8 read the same",
         Id3Builder(3)
             .frame("TIT2", bytesOf({0, 0x43, 0x61, 0x66, 0xE9}))
             .frame("TALB", bytesOf({3, 0x43, 0x61, 0x66, 0xC3, 0xA9}))
             .build(),
         "", "Caf\xC3\xA9", "Caf\xC3\xA9", "", "", 0, 0},
        {"every encoding",
         Id3Builder(4)
             .text("TPE1", "Bj\xC3\xB6rk", 0)
             .text("TIT2", "J\xC3\xB3ga \xE2\x99\xAA", 1)
             .text("TALB", "Homog\xC3\xA9nic", 2)
             .text("TCON", "\xE9\x9F\xB3\xE6\xA5\xBD", 3)
             .build(),
         "Bj\xC3\xB6rk", "J\xC3\xB3ga \xE2\x99\xAA", "Homog\xC3\xA9nic", "\xE9\x9F\xB3\xE6\xA5\xBD", "", 0, 0},
        {"v2.2 frames",
         Id3Builder(2)
             .text("TP1", "Artist")
             .text("TT2", "Title")
             .text("TAL", "Album")
             .text("TCO", "Techno")
             .text("TYE", "1987")
             .text("TBP", "99,95")
             .text("TKE", "C")
             .build(),
         "Artist", "Title", "Album", "Techno", "C", 1987, 1000},
        {"v2.3 extended header", Id3Builder(3).extendedHeader(6).text("TIT2", "Ext3").build(), "", "Ext3", "", "", "",
         0, 0},
        {"v2.4 extended header", Id3Builder(4).extendedHeader(2).text("TIT2", "Ext4").build(), "", "Ext4", "", "", "",
         0, 0},
        {"frame past the tag end",
         Id3Builder(4).text("TALB", "kept").frame("TIT2", bytesOf({3, 'a', 'b'}), 500).build(), "", "", "kept", "", "",
         0, 0},
        {"zero-size frame ends the walk",
         Id3Builder(4).text("TALB", "kept").frame("TXXX", {}).text("TIT2", "lost").build(), "", "", "kept", "", "", 0,
         0},
        {"padding ends the walk", Id3Builder(4).padding(64).build(), "", "", "", "", "", 0, 0},
        {"lower-case id is another frame", Id3Builder(4).text("tit2", "no").build(), "", "", "", "", "", 0, 0},
    };
    for (const auto& c : cases) {
        const TagResult r = readTag(c.tag);
        EXPECT_EQ(r.end, c.tag.size()) << c.what;
        EXPECT_EQ(r.meta.artist, c.artist) << c.what;
        EXPECT_EQ(r.meta.title, c.title) << c.what;
        EXPECT_EQ(r.meta.album, c.album) << c.what;
        EXPECT_EQ(r.meta.genre, c.genre) << c.what;
        EXPECT_EQ(r.meta.key, c.key) << c.what;
        EXPECT_EQ(r.meta.year, c.year) << c.what;
        EXPECT_EQ(r.meta.bpm10, c.bpm10) << c.what;
    }
}

TEST(Id3Tag, FrameCapAndHostileHeaders) {
    Id3Builder many(4);
    for (int i = 0; i < 400; ++i) many.text("TXXX", "x");
    many.text("TIT2", "401st");
    EXPECT_EQ(readTag(many.build()).meta.title, "");
    Id3Builder fits(4);
    for (int i = 0; i < 399; ++i) fits.text("TXXX", "x");
    fits.text("TIT2", "400th");
    EXPECT_EQ(readTag(fits.build()).meta.title, "400th");

    // A v2.3 extended-header length of 0xFFFFFFFF: the walk starts past the tag and reads nothing.
    Bytes ext = Id3Builder(3).extendedHeader(6).text("TIT2", "x").build();
    ext[10] = ext[11] = ext[12] = ext[13] = 0xFF;
    const TagResult r = readTag(ext);
    EXPECT_EQ(r.end, ext.size());
    EXPECT_EQ(r.meta.title, "");

    // A tag size far past the file: frames are read while they are there.
    Bytes big = Id3Builder(4).text("TIT2", "short file").build();
    big[6] = big[7] = big[8] = big[9] = 0x7F;
    EXPECT_EQ(readTag(big).meta.title, "short file");
}

TEST(Id3Rules, GenreName) {
    const struct {
        std::string in, want;
    } cases[] = {
        {"(4)Eurodisco", "Eurodisco"},
        {"(17)", "Rock"},
        {"17", "Rock"},
        {"+17", "Rock"},
        {"-0", "Blues"},
        {"(80)", "80"},
        {"79", "Hard Rock"},
        {"Techno", "Techno"},
        {"", ""},
        {"()", ""},
        {"(17) ", "Rock"},
        {" 0 ", "Blues"},
        {"-1", "-1"},
        {"+", "+"},
        {"(12", "(12"},
        {"123456789012345678901234567890", "123456789012345678901234567890"},
        {"(123456789012345678901234567890)", "123456789012345678901234567890"},
    };
    for (const auto& c : cases) EXPECT_EQ(ID3::genreName(c.in), c.want) << c.in;
    EXPECT_EQ(ID3::kGenres.front(), "Blues");
    EXPECT_EQ(ID3::kGenres[40], "AlternRock");
    EXPECT_EQ(ID3::kGenres[67], "Psychadelic");
    EXPECT_EQ(ID3::kGenres[78], "Rock & Roll");
    EXPECT_EQ(ID3::kGenres.back(), "Hard Rock");
}

TEST(Id3Rules, YearAndTempo) {
    const struct {
        std::string in;
        std::uint16_t want;
    } years[] = {{"2021-03-04", 2021}, {"95", 0},   {"0999", 0},    {"1000", 1000}, {"199", 0},
                 {"+999", 0},          {"20x1", 0}, {"9999", 9999}, {"", 0}};
    for (const auto& c : years) EXPECT_EQ(ID3::year(c.in), c.want) << c.in;
    const struct {
        std::string in;
        std::uint16_t want;
    } tempos[] = {{"128", 1280},
                  {"99,95", 1000},
                  {"600", 0},
                  {"599.99", 6000},
                  {"nan", 0},
                  {"inf", 0},
                  {"-inf", 0},
                  {"1e2", 1000},
                  {" 128 ", 1280},
                  {"+128", 1280},
                  {"0", 0},
                  {"-5", 0},
                  {"128 bpm", 0},
                  {"", 0},
                  {"+", 0},
                  {"0.04", 0},
                  {"0.05", 1},
                  {"\xC2\xA0"
                   "90\n",
                   900}};
    for (const auto& c : tempos) EXPECT_EQ(ID3::bpm10(c.in), c.want) << c.in;
}

TEST(Id3Rules, FieldTableAndFrameText) {
    EXPECT_EQ(ID3::field("TDOR"), ID3::Field::year);
    EXPECT_EQ(ID3::field("TP2"), ID3::Field::albumArtist);
    EXPECT_FALSE(ID3::field("APIC"));
    EXPECT_EQ(ID3::frameText({}), "");
    EXPECT_EQ(ID3::frameText(bytesOf({2, 0, 0x41, 0, 0x42})), "AB");    // UTF-16BE default
    EXPECT_EQ(ID3::frameText(bytesOf({1, 0x41, 0, 0x42, 0})), "AB");    // UTF-16LE default
    EXPECT_EQ(ID3::frameText(bytesOf({2, 0xFF, 0xFE, 0x41, 0})), "A");  // BOM wins
    EXPECT_EQ(ID3::frameText(bytesOf({1, 0xFF})), "");                  // odd length
    EXPECT_EQ(ID3::frameText(bytesOf({9, 'o', 'k', 0, 'x'})), "ok");    // unknown encoding
}

}  // namespace
}  // namespace quorvanta::audio
