// What each cell says: every column over a small scanned tree with audio facts and per-file
// metadata injected, an offline catalog and the internal volume; the highlight ranges of names;
// and the caches of the cell context.
#include "QuorvantaApp/ResultsTable/CellValues.h"

#include "QuorvantaApp/ResultsTable/Highlight.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/lang/Lang.h"
#include "tests/QuorvantaApp/ResultsTable/CellFixtures.h"
#include "tests/support/TempDir.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using core::AudioCodec;
using core::AudioMeta;
using core::test::IndexEntry;

}  // namespace

void PrintTo(const Utf16Range& range, std::ostream* out) { *out << "{" << range.start << "+" << range.length << "}"; }

namespace {

constexpr std::int64_t k20240307 = 1'709'767'800;  // 2024-03-06 23:30 UTC, 2024-03-07 in Berlin

// Audio facts with the fields `set` sets, the others missing.
AudioMeta audioFacts(const std::function<void(AudioMeta&)>& set) {
    AudioMeta meta;
    set(meta);
    return meta;
}

double charactersWide(std::string_view text) {
    double n = 0;
    for (const unsigned char b : text) n += (b & 0xC0) != 0x80;
    return n;
}

// English texts and English type descriptions for each test; the language before is restored.
class CellValues : public testing::Test {
protected:
    void SetUp() override {
        languageBefore_ = core::Lang::shared().choice();
        core::Lang::shared().setChoice("en");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override {
        QLocale::setDefault(localeBefore_);
        core::Lang::shared().setChoice(languageBefore_);
    }

private:
    std::string languageBefore_;
    QLocale localeBefore_;
};

// Three volumes and their rows: a scanned external drive with audio facts, the offline catalog of
// another drive, and the internal volume shown below /home/me.
struct Shown {
    quorvanta::test::TempDir dir;
    std::shared_ptr<VolumeState> drive, catalog, internal;
    std::vector<std::shared_ptr<VolumeState>> vols;
    std::vector<RowKey> rows;
    std::vector<std::string> terms{"beat"};
    std::map<std::string, FileMeta> metas;  // by entry name
    std::vector<std::string> asked;         // entry names the metadata lookup was asked for

    Shown() {
        dir.write("vol/Music/song.mp3", std::string(1500, 'x'));
        for (const char* name : {"Music/track.flac", "Music/mono.wav", "Music/odd.ogg", "Music/silent.mp3", "README",
                                 "data.xyz", "clip.mp4", "photo.png", "half.jpg", "doc.pdf"})
            dir.write(std::string("vol/") + name, "0123456789");
        fs::last_write_time(dir / "vol/Music/song.mp3", fs::file_time_type::clock::from_sys(
                                                            std::chrono::sys_seconds(std::chrono::seconds(k20240307))));
        drive = test::scannedVolume({"Music SSD", (dir / "vol").string()});
        catalog =
            test::offlineVolume("Old", "/media/me/Old",
                                core::test::buildIndex({{"/media/me/Old", FIDX_NONE, 0}, {"gone.mp3", 0, 0, 2500}}));
        internal = test::onlineVolume({"Computer", "/", true, "/home/me"}, {{"/", FIDX_NONE, 0},
                                                                            {"home", 0, FIDX_FOLDER},
                                                                            {"me", 1, FIDX_FOLDER},
                                                                            {"Documents", 2, FIDX_FOLDER},
                                                                            {"Projects", 3, FIDX_FOLDER},
                                                                            {"Quorvanta", 4, FIDX_FOLDER},
                                                                            {"notes.md", 5},
                                                                            {"\xFF"
                                                                             "beat.txt",
                                                                             5}});
        vols = {drive, catalog, internal};
        for (std::uint32_t v = 0; v < vols.size(); ++v)
            for (std::uint32_t i = 0; i < vols[v]->index()->count(); ++i) rows.push_back(rowKey(v, i));

        const auto& index = *drive->index();
        const auto audioRow = [&](const char* name, AudioMeta meta) {
            return core::AudioTable::Row{test::entryNamed(index, name), 0, std::move(meta)};
        };
        drive->index()->audioAttached()->upsert({
            audioRow("song.mp3", audioFacts([](AudioMeta& m) {
                         m.durationMs = 59'600;
                         m.bitrateKbps = 320;
                         m.vbr = true;
                         m.sampleRate = 44'100;
                         m.channels = 2;
                         m.codec = AudioCodec::mp3;
                         m.bpm10 = 1205;
                         m.year = 2024;
                         m.artist = "Artíst";
                         m.title = "Sóng";
                         m.album = "Álbum";
                         m.genre = "House";
                         m.key = "8A";
                     })),
            audioRow("track.flac", audioFacts([](AudioMeta& m) {
                         m.sampleRate = 48'000;
                         m.bits = 24;
                         m.channels = 6;
                         m.codec = AudioCodec::flac;
                         m.bpm10 = 1280;
                         m.title = "Track";
                     })),
            audioRow("mono.wav", audioFacts([](AudioMeta& m) {
                         m.durationMs = 3'600'000;
                         m.bitrateKbps = 1411;
                         m.channels = 1;
                         m.codec = AudioCodec::pcm;
                     })),
            audioRow("odd.ogg", audioFacts([](AudioMeta& m) { m.codec = AudioCodec::other; })),
            audioRow("silent.mp3", audioFacts([](AudioMeta& m) { m.artist = "Nobody"; })),
        });
        // Per-file metadata: for files without an audio row, and for two with one (never asked).
        metas["clip.mp4"] = {.duration = 75.4, .bitrate = 191'600, .rate = 48'000, .w = 1920, .h = 1080};
        metas["photo.png"] = {.atime = std::chrono::sys_seconds(std::chrono::seconds(k20240307)), .w = 640, .h = 480};
        metas["half.jpg"] = {.w = 640};
        metas["doc.pdf"] = {.pages = 12};
        metas["silent.mp3"] = {.duration = 99, .bitrate = 128'000, .rate = 44'100};
        metas["track.flac"] = {.duration = 99};
    }

    CellContext context(KindStyle style = KindStyle::badge) {
        CellContext c({core::Locale("en"), *core::Calendar::named("Europe/Berlin"), style, charactersWide,
                       [this](const VolumeState& v, std::size_t, std::uint32_t entry) -> std::optional<FileMeta> {
                           const std::string name = v.index()->name(entry);
                           asked.push_back(name);
                           const auto found = metas.find(name);
                           if (found == metas.end()) return std::nullopt;
                           return found->second;
                       }});
        c.setShown({vols, rows, terms, nullptr});
        return c;
    }

    std::size_t rowOf(const std::shared_ptr<VolumeState>& volume, std::string_view name) const {
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (vols[rowPosition(rows[r])] == volume && volume->index()->name(rowEntry(rows[r])) == name) return r;
        ADD_FAILURE() << "no row for " << name;
        return 0;
    }
};

// The flags and side values of a cell, in a fixed order.
std::string extras(const CellContent& cell) {
    std::string out;
    const auto add = [&](const std::string& part) { out += (out.empty() ? "" : " ") + part; };
    if (cell.badge) add("badge");
    if (cell.offline) add("offline");
    if (cell.right) add("right");
    if (cell.elision == Elision::head) add("head");
    if (!cell.iconKey.empty() || !cell.iconFallbackKey.empty())
        add("icon=" + cell.iconKey + "|" + cell.iconFallbackKey);
    if (!cell.tooltip.empty()) add("tip=" + cell.tooltip);
    for (const auto& h : cell.highlights) add("hl=" + std::to_string(h.start) + "+" + std::to_string(h.length));
    return out;
}

TEST_F(CellValues, EveryColumn) {
    Shown shown;
    auto context = shown.context();
    context.setPathColumnWidth(16 + 20);
    const std::string root = (shown.dir / "vol").string();
    const auto& drive = shown.drive;
    const auto& catalog = shown.catalog;
    const auto& internal = shown.internal;
    const struct {
        const std::shared_ptr<VolumeState>& volume;
        const char* name;
        const char* column;
        std::string text;
        std::string extras;
    } cases[] = {
        // A folder: a dash for its size, "Folder" never in a badge, the folder icon.
        {drive, "Music", "size", "—", "right"},
        {drive, "Music", "kind", "Folder", ""},
        {drive, "Music", "name", "Music", "icon=folder|"},
        {drive, "Music", "ext", "", ""},
        // Files: name with its type's icons, size, date in the Berlin zone, extension, kind badge.
        {drive, "song.mp3", "name", "song.mp3", "icon=audio-mpeg|audio-x-generic"},
        {drive, "song.mp3", "size", "1.5 KB", "right"},
        {drive, "song.mp3", "date", "03/07/24", "right"},
        {drive, "song.mp3", "ext", "mp3", ""},
        {drive, "song.mp3", "kind", "MP3", "badge"},
        {drive, "README", "kind", "File", "badge"},
        {drive, "README", "size", "10 B", "right"},
        {drive, "data.xyz", "kind", "XYZ", "badge"},
        // Drive and folder of an external drive.
        {drive, "song.mp3", "drive", "Music SSD", "icon=externaldrive|"},
        {drive, "song.mp3", "path", "/Music", "head tip=" + root + "/Music"},
        {drive, "README", "path", "/", "head tip=" + root},
        // Audio facts from the audio table.
        {drive, "song.mp3", "artist", "Artíst", ""},
        {drive, "song.mp3", "title", "Sóng", ""},
        {drive, "song.mp3", "album", "Álbum", ""},
        {drive, "song.mp3", "genre", "House", ""},
        {drive, "song.mp3", "key", "8A", ""},
        {drive, "song.mp3", "year", "2024", "right"},
        {drive, "song.mp3", "bpm", "120.5", "right"},
        {drive, "song.mp3", "duration", "1:00", "right"},
        {drive, "song.mp3", "bitrate", "320 kbit/s VBR", "right"},
        {drive, "song.mp3", "rate", "44.1 kHz", "right"},
        {drive, "song.mp3", "codec", "MP3", ""},
        {drive, "song.mp3", "channels", "Stereo", ""},
        {drive, "song.mp3", "bits", "", "right"},
        {drive, "track.flac", "codec", "FLAC · lossless", ""},
        {drive, "track.flac", "bits", "24 bit", "right"},
        {drive, "track.flac", "channels", "6 channels", ""},
        {drive, "track.flac", "rate", "48 kHz", "right"},
        {drive, "track.flac", "bpm", "128", "right"},
        {drive, "track.flac", "artist", "", ""},
        {drive, "track.flac", "year", "", "right"},
        {drive, "track.flac", "duration", "", "right"},  // zero in the table: no per-file fallback
        {drive, "mono.wav", "channels", "Mono", ""},
        {drive, "mono.wav", "codec", "PCM · lossless", ""},
        {drive, "mono.wav", "bitrate", "1411 kbit/s", "right"},
        {drive, "mono.wav", "duration", "1:00:00", "right"},
        {drive, "odd.ogg", "codec", "?", ""},
        {drive, "odd.ogg", "channels", "", ""},
        {drive, "silent.mp3", "codec", "", ""},
        {drive, "silent.mp3", "duration", "", "right"},
        {drive, "silent.mp3", "bitrate", "", "right"},
        {drive, "silent.mp3", "rate", "", "right"},
        // Per-file metadata for files without an audio row.
        {drive, "clip.mp4", "duration", "1:15", "right"},
        {drive, "clip.mp4", "bitrate", "192 kbit/s", "right"},
        {drive, "clip.mp4", "rate", "48 kHz", "right"},
        {drive, "clip.mp4", "dims", "1920×1080", "right"},
        {drive, "clip.mp4", "artist", "", ""},
        {drive, "photo.png", "dims", "640×480", "right"},
        {drive, "photo.png", "atime", "03/07/24", "right"},
        {drive, "half.jpg", "dims", "", "right"},
        {drive, "doc.pdf", "pages", "12", "right"},
        {drive, "doc.pdf", "atime", "", "right"},
        {drive, "README", "duration", "", "right"},
        // The offline catalog: crossed-out drive symbol, offline on every cell, no creation time.
        {catalog, "gone.mp3", "drive", "Old", "offline icon=externaldrive.badge.xmark|"},
        {catalog, "gone.mp3", "name", "gone.mp3", "offline icon=audio-mpeg|audio-x-generic"},
        {catalog, "gone.mp3", "size", "2.5 KB", "offline right"},
        {catalog, "gone.mp3", "created", "", "offline right"},
        {catalog, "gone.mp3", "path", "/", "offline head tip=/media/me/Old"},
        {catalog, "gone.mp3", "artist", "", "offline"},
        // The internal volume: its drive symbol, display paths cut at the head, a repaired name
        // with the term highlighted after the replacement character.
        {internal, "notes.md", "drive", "Computer", "icon=internaldrive|"},
        {internal, "notes.md", "path", "…/Projects/Quorvanta", "head tip=/home/me/Documents/Projects/Quorvanta"},
        {internal, "Documents", "path", "/", "head tip=/home/me"},
        {internal,
         "\xFF"
         "beat.txt",
         "name",
         "\uFFFD"
         "beat.txt",
         "icon=text-plain|text-x-generic hl=1+4"},
        {internal,
         "\xFF"
         "beat.txt",
         "ext", "txt", ""},
    };
    for (const auto& c : cases) {
        const auto cell = cellContent(context, shown.rowOf(c.volume, c.name), c.column);
        ASSERT_TRUE(cell) << c.name << " " << c.column;
        EXPECT_EQ(cell->text, c.text) << c.name << " " << c.column;
        EXPECT_EQ(extras(*cell), c.extras) << c.name << " " << c.column;
    }
    // Rows with an audio-table row never ask for per-file metadata, whatever their values.
    for (const auto& name : shown.asked) {
        EXPECT_NE(name, "silent.mp3");
        EXPECT_NE(name, "track.flac");
    }
    EXPECT_NE(std::find(shown.asked.begin(), shown.asked.end(), "clip.mp4"), shown.asked.end());
}

TEST_F(CellValues, DescriptionStyle) {
    Shown shown;
    auto context = shown.context(KindStyle::description);
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"song.mp3", "MP3 audio"},
        {"data.xyz", "XYZ"},
        {"README", "File"},
        {"Music", "Folder"},
    };
    for (const auto& c : cases) {
        const auto cell = cellContent(context, shown.rowOf(shown.drive, c.name), "kind");
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->text, c.text) << c.name;
        EXPECT_FALSE(cell->badge) << c.name;
    }
}

TEST_F(CellValues, EveryCatalogueColumnHasCellsAndNothingElse) {
    Shown shown;
    auto context = shown.context();
    for (const ColumnDef& def : ColumnDef::all) {
        const auto cell = cellContent(context, 0, def.id);
        ASSERT_TRUE(cell) << def.id;
        EXPECT_EQ(cell->right, def.right) << def.id;
        EXPECT_EQ(cell->elision == Elision::head, def.id == "path") << def.id;
    }
    EXPECT_FALSE(cellContent(context, 0, "bogus"));
    EXPECT_FALSE(cellContent(context, shown.rows.size(), "name"));

    // Row keys that name no shown volume or no entry give nothing.
    const std::vector<RowKey> stray = {rowKey(3, 0), rowKey(0, shown.drive->index()->count())};
    context.setShown({shown.vols, stray, {}, nullptr});
    EXPECT_FALSE(cellContent(context, 0, "name"));
    EXPECT_FALSE(cellContent(context, 1, "name"));
}

TEST_F(CellValues, ChannelsAndKindDescriptionsFollowTheLanguage) {
    Shown shown;
    auto context = shown.context(KindStyle::description);
    const auto text = [&](const char* name, const char* column) {
        return cellContent(context, shown.rowOf(shown.drive, name), column)->text;
    };
    EXPECT_EQ(text("song.mp3", "kind"), "MP3 audio");
    EXPECT_EQ(text("track.flac", "rate"), "48 kHz");

    core::Lang::shared().setChoice("de");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(text("song.mp3", "kind"), "MP3 audio") << "descriptions are cached per extension";
    context.languageChanged(core::Locale("de"));
    EXPECT_EQ(text("song.mp3", "kind"), "MP3-Audio");
    EXPECT_EQ(text("Music", "kind"), "Ordner");
    EXPECT_EQ(text("mono.wav", "channels"), "Mono");
    EXPECT_EQ(text("track.flac", "channels"), "6 Kanäle");
    EXPECT_EQ(text("track.flac", "codec"), "FLAC · verlustfrei");
    EXPECT_EQ(text("song.mp3", "rate"), "44,1 kHz");
    EXPECT_EQ(text("song.mp3", "date"), "07.03.24");
}

TEST_F(CellValues, AudioSnapshotsFollowTheTable) {
    Shown shown;
    auto context = shown.context();
    auto& index = *shown.drive->index();
    const std::size_t row = shown.rowOf(shown.drive, "song.mp3");
    const auto codec = [&] { return cellContent(context, row, "codec")->text; };
    EXPECT_EQ(codec(), "MP3");

    // A new version of the table replaces the cached snapshot.
    index.audio()->upsert(
        {{test::entryNamed(index, "song.mp3"), 0, audioFacts([](AudioMeta& m) { m.codec = AudioCodec::alac; })}});
    EXPECT_EQ(codec(), "ALAC · lossless");

    // So does a new table on the index, whatever its version.
    auto replacement = std::make_shared<core::AudioTable>();
    index.setAudio(replacement);
    EXPECT_EQ(codec(), "");
    replacement->upsert(
        {{test::entryNamed(index, "song.mp3"), 0, audioFacts([](AudioMeta& m) { m.codec = AudioCodec::opus; })}});
    EXPECT_EQ(codec(), "Opus");

    // Without a table the audio columns are empty and the per-file metadata answers.
    index.setAudio(nullptr);
    shown.metas["song.mp3"] = {.duration = 5};
    EXPECT_EQ(cellContent(context, row, "codec")->text, "");
    EXPECT_EQ(cellContent(context, row, "duration")->text, "0:05");
}

TEST(CellValuesHighlight, RangesInTheDisplayedText) {
    const struct {
        const char* what;
        std::string name;
        std::vector<std::string> terms;
        std::vector<Utf16Range> ranges;
    } cases[] = {
        {"plain", "Beat", {"beat"}, {{0, 4}}},
        {"upper case with a precomposed accent", "BÉAT", {"beat"}, {{0, 4}}},
        {"accented term", "beat", {"béat"}, {{0, 4}}},
        {"accents before the match, shortened by the fold", "ÉÉÉbeat", {"beat"}, {{3, 4}}},
        {"decomposed accent inside the match", "BE\u0301AT", {"beat"}, {{0, 5}}},
        {"a match ending inside a cluster takes it whole", "cafe\u0301s", {"cafe"}, {{0, 5}}},
        {"a match inside a ligature takes it whole", "\uFB01le", {"ile"}, {{0, 3}}},
        {"an emoji before the match", "🎵beat", {"beat"}, {{2, 4}}},
        {"an emoji in the term", "a🎵b", {"🎵"}, {{1, 2}}},
        {"an invalid byte before the match",
         "\xFF"
         "beat",
         {"beat"},
         {{1, 4}}},
        {"a cut-short sequence is one replacement",
         "\xE2\x82"
         "beat",
         {"beat"},
         {{1, 4}}},
        {"repeated occurrences", "beat beat", {"beat"}, {{0, 4}, {5, 4}}},
        {"scanning on after each match", "aaaa", {"aa"}, {{0, 4}}},
        {"overlapping terms join", "beatbox", {"beat", "tbo"}, {{0, 6}}},
        {"touching terms join", "beatbox", {"beat", "box"}, {{0, 7}}},
        {"repeated terms count once", "xbeat", {"beat", "BEAT", "beat"}, {{1, 4}}},
        {"an empty term is ignored", "beat", {"", "at"}, {{2, 2}}},
        {"only empty terms", "beat", {""}, {}},
        {"no match", "Beat", {"beet"}, {}},
        {"no terms", "Beat", {}, {}},
    };
    for (const auto& c : cases) {
        const auto terms = highlightTerms(c.terms);
        EXPECT_EQ(highlightRanges(c.name, terms), c.ranges) << c.what;
    }
}

}  // namespace
}  // namespace quorvanta::app
