// The DJ-library guard as the results table uses it: which libraries a path may belong to, how
// the libraries are found in a home folder and on drive roots, and that finding them changes
// nothing on disk. Every library file is made by the test in a temporary folder.
#include "QuorvantaCore/dj/DJLibraries.h"

#include "tests/QuorvantaCore/dj/DJFixtures.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using Kind = DJLibraries::Kind;
using Hit = DJLibraries::Hit;
using Source = DJLibraries::Source;
using test::EnvOverride;
using test::location;
using test::nmlDocument;
using test::TempDir;

std::string describe(const std::vector<Hit>& hits) {
    std::string out = "{";
    for (const auto& hit : hits) out += " " + std::string(rawValue(hit.kind)) + (hit.certain ? "!" : "?");
    return out + " }";
}

std::string describe(const std::vector<Source>& sources) {
    std::string out;
    for (const auto& s : sources) out += "\n  " + std::string(rawValue(s.kind)) + " " + s.path;
    return out;
}

// A temporary file system with a home folder at <root>/home/me and drive roots under
// <root>/media/me. The XDG variables point into it, so the user's own folders are never looked at.
class World {
public:
    World()
        : home_(dir_ / "home/me"),
          config_(dir_ / "config"),
          homeVar_("HOME", home_),
          configVar_("XDG_CONFIG_HOME", config_) {
        fs::create_directories(home_);
    }

    std::string root() const { return dir_.path().string(); }
    const std::string& home() const { return home_; }
    std::string drive(const std::string& name) const {
        const std::string path = root() + "/media/me/" + name;
        fs::create_directories(path);
        return path;
    }
    fs::path write(const std::string& path, std::string_view bytes) const {
        fs::create_directories(fs::path(path).parent_path());
        return dir_.write(fs::path(path).lexically_relative(dir_.path()).string(), bytes);
    }
    void userDirs(std::string_view text) const { dir_.write("config/user-dirs.dirs", text); }

    std::shared_ptr<DJLibraries> discover(const std::vector<std::string>& volumes) const {
        return DJLibraries::discover(home_, volumes);
    }

private:
    TempDir dir_;
    std::string home_;
    std::string config_;
    EnvOverride homeVar_;
    EnvOverride configVar_;
};

// The ten extensions a rekordbox library may hold.
TEST(DJLibrariesKinds, NamesAndAudioExtensions) {
    EXPECT_EQ(rawValue(Kind::traktor), "Traktor");
    EXPECT_EQ(rawValue(Kind::engine), "Engine DJ");
    EXPECT_EQ(rawValue(Kind::rekordbox), "Rekordbox");
    const std::set<std::string, std::less<>> expected{"mp3", "wav", "aiff", "aif",  "flac",
                                                      "m4a", "aac", "ogg",  "alac", "mp4"};
    EXPECT_EQ(DJLibraries::audioExtensions(), expected);
    EXPECT_TRUE(DJLibraries().sources().empty());
}

TEST(DJLibrariesHits, TableOfPaths) {
    // A home with a Traktor collection and an Engine DJ database; a drive with a rekordbox export
    // and one without.
    World djs;
    djs.write(
        djs.home() + "/Documents/Native Instruments/Traktor 3.11/collection.nml",
        nmlDocument({location("/:home/:me/:Music/:", "Track.MP3"), location("/:home/:me/:Music/:", "Cafe\u0301.mp3")}));
    test::makeEngineDatabase(djs.home() + "/Music/Engine Library/Database2/m.db",
                             {test::textRow("/srv/music/abs.mp3"), test::textRow("../Music/a.mp3"), test::nullRow(),
                              test::textRow("../a.mp3")});
    const std::string usb = djs.drive("USB");
    const std::string usb2 = djs.drive("USB2");
    djs.write(usb + "/PIONEER/rekordbox/export.pdb", "");
    const auto withDJs = djs.discover({usb, usb2});

    World atHome;
    atHome.write(atHome.home() + "/Library/Pioneer/rekordbox/master.db", "");
    const auto rekordboxHome = atHome.discover({});

    World empty;
    const auto none = empty.discover({empty.drive("USB")});
    EXPECT_TRUE(none->sources().empty()) << describe(none->sources());

    const Hit traktor{Kind::traktor, true};
    const Hit engine{Kind::engine, true};
    const Hit rekordbox{Kind::rekordbox, false};
    const std::string music = djs.home() + "/Music";
    struct Case {
        const DJLibraries* libraries;
        std::string path;
        bool isDir;
        std::vector<Hit> expected;
    };
    const std::vector<Case> cases = {
        {withDJs.get(), "/home/me/music/track.mp3", false, {traktor}},
        {withDJs.get(), "/home/me/Music/Track.MP3", false, {traktor}},
        {withDJs.get(), "/home/me/Music/./x/../Track.MP3", false, {traktor}},
        {withDJs.get(), "/home/me/Music", true, {traktor}},
        {withDJs.get(), "/home/me/Music/", true, {traktor}},
        {withDJs.get(), "/home/me/Mus", true, {}},
        {withDJs.get(), "/home/me/Music/Track.MP3.bak", false, {}},
        {withDJs.get(), "/home/me/Music/Caf\u00e9.mp3", false, {traktor}},  // composed form of a decomposed entry
        {withDJs.get(), "/home/me/MUSIC/CAF\u00c9.MP3", false, {traktor}},
        {withDJs.get(), music + "/a.mp3", false, {engine}},        // "../a.mp3" beside the library
        {withDJs.get(), music + "/Music/a.mp3", false, {engine}},  // "../Music/a.mp3"
        {withDJs.get(), "/srv/music/abs.mp3", false, {engine}},    // absolute, as it is
        {withDJs.get(), music, true, {engine}},
        {withDJs.get(), "/srv", true, {engine}},
        {withDJs.get(), "/", true, {traktor, engine}},  // the root holds every track
        {withDJs.get(), usb + "/a.mp3", false, {rekordbox}},
        {withDJs.get(), usb + "/Sets/b.FLAC", false, {rekordbox}},
        {withDJs.get(), usb + "/Sets", true, {rekordbox}},
        {withDJs.get(), usb + "/notes.txt", false, {}},
        {withDJs.get(), usb2 + "/a.mp3", false, {}},
        {withDJs.get(), usb, true, {}},
        {rekordboxHome.get(), "/srv/x/a.MP3", false, {rekordbox}},
        {rekordboxHome.get(), "/srv/x/notes.txt", false, {}},
        {rekordboxHome.get(), "/srv/x/no-extension", false, {}},
        {rekordboxHome.get(), "/srv/x/.mp3", false, {}},
        {rekordboxHome.get(), "/srv/x", true, {rekordbox}},
        {rekordboxHome.get(), "/srv/x.txt", true, {rekordbox}},
        {none.get(), "/home/me/Music/Track.MP3", false, {}},
        {none.get(), "/", true, {}},
        {none.get(), empty.root() + "/media/me/USB/a.mp3", false, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(c.libraries->hits(c.path, c.isDir)), describe(c.expected))
            << c.path << (c.isDir ? " (folder)" : "");

    // Every audio extension, in any case, is a possible rekordbox file.
    for (const auto& ext : DJLibraries::audioExtensions()) {
        std::string upper = ext;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
        for (const auto& e : {ext, upper})
            EXPECT_EQ(describe(rekordboxHome->hits("/srv/track." + e, false)), describe({rekordbox})) << e;
    }
}

TEST(DJLibrariesDiscovery, SourcesInOrderOneDatabasePerRoot) {
    World w;
    const std::string ni = w.home() + "/Documents/Native Instruments";
    w.write(ni + "/Traktor 3.11/collection.nml", nmlDocument({location("/:a/:", "one.mp3")}));
    w.write(ni + "/Traktor Pro 2/collection.nml", nmlDocument({location("/:a/:", "two.mp3")}));
    w.write(ni + "/traktor 4/collection.nml",
            nmlDocument({location("/:a/:", "case.mp3")}));  // prefix is case-sensitive
    w.write(ni + "/Old Traktor/collection.nml", nmlDocument({location("/:a/:", "old.mp3")}));
    fs::create_directories(ni + "/Traktor 5");  // a version without a collection
    const std::string homeLibrary = w.home() + "/Music/Engine Library";
    test::makeEngineDatabase(homeLibrary + "/Database2/m.db", {test::textRow("/b/newer.mp3")});
    test::makeEngineDatabase(homeLibrary + "/m.db", {test::textRow("/b/older.mp3")});
    const std::string usb = w.drive("USB");
    const std::string other = w.drive("Other");
    const std::string bare = w.drive("Bare");
    test::makeEngineDatabase(usb + "/Engine Library/m.db", {test::textRow("/b/drive.mp3")});
    w.write(usb + "/PIONEER/rekordbox/export.pdb", "");
    w.write(other + "/PIONEER/rekordbox/export.pdb", "");
    w.write(w.home() + "/Library/Pioneer/rekordbox/master.db", "");

    const auto libraries = w.discover({usb, bare, other});
    auto sources = libraries->sources();
    ASSERT_EQ(sources.size(), 7u) << describe(sources);
    // The two collections come in the folder's listing order.
    std::sort(sources.begin(), sources.begin() + 2, [](const Source& a, const Source& b) { return a.path < b.path; });
    const std::vector<Source> expected = {
        {Kind::traktor, ni + "/Traktor 3.11/collection.nml"},
        {Kind::traktor, ni + "/Traktor Pro 2/collection.nml"},
        {Kind::engine, homeLibrary + "/Database2/m.db"},
        {Kind::engine, usb + "/Engine Library/m.db"},
        {Kind::rekordbox, usb + "/PIONEER"},
        {Kind::rekordbox, other + "/PIONEER"},
        {Kind::rekordbox, w.home() + "/Library/Pioneer/rekordbox/master.db"},
    };
    EXPECT_EQ(describe(sources), describe(expected));
    EXPECT_EQ(libraries->exact().at(Kind::traktor), (std::unordered_set<std::string>{"/a/one.mp3", "/a/two.mp3"}));
    EXPECT_EQ(libraries->exact().at(Kind::engine), (std::unordered_set<std::string>{"/b/newer.mp3", "/b/drive.mp3"}));
    EXPECT_EQ(libraries->rekordboxVolumes(), (std::vector<std::string>{usb, other}));
    EXPECT_TRUE(libraries->rekordboxHome());
}

TEST(DJLibrariesDiscovery, TruncatedCollectionKeepsWhatCameBefore) {
    World w;
    const std::string document =
        nmlDocument({location("/:a/:", "first.mp3"), location("/:a/:", "second.mp3"), location("/:a/:", "third.mp3")});
    const std::size_t cut = document.find("third");  // inside the third LOCATION element
    const std::string collection = w.home() + "/Documents/Native Instruments/Traktor 3/collection.nml";
    w.write(collection, document.substr(0, cut));
    const auto libraries = w.discover({});
    EXPECT_EQ(describe(libraries->sources()), describe({{Kind::traktor, collection}}));
    EXPECT_EQ(libraries->exact().at(Kind::traktor), (std::unordered_set<std::string>{"/a/first.mp3", "/a/second.mp3"}));
}

TEST(DJLibrariesDiscovery, UnreadableLibrariesLeaveNoTrace) {
    World w;
    const std::string notADatabase = w.drive("Text");
    const std::string noTrackTable = w.drive("Other tables");
    const std::string noPathColumn = w.drive("Other columns");
    const std::string aFolder = w.drive("Folder");
    const std::string aFifo = w.drive("Fifo");
    w.write(notADatabase + "/Engine Library/m.db", "this is no database, just some text\n");
    test::execSQL(noTrackTable + "/Engine Library/m.db",
                  "CREATE TABLE Playlist (path TEXT); INSERT INTO Playlist VALUES ('/p.mp3');");
    test::execSQL(noPathColumn + "/Engine Library/m.db",
                  "CREATE TABLE Track (file TEXT); INSERT INTO Track VALUES ('/p.mp3');");
    fs::create_directories(aFolder + "/Engine Library/m.db");
    fs::create_directories(aFifo + "/Engine Library");
    ASSERT_EQ(mkfifo((aFifo + "/Engine Library/m.db").c_str(), 0600), 0);
    // A FIFO in a collection's place: opening it must not wait for a writer.
    fs::create_directories(w.home() + "/Documents/Native Instruments/Traktor 3");
    ASSERT_EQ(mkfifo((w.home() + "/Documents/Native Instruments/Traktor 3/collection.nml").c_str(), 0600), 0);

    const auto libraries = w.discover({notADatabase, noTrackTable, noPathColumn, aFolder, aFifo});
    EXPECT_TRUE(libraries->sources().empty()) << describe(libraries->sources());
    EXPECT_TRUE(libraries->exact().empty());
    EXPECT_TRUE(libraries->hits("/p.mp3", false).empty());

    // The same files handed over directly.
    DJLibraries direct;
    direct.addNML(w.home() + "/Documents/Native Instruments/Traktor 3/collection.nml");
    direct.addNML(w.home() + "/missing.nml");
    direct.addNML(w.home());
    for (const auto& root : {notADatabase, noTrackTable, noPathColumn, aFolder, aFifo})
        direct.addEngine(root + "/Engine Library/m.db", root + "/Engine Library");
    direct.addEngine(w.home() + "/missing.db", w.home());
    EXPECT_TRUE(direct.sources().empty()) << describe(direct.sources());
    EXPECT_TRUE(direct.exact().empty());
}

TEST(DJLibrariesDiscovery, DesktopFoldersAfterTheHomeOnes) {
    World w;
    const std::string usb = w.drive("USB");
    w.userDirs("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    w.write(w.home() + "/Documents/Native Instruments/Traktor 3/collection.nml",
            nmlDocument({location("/:a/:", "1.mp3")}));
    w.write(w.home() + "/Dokumente/Native Instruments/Traktor 3/collection.nml",
            nmlDocument({location("/:a/:", "2.mp3")}));
    test::makeEngineDatabase(w.home() + "/Music/Engine Library/m.db", {test::textRow("/b/3.mp3")});
    test::makeEngineDatabase(w.home() + "/Musik/Engine Library/m.db", {test::textRow("/b/4.mp3")});
    test::makeEngineDatabase(usb + "/Engine Library/m.db", {test::textRow("/b/5.mp3")});
    const std::vector<Source> expected = {
        {Kind::traktor, w.home() + "/Documents/Native Instruments/Traktor 3/collection.nml"},
        {Kind::traktor, w.home() + "/Dokumente/Native Instruments/Traktor 3/collection.nml"},
        {Kind::engine, w.home() + "/Music/Engine Library/m.db"},
        {Kind::engine, w.home() + "/Musik/Engine Library/m.db"},
        {Kind::engine, usb + "/Engine Library/m.db"},
    };
    EXPECT_EQ(describe(w.discover({usb})->sources()), describe(expected));

    // A music folder that is also a drive root is read once, as the music folder.
    w.userDirs("XDG_MUSIC_DIR=\"" + usb + "/\"\n");
    const std::vector<Source> once = {
        expected[0],
        {Kind::engine, w.home() + "/Music/Engine Library/m.db"},
        {Kind::engine, usb + "/Engine Library/m.db"},
    };
    EXPECT_EQ(describe(w.discover({usb, usb + "/."})->sources()), describe(once));
}

TEST(DJLibrariesDiscovery, NoHomeMeansNoHomeLibraries) {
    // A relative folder must never stand in for a missing home: the working folder holds a
    // rekordbox library and a Traktor collection that an empty home would reach.
    TempDir cwd;
    cwd.write("Library/Pioneer/rekordbox/master.db", "");
    cwd.write("Documents/Native Instruments/Traktor 3/collection.nml", nmlDocument({location("/:a/:", "x.mp3")}));
    EnvOverride noHome("HOME", "");
    EnvOverride config("XDG_CONFIG_HOME", (cwd / "config").string());
    const fs::path before = fs::current_path();
    fs::current_path(cwd.path());
    const auto libraries =
        DJLibraries::discover(DJLibraries::Places{.home = "", .documents = {}, .music = {}, .volumes = {}});
    const auto viaHome = DJLibraries::discover("", std::vector<std::string>{});
    fs::current_path(before);
    EXPECT_TRUE(libraries->sources().empty()) << describe(libraries->sources());
    EXPECT_FALSE(libraries->rekordboxHome());
    // With HOME empty the home comes from the password database, never from the working folder.
    for (const auto& s : viaHome->sources()) EXPECT_FALSE(s.path.starts_with(cwd.path().string())) << s.path;
}

TEST(DJLibrariesTraktor, LocationsOfACollection) {
    TempDir dir;
    const fs::path collection =
        dir.write("collection.nml",
                  nmlDocument({
                      location("/:home/:me/:Music/:", "a.mp3"),                     // DIR and FILE
                      location(std::nullopt, "no-dir.mp3"),                         // no DIR: ignored
                      location("/:home/:me/:no-file/:", std::nullopt),              // no FILE: ignored
                      location("/:x/:", "empty-volume.mp3", ""),                    // empty VOLUME: plain path only
                      location("/:home/:me/:Music/:", "Cafe\u0301 &amp; Bar.mp3"),  // decomposed, with an entity
                      location("/:", "at-root.mp3"),
                      location("/:srv/:/:./:sets/:", "x.mp3"),                 // in standard form: "/srv/sets/x.mp3"
                      "<ENTRY DIR=\"/:other/:\" FILE=\"entry.mp3\"></ENTRY>",  // not a LOCATION
                      "<location DIR=\"/:lower/:\" FILE=\"lower.mp3\"></location>",  // names are case-sensitive
                  }));
    DJLibraries libraries;
    libraries.addNML(collection.string());
    EXPECT_EQ(
        libraries.exact().at(Kind::traktor),
        (std::unordered_set<std::string>{"/home/me/music/a.mp3", "/x/empty-volume.mp3",
                                         "/home/me/music/caf\u00e9 & bar.mp3", "/at-root.mp3", "/srv/sets/x.mp3"}));
    EXPECT_EQ(describe(libraries.sources()), describe({{Kind::traktor, collection.string()}}));

    // A collection without a single track is still a library.
    const fs::path empty = dir.write("empty.nml", nmlDocument({}));
    libraries.addNML(empty.string());
    EXPECT_EQ(libraries.sources().size(), 2u);
    EXPECT_EQ(libraries.exact().at(Kind::traktor).size(), 5u);
}

TEST(DJLibrariesTraktor, VolumeNamesTheMountFolder) {
    TempDir dir;
    const fs::path collection =
        dir.write("collection.nml",
                  nmlDocument({location("/:Sets/:", "b.mp3", "Music SSD"), location("/:Sets/:", "c.mp3", "Other"),
                               location("/:Sets/:", "d.mp3", "Missing"), location("/:Sets/:", "e.mp3", "SSD")}));
    DJLibraries libraries({"/media/me/Music SSD", "/mnt/Other/", "/run/media/me/Other SSD"});
    libraries.addNML(collection.string());
    EXPECT_EQ(libraries.exact().at(Kind::traktor),
              (std::unordered_set<std::string>{"/sets/b.mp3", "/media/me/music ssd/sets/b.mp3", "/sets/c.mp3",
                                               "/mnt/other/sets/c.mp3", "/sets/d.mp3", "/sets/e.mp3"}));
    EXPECT_EQ(describe(libraries.hits("/media/me/Music SSD/Sets", true)), describe({{Kind::traktor, true}}));
    EXPECT_TRUE(libraries.hits("/mnt/Other/Sets/b.mp3", false).empty());
}

// Every regular file below a folder with its bytes and modification time.
std::map<std::string, std::pair<std::string, std::int64_t>> fileStates(const fs::path& folder) {
    std::map<std::string, std::pair<std::string, std::int64_t>> states;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        struct stat st {};
        ::stat(entry.path().c_str(), &st);
        states[entry.path().string()] = {test::readFile(entry.path()),
                                         std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
    }
    return states;
}

TEST(DJLibrariesReadOnly, DiscoveryChangesNoFile) {
    World w;
    w.write(w.home() + "/Documents/Native Instruments/Traktor 3/collection.nml",
            nmlDocument({location("/:a/:", "x.mp3")}));
    const std::string homeDatabase = w.home() + "/Music/Engine Library/Database2/m.db";
    test::makeEngineDatabase(homeDatabase, {test::textRow("/a/y.mp3")});
    const std::string usb = w.drive("USB");
    // A database left in write-ahead-log mode: a reader that honoured the log would make "-shm".
    const std::string walDatabase = usb + "/Engine Library/m.db";
    test::makeEngineDatabase(walDatabase, {test::textRow("/a/z.mp3")});
    test::execSQL(walDatabase, "PRAGMA journal_mode=WAL;");
    w.write(usb + "/PIONEER/rekordbox/export.pdb", "");
    w.write(w.home() + "/Library/Pioneer/rekordbox/master.db", "");
    // Times in the past, so that a rewrite within the same clock tick would still show.
    for (const auto& [path, state] : fileStates(w.root())) {
        const timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }
    const auto before = fileStates(w.root());

    const auto libraries = w.discover({usb});
    ASSERT_EQ(libraries->sources().size(), 5u) << describe(libraries->sources());
    EXPECT_EQ(libraries->exact().at(Kind::engine), (std::unordered_set<std::string>{"/a/y.mp3", "/a/z.mp3"}));

    const auto after = fileStates(w.root());
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [path, state] : before) {
        const auto found = after.find(path);
        ASSERT_NE(found, after.end()) << path << " is gone";
        EXPECT_EQ(found->second.first, state.first) << path << " changed its bytes";
        EXPECT_EQ(found->second.second, state.second) << path << " changed its modification time";
    }
    for (const auto& database : {homeDatabase, walDatabase})
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            EXPECT_FALSE(fs::exists(database + suffix)) << database + suffix;
}

}  // namespace
}  // namespace quorvanta::core
