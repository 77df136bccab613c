#include "audio/dupes/DupExport.h"
#include "tests/support/CsvReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::audio {
namespace {

using quorvanta::test::readCsv;
using Rows = quorvanta::test::CsvRows;

core::AudioMeta facts(std::string artist, std::string title, std::uint32_t durationMs) {
    core::AudioMeta m;
    m.codec = core::AudioCodec::mp3;
    m.bitrateKbps = 320;
    m.durationMs = durationMs;
    m.artist = std::move(artist);
    m.title = std::move(title);
    return m;
}

DupMember member(std::string path, std::uint64_t size, std::uint32_t mtime,
                 std::optional<core::AudioMeta> meta = std::nullopt) {
    DupMember m;
    m.path = std::move(path);
    m.size = size;
    m.mtime = mtime;
    m.meta = std::move(meta);
    return m;
}

TEST(DupExport, CsvGoldenText) {
    DupGroup identical;
    identical.id = 1;
    identical.members = {member("/m/a \"live\".mp3", 4000, 0, facts("Band", "Song, Part 1", 1499)),
                         member("/m/b.mp3", 4000, 1'700'000'000)};
    identical.keep = 0;
    DupGroup song;
    song.id = 2;
    song.kind = DupKind::sameSong;
    song.confirmed = true;
    core::AudioMeta flac = facts("", "Only Title", 1500);
    flac.codec = core::AudioCodec::flac;
    flac.bitrateKbps = 900;
    song.members = {member("/m/c.mp3", 10, 1, facts("X", "Y", 0)), member("/m/c.flac", 20, 4'294'967'295u, flac)};
    song.keep = 1;

    EXPECT_EQ(
        DupExport::csv({identical, song}),
        "group,kind,confirmed,keep,path,size_bytes,codec,bitrate_kbps,duration_s,artist,title,modified\n"
        "1,identical,,keep,\"/m/a \"\"live\"\".mp3\",4000,MP3,320,1.5,\"Band\",\"Song, Part 1\",1970-01-01T00:00:00Z\n"
        "1,identical,,surplus,\"/m/b.mp3\",4000,,,,\"\",\"\",2023-11-14T22:13:20Z\n"
        "2,sameSong,yes,surplus,\"/m/c.mp3\",10,MP3,320,0.0,\"X\",\"Y\",1970-01-01T00:00:01Z\n"
        "2,sameSong,yes,keep,\"/m/c.flac\",20,FLAC,900,1.5,\"\",\"Only Title\",2106-02-07T06:28:15Z\n");
    song.confirmed = false;
    EXPECT_NE(DupExport::csv({song}).find("\n2,sameSong,no,surplus,"), std::string::npos);
    EXPECT_EQ(DupExport::csv({}), DupExport::kCsvHeader);
}

TEST(DupExport, CsvReadsBackFieldForField) {
    const std::string awkward[] = {
        "/m/\"quoted\"/a,b.mp3", "/m/line\nbreak.mp3", "/m/crlf\r\n.mp3", "/m/\xFF raw bytes.mp3", "/m/plain.mp3",
    };
    DupGroup group;
    group.id = 7;
    for (const std::string& path : awkward)
        group.members.push_back(member(path, 2048, 86400, facts("A, \"B\"", "line one\nline two", 61'234)));
    group.keep = 4;
    const Rows rows = readCsv(DupExport::csv({group}));
    ASSERT_EQ(rows.size(), std::size(awkward) + 1);
    EXPECT_EQ(rows[0].size(), 12u);
    for (std::size_t i = 0; i < std::size(awkward); ++i) {
        const std::vector<std::string> expected = {"7",
                                                   "identical",
                                                   "",
                                                   i == 4 ? "keep" : "surplus",
                                                   awkward[i],
                                                   "2048",
                                                   "MP3",
                                                   "320",
                                                   "61.2",
                                                   "A, \"B\"",
                                                   "line one\nline two",
                                                   "1970-01-02T00:00:00Z"};
        EXPECT_EQ(rows[i + 1], expected) << "member " << i;
    }
}

TEST(DupExport, M3uGoldenTextAndSelection) {
    DupGroup a;
    a.id = 1;
    a.members = {member("/m/keep.flac", 30, 0, facts("Artist", "Title", 1499)),
                 member("/m/dir/second.mp3", 20, 0, facts("", "Title Only", 1500)), member("/m/third.mp3", 10, 0)};
    a.keep = 0;
    DupGroup b;
    b.id = 2;
    b.members = {member("/n/x.mp3", 5, 0, facts("", "", 4'294'967'295u)), member("/n/y.mp3", 5, 0)};
    b.keep = 1;

    EXPECT_EQ(DupExport::m3u({a, b}, DupExport::Which::surplus),
              "#EXTM3U\n"
              "#EXTINF:2,Title Only\n/m/dir/second.mp3\n"
              "#EXTINF:-1,third.mp3\n/m/third.mp3\n"
              "#EXTINF:4294967,x.mp3\n/n/x.mp3\n");
    EXPECT_EQ(DupExport::m3u({a, b}, DupExport::Which::keep),
              "#EXTM3U\n"
              "#EXTINF:1,Artist - Title\n/m/keep.flac\n"
              "#EXTINF:-1,y.mp3\n/n/y.mp3\n");
    const std::string all = DupExport::m3u({a, b}, DupExport::Which::all);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 1 + 2 * 5);
    EXPECT_EQ(DupExport::m3u({}, DupExport::Which::all), "#EXTM3U\n");
}

TEST(DupExport, M3uLinesNeverBreakOnNewlines) {
    // A playlist line cannot name a file whose path holds a line break: such a member is left
    // out rather than written as two lines naming other files.
    DupGroup group;
    group.id = 1;
    group.members = {member("/m/ok.mp3", 1, 0, facts("Art\nist", "Ti\rtle", 1000)),
                     member("/m/evil\n/etc/passwd", 1, 0), member("/m/\xFF.mp3", 1, 0)};
    group.keep = 0;
    EXPECT_EQ(DupExport::m3u({group}, DupExport::Which::all),
              "#EXTM3U\n#EXTINF:1,Art ist - Ti tle\n/m/ok.mp3\n#EXTINF:-1,\xFF.mp3\n/m/\xFF.mp3\n");
}

TEST(DupExport, SurplusBytes) {
    DupGroup three;
    three.members = {member("/a", 10, 0), member("/b", 20, 0), member("/c", 30, 0)};
    three.keep = 1;
    EXPECT_EQ(three.surplusBytes(), 40u);
    EXPECT_EQ(DupExport::surplusBytes({three}), 40u);
    DupGroup huge;
    huge.members = {member("/x", 1ull << 62, 0), member("/y", 1ull << 62, 0), member("/z", 1ull << 62, 0)};
    huge.keep = 0;
    EXPECT_EQ(DupExport::surplusBytes({three, huge}), (1ull << 63) + 40);
    EXPECT_EQ(DupExport::surplusBytes({}), 0u);
}

}  // namespace
}  // namespace quorvanta::audio
