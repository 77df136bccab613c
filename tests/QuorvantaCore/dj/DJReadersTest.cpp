// The pieces under the DJ-library guard: the Traktor collection reader, the Engine DJ database
// reader and its URI, paths in standard form and the drive roots from the mount table. Damaged
// collections and databases are made by seeded mutations and checked with the fuzz harnesses'
// properties.
#include "QuorvantaCore/dj/DJLibraries.h"
#include "QuorvantaCore/dj/DriveRoots.h"
#include "QuorvantaCore/dj/EngineDatabase.h"
#include "QuorvantaCore/dj/NMLReader.h"
#include "platform/fs/PathText.h"

#include "tests/QuorvantaCore/dj/DJFixtures.h"
#include "tests/fuzz/EngineDbOracle.h"
#include "tests/fuzz/NMLOracle.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using fuzz::NMLRecord;
using fuzz::readNML;
using test::location;
using test::nmlDocument;
using test::TempDir;

std::unordered_set<std::string> engineTracks(const std::string& database, const std::string& library) {
    DJLibraries libraries;
    libraries.addEngine(database, library);
    const auto found = libraries.exact().find(DJLibraries::Kind::engine);
    return found == libraries.exact().end() ? std::unordered_set<std::string>{} : found->second;
}

TEST(DJLibrariesPath, StandardForm) {
    struct Case {
        std::string path, standard;
    };
    const std::vector<Case> cases = {
        {"/a/b", "/a/b"},
        {"/a/./b//c/", "/a/b/c"},
        {"/a/b/../c", "/a/c"},
        {"/..", "/"},
        {"/../a", "/a"},
        {"/", "/"},
        {"//", "/"},
        {"", ""},
        {".", "."},
        {"a/..", "."},
        {"../x", "../x"},
        {"../../x/../y", "../../y"},
        {"a/../../b", "../b"},
        {"/a/b/..", "/a"},
        {"/a/...", "/a/..."},
        {"/a/.b/c.", "/a/.b/c."},
        {"/home/me/Music/Engine Library/../a.mp3", "/home/me/Music/a.mp3"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::normalisedPath(c.path), c.standard) << c.path;
    EXPECT_EQ(platform::joinPath("/a", "b"), "/a/b");
    EXPECT_EQ(platform::joinPath("/", "b"), "/b");
    EXPECT_EQ(platform::joinPath("", "b"), "b");
    EXPECT_EQ(platform::lastComponent("/media/me/Music SSD"), "Music SSD");
    EXPECT_EQ(platform::lastComponent("/"), "");
}

TEST(DJLibrariesDriveRoots, MountsInsideTheDriveFolders) {
    const std::string table =
        "22 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
        "30 22 0:5 / /media rw - tmpfs tmpfs rw\n"
        "31 30 8:17 / /media/me/USB rw - vfat /dev/sdb1 rw\n"
        "32 22 8:33 / /run/media/me/Music\\040SSD rw - exfat /dev/sdc1 rw\n"
        "33 22 8:49 / /mnt rw - ext4 /dev/sdd1 rw\n"
        "34 33 8:50 / /mnt/Other rw - ext4 /dev/sdd2 rw\n"
        "35 22 8:51 / /mntx rw - ext4 /dev/sdd3 rw\n"
        "36 22 0:40 / /home/me/media/x rw - ext4 /dev/sde1 rw\n"
        "37 31 8:18 / /media/me/USB rw - vfat /dev/sdb1 rw\n";  // mounted over once more
    EXPECT_EQ(dj::externalDriveRoots(platform::parseMountInfo(table)),
              (std::vector<std::string>{"/media/me/USB", "/run/media/me/Music SSD", "/mnt/Other"}));
}

TEST(DJLibrariesNML, TrackPathsFromDirAndFile) {
    struct Case {
        std::string dir, file, path;
    };
    const std::vector<Case> cases = {
        {"/:Users/:me/:Music/:", "a.mp3", "/Users/me/Music/a.mp3"},
        {"/:", "a.mp3", "/a.mp3"},
        {"", "a.mp3", "a.mp3"},
        {"/:a/::b/:", "c", "/a/:b/c"},
        {"/:a/:", "", "/a/"},
        {"no separators", "x", "no separatorsx"},
    };
    for (const auto& c : cases) EXPECT_EQ(dj::nmlTrackPath({c.dir, c.file, ""}), c.path) << c.dir << " + " << c.file;
}

TEST(DJLibrariesNML, DocumentsAndWhatIsReadFromThem) {
    const std::string utf16 = [] {
        std::string bytes = "\xFF\xFE";  // UTF-16, little-endian
        for (const char c : std::string("<NML><LOCATION DIR=\"/:u/:\" FILE=\"w.mp3\"/></NML>")) {
            bytes += c;
            bytes += '\0';
        }
        return bytes;
    }();
    // Eleven levels of ten references each: 10^11 "lol"s if it were expanded.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE NML [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 12; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><NML><LOCATION DIR=\"/:a/:\" FILE=\"&l11;\"/></NML>";

    struct Case {
        const char* what;
        std::string bytes;
        std::vector<NMLRecord> locations;
        bool complete;
    };
    const std::vector<Case> cases = {
        {"a collection",
         nmlDocument({location("/:a/:", "1.mp3", "SSD"), location("/:b/:", "2.mp3")}),
         {{"/:a/:", "1.mp3", "SSD"}, {"/:b/:", "2.mp3", ""}},
         true},
        {"empty", "", {}, false},
        {"not XML", "Traktor collection, version 3", {}, false},
        {"an element at any depth", "<A><B><C><LOCATION FILE=\"f\" DIR=\"d\"/></C></B></A>", {{"d", "f", ""}}, true},
        {"junk after the document",
         "<NML><LOCATION DIR=\"d\" FILE=\"f\"/></NML><LOCATION DIR=\"x\" FILE=\"y\"/>",
         {{"d", "f", ""}},
         false},
        {"an unclosed document", "<NML><LOCATION DIR=\"d\" FILE=\"f\"/>", {{"d", "f", ""}}, false},
        {"cut inside an attribute", "<NML><LOCATION DIR=\"d\" FILE=\"f\"/><LOCATION DIR=\"e", {{"d", "f", ""}}, false},
        {"an unknown entity",
         "<NML><LOCATION DIR=\"d\" FILE=\"f\"/><LOCATION DIR=\"&x;\" FILE=\"g\"/></NML>",
         {{"d", "f", ""}},
         false},
        {"Latin-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><NML><LOCATION DIR=\"/:\xE9/:\" FILE=\"x\"/></NML>",
         {{"/:\u00e9/:", "x", ""}},
         true},
        {"UTF-16 with a byte-order mark", utf16, {{"/:u/:", "w.mp3", ""}}, true},
        {"an encoding expat does not know",
         "<?xml version=\"1.0\" encoding=\"EBCDIC-XY\"?><NML><LOCATION DIR=\"d\" FILE=\"f\"/></NML>",
         {},
         false},
        {"billion laughs", laughs, {}, false},
        {"an external entity",
         "<!DOCTYPE NML [<!ENTITY e SYSTEM \"file:///etc/hostname\">]><NML><LOCATION DIR=\"/:\" FILE=\"a\"/>&e;"
         "<LOCATION DIR=\"/:\" FILE=\"b\"/></NML>",
         {{"/:", "a", ""}, {"/:", "b", ""}},
         true},
        {"an external entity in an attribute",
         "<!DOCTYPE NML [<!ENTITY e SYSTEM \"file:///etc/hostname\">]><NML><LOCATION DIR=\"/:\" FILE=\"a\"/>"
         "<LOCATION DIR=\"/:\" FILE=\"&e;\"/></NML>",
         {{"/:", "a", ""}},
         false},
    };
    for (const auto& c : cases) {
        for (const std::size_t chunk : {c.bytes.size() + 1, std::size_t{1}, std::size_t{7}}) {
            const auto result = readNML(c.bytes, {chunk});
            EXPECT_EQ(result.locations, c.locations) << c.what << ", chunks of " << chunk;
            EXPECT_EQ(result.complete, c.complete) << c.what << ", chunks of " << chunk;
        }
        EXPECT_TRUE(fuzz::nmlReadIsConsistent(c.bytes)) << c.what;
    }
}

TEST(DJLibrariesNML, FileReadInChunksAndCutAnywhere) {
    TempDir dir;
    // Large enough for several read chunks.
    std::vector<std::string> elements;
    std::vector<NMLRecord> expected;
    for (int i = 0; i < 6000; ++i) {
        const std::string file = "track " + std::to_string(i) + " with a title long enough to fill the file.mp3";
        elements.push_back(location("/:home/:me/:Music/:", file));
        expected.push_back({"/:home/:me/:Music/:", file, ""});
    }
    const std::string document = nmlDocument(elements);
    ASSERT_GT(document.size(), 3u * 256 * 1024);
    std::vector<NMLRecord> got;
    auto collect = [&](const dj::NMLLocation& l) {
        got.push_back({std::string(l.dir), std::string(l.file), std::string(l.volume)});
    };
    EXPECT_EQ(dj::readNMLFile(dir.write("whole.nml", document).string(), collect), dj::NMLFileRead::whole);
    EXPECT_EQ(got, expected);

    // Cut at every byte of a small collection: always a prefix of its locations, never more.
    const std::string small = nmlDocument({location("/:a/:", "1"), location("/:a/:", "2"), location("/:a/:", "3")});
    std::size_t seen = 0;
    for (std::size_t cut = 0; cut < small.size(); ++cut) {
        got.clear();
        // Only the last cut, which drops just the final line feed, leaves a whole document.
        EXPECT_EQ(dj::readNMLFile(dir.write("cut.nml", small.substr(0, cut)).string(), collect),
                  cut + 1 == small.size() ? dj::NMLFileRead::whole : dj::NMLFileRead::stoppedEarly)
            << "cut at " << cut;
        ASSERT_LE(got.size(), 3u);
        ASSERT_GE(got.size(), seen) << "cut at " << cut;
        seen = got.size();
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].file, std::to_string(i + 1));
    }
    EXPECT_EQ(seen, 3u);
    EXPECT_EQ(dj::readNMLFile((dir / "missing.nml").string(), collect), dj::NMLFileRead::notOpened);
    EXPECT_EQ(dj::readNMLFile(dir.path().string(), collect), dj::NMLFileRead::notOpened);
}

// Seeded damage to a collection: bytes replaced, cut out or put in, and the document cut short.
TEST(DJLibrariesNML, SurvivesSeededMutations) {
    const std::string valid =
        nmlDocument({location("/:home/:me/:Music/:", "A\u0301.mp3", "SSD"), location("/:x/:", "b &amp; c.mp3"),
                     location(std::nullopt, "d"), "<!-- note --><![CDATA[<LOCATION DIR=\"no\" FILE=\"no\"/>]]>",
                     location("/:y/:", "&#233;&#x301;.flac")});
    ASSERT_TRUE(fuzz::nmlReadIsConsistent(valid));
    ASSERT_EQ(readNML(valid, {valid.size()}).locations.size(), 3u);
    std::mt19937 rng(63);
    const std::string alphabet = "<>/=\"'&;:#!?[]- LOCATIONDIRFILEVOLUME\x80\xC3\xA9\xFF\0"s;
    for (int round = 0; round < 4000; ++round) {
        std::string text = valid;
        for (int edits = 1 + int(rng() % 6); edits > 0 && !text.empty(); --edits) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 4) {
                case 0:
                    text[at] = alphabet[rng() % alphabet.size()];
                    break;
                case 1:
                    text.erase(at, 1 + rng() % 8);
                    break;
                case 2:
                    text.insert(at, 1, alphabet[rng() % alphabet.size()]);
                    break;
                case 3:
                    text.resize(at);
                    break;
            }
        }
        ASSERT_TRUE(fuzz::nmlReadIsConsistent(text)) << text;
    }
}

TEST(DJLibrariesEngine, DatabaseURI) {
    struct Case {
        std::string path, uri;
    };
    const std::vector<Case> cases = {
        {"/home/me/Music/Engine Library/Database2/m.db",
         "file:/home/me/Music/Engine%20Library/Database2/m.db?immutable=1"},
        {"/a?b#c%d/m.db", "file:/a%3Fb%23c%25d/m.db?immutable=1"},
        {"/Caf\u00e9/\xFF.db", "file:/Caf%C3%A9/%FF.db?immutable=1"},
        {"/-._~!$&'()*+,;=:@/m.db", "file:/-._~!$&'()*+,;=:@/m.db?immutable=1"},
        {"/[x] \"y\" <z>\\{}|^`/m.db", "file:/%5Bx%5D%20%22y%22%20%3Cz%3E%5C%7B%7D%7C%5E%60/m.db?immutable=1"},
        {"//host/m.db", "file:////host/m.db?immutable=1"},
        {"m.db", "file:m.db?immutable=1"},
    };
    for (const auto& c : cases) EXPECT_EQ(dj::engineDatabaseURI(c.path), c.uri) << c.path;
}

TEST(DJLibrariesEngine, RowsAndRelativePaths) {
    TempDir dir;
    const std::string library = (dir / "Music/Engine Library").string();
    const std::string database = library + "/Database2/m.db";
    test::makeEngineDatabase(database, {
                                           test::textRow("/srv/Music/Abs.MP3"),
                                           test::textRow("../Music/a.mp3"),
                                           test::nullRow(),  // skipped; the rows after it are read
                                           test::textRow("../a.mp3"),
                                           test::blobRow("/blob/b.mp3"),
                                           test::textRow(""),  // no path
                                           test::textRow("./sub/../c.mp3"),
                                           test::textRow("Cafe\u0301.mp3"),
                                           test::textRow("/srv/x/../y//d.mp3"),
                                       });
    test::execSQL(database, "INSERT INTO Track (path) VALUES (42);");
    EXPECT_EQ(engineTracks(database, library),
              (std::unordered_set<std::string>{
                  "/srv/music/abs.mp3", DJLibraries::normalize(dir.path().string()) + "/music/music/a.mp3",
                  DJLibraries::normalize(dir.path().string()) + "/music/a.mp3", "/blob/b.mp3",
                  DJLibraries::normalize(library) + "/c.mp3", DJLibraries::normalize(library) + "/caf\u00e9.mp3",
                  "/srv/y/d.mp3", DJLibraries::normalize(library) + "/42"}));
    DJLibraries libraries;
    libraries.addEngine(database, library);
    EXPECT_EQ(libraries.sources(), (std::vector<DJLibraries::Source>{{DJLibraries::Kind::engine, database}}));
}

TEST(DJLibrariesEngine, PathsThatNeedEscapingInTheURI) {
    TempDir dir;
    for (const std::string folder : {"a?b#c%d \u00e9", "x%3Fy", "\xFF\xFE"}) {
        const std::string database = (dir / folder / "m.db").string();
        test::makeEngineDatabase(database, {test::textRow("/a/" + folder + ".mp3")});
        EXPECT_EQ(engineTracks(database, "/lib"),
                  (std::unordered_set<std::string>{"/a/" + DJLibraries::normalize(folder) + ".mp3"}))
            << folder;
        // The same file named with a doubled leading slash.
        EXPECT_EQ(engineTracks("/" + database, "/lib").size(), 1u) << folder;
    }
}

TEST(DJLibrariesEngine, QueryThatStopsEarlyKeepsTheRowsRead) {
    TempDir dir;
    const std::string database = (dir / "m.db").string();
    std::vector<test::TrackRow> rows;
    std::unordered_set<std::string> all;
    for (int i = 0; i < 1000; ++i) {
        rows.push_back(test::textRow("/music/folder with a long name/track number " + std::to_string(i) + ".mp3"));
        all.insert(rows.back().value);
    }
    test::makeEngineDatabase(database, rows);
    // The last page holds the last rows; a page type SQLite does not know makes the step fail
    // with SQLITE_CORRUPT when the walk reaches it.
    std::string bytes = test::readFile(database);
    ASSERT_EQ(bytes.size() % 4096, 0u);
    ASSERT_GT(bytes.size() / 4096, 10u);
    bytes[bytes.size() - 4096] = 0x00;
    dir.write("m.db", bytes);

    sqlite3* db = nullptr;
    ASSERT_EQ(
        sqlite3_open_v2(dj::engineDatabaseURI(database).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr),
        SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT path FROM Track WHERE path IS NOT NULL", -1, &stmt, nullptr), SQLITE_OK);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {}
    EXPECT_EQ(rc, SQLITE_CORRUPT) << "the damage must stop the walk part-way";
    sqlite3_finalize(stmt);
    sqlite3_close(db);

    DJLibraries libraries;
    libraries.addEngine(database, "/lib");
    ASSERT_EQ(libraries.sources().size(), 1u);
    const auto& read = libraries.exact().at(DJLibraries::Kind::engine);
    EXPECT_GT(read.size(), 900u);
    EXPECT_LT(read.size(), 1000u);
    for (const auto& path : read) EXPECT_TRUE(all.contains(path)) << path;
}

// The price of never writing beside the DJ's database: rows still in the write-ahead log are not
// seen until the DJ program checkpoints.
TEST(DJLibrariesEngine, WriteAheadLogIsNotRead) {
    TempDir dir;
    const std::string database = (dir / "m.db").string();
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA journal_mode=WAL; CREATE TABLE Track (path TEXT);"
                           "INSERT INTO Track VALUES ('/a/checkpointed.mp3'); PRAGMA wal_checkpoint(TRUNCATE);"
                           "PRAGMA wal_autocheckpoint=0; INSERT INTO Track VALUES ('/a/in-the-log.mp3');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const std::string log = test::readFile(database + "-wal");
    EXPECT_EQ(engineTracks(database, "/lib"), (std::unordered_set<std::string>{"/a/checkpointed.mp3"}));
    EXPECT_EQ(test::readFile(database + "-wal"), log);
    ASSERT_EQ(sqlite3_exec(writer, "PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(engineTracks(database, "/lib"),
              (std::unordered_set<std::string>{"/a/checkpointed.mp3", "/a/in-the-log.mp3"}));
    sqlite3_close(writer);
}

// Seeded damage to a database file: bytes replaced anywhere, more often in the pages of the
// Track table, and the file cut short.
TEST(DJLibrariesEngine, SurvivesSeededMutations) {
    TempDir dir;
    const std::string made = (dir / "made/m.db").string();
    std::vector<test::TrackRow> rows;
    for (int i = 0; i < 120; ++i)
        rows.push_back(test::textRow(i % 3 ? "../rel/" + std::to_string(i) + ".mp3" : "/abs/" + std::to_string(i)));
    rows.push_back(test::blobRow(std::string("/blob/\0x", 8)));
    test::makeEngineDatabase(made, rows);
    const std::string valid = test::readFile(made);
    const fs::path work = dir / "work";
    fs::create_directories(work);
    ASSERT_TRUE(fuzz::engineReadIsSound(valid, work));
    std::mt19937 rng(6363);
    for (int round = 0; round < 600; ++round) {
        std::string bytes = valid;
        for (int edits = 1 + int(rng() % 8); edits > 0; --edits) {
            const std::size_t at = rng() % 3 == 0 ? rng() % 100 : rng() % bytes.size();  // the header is small
            bytes[at] = static_cast<char>(rng() % 4 == 0 ? 0xFF : rng());
        }
        if (rng() % 10 == 0) bytes.resize(rng() % bytes.size());
        ASSERT_TRUE(fuzz::engineReadIsSound(bytes, work)) << "round " << round;
    }
}

}  // namespace
}  // namespace quorvanta::core
