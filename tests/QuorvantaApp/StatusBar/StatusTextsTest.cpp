// The status bar's texts from plain values: the summary, a chip's state and drive glyph, and a
// chip's tooltip, in English and German.
#include "QuorvantaApp/StatusBar/StatusTexts.h"

#include "tests/support/LanguageScope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace quorvanta::app {
namespace {

using quorvanta::test::LanguageScope;
using namespace std::chrono_literals;

const std::string kClickHint = "Click: show or hide this drive in the results (it stays indexed)";

TEST(StatusBarSummary, FirstCaseThatApplies) {
    const struct {
        const char* language;
        SummaryFacts facts;
        const char* text;
        bool isError;
    } cases[] = {
        // The query error wins over the empty state and over rows.
        {"en", {"ext: needs a value", true, 5000, 7, 3.0}, "Invalid search: ext: needs a value", true},
        {"en", {"ext: needs a value", false, 0, 1234, 3.0}, "Invalid search: ext: needs a value", true},
        {"de", {"ext: needs a value", false, 0, 1234, 3.0}, "Ungültige Suche: ext: needs a value", true},
        // The total of the entries, grouped in the interface language's way.
        {"en", {std::nullopt, true, 1234567, 99, 5.0}, "1,234,567 entries indexed", false},
        {"de", {std::nullopt, true, 1234567, 99, 5.0}, "1.234.567 Einträge indexiert", false},
        {"en", {std::nullopt, true, 0, 0, 0.0}, "0 entries indexed", false},
        // The hits as plain digits, the time with one fraction digit.
        {"en", {std::nullopt, false, 5000, 1234567, 12.34}, "1234567 hits · 12.3 ms", false},
        {"de", {std::nullopt, false, 5000, 1234567, 12.34}, "1234567 Treffer · 12,3 ms", false},
        {"en", {std::nullopt, false, 5000, 0, 0.0}, "0 hits · 0.0 ms", false},
        {"en", {std::nullopt, false, 5000, 3, 1500.06}, "3 hits · 1,500.1 ms", false},
    };
    for (const auto& c : cases) {
        LanguageScope language(c.language);
        const Summary summary = statusSummary(c.facts);
        EXPECT_EQ(summary.text, c.text) << c.language;
        EXPECT_EQ(summary.isError, c.isError) << c.text;
    }
}

ChipFacts facts(std::int64_t count) {
    ChipFacts f;
    f.name = "Backup";
    f.root = "/media/alex/Backup";
    f.count = count;
    f.seconds = 12.46;
    return f;
}

TEST(VolumeChipState, FirstCaseThatAppliesInOrder) {
    LanguageScope language("en");
    const auto with = [](auto change) {
        ChipFacts f = facts(1234);
        change(f);
        return f;
    };
    const struct {
        const char* what;
        ChipFacts facts;
        ChipStateKind kind;
        const char* text;
    } cases[] = {
        {"offline with a failure", with([](ChipFacts& f) {
             f.offline = true;
             f.failure = "gone";
             f.scanning = true;
         }),
         ChipStateKind::offline, "1,234 · not connected"},
        {"failure while scanning", with([](ChipFacts& f) {
             f.failure = "Cannot open “/media/alex/Backup”";
             f.scanning = true;
         }),
         ChipStateKind::failure, "Cannot open “/media/alex/Backup”"},
        {"scanning while updating", with([](ChipFacts& f) {
             f.scanning = true;
             f.updating = true;
         }),
         ChipStateKind::scanning, "1,234 · scanning …"},
        {"updating during audio", with([](ChipFacts& f) {
             f.updating = true;
             f.audioRunning = true;
             f.audioTotal = 10;
         }),
         ChipStateKind::updating, "1,234 · updating …"},
        {"audio 3 of 10", with([](ChipFacts& f) {
             f.audioRunning = true;
             f.audioDone = 3;
             f.audioTotal = 10;
         }),
         ChipStateKind::audio, "1,234 · audio 3/10"},
        {"audio grouped", with([](ChipFacts& f) {
             f.audioRunning = true;
             f.audioDone = 1500;
             f.audioTotal = 20000;
         }),
         ChipStateKind::audio, "1,234 · audio 1,500/20,000"},
        {"audio running with a total of 0", with([](ChipFacts& f) {
             f.audioRunning = true;
             f.audioTotal = 0;
         }),
         ChipStateKind::idle, "1,234"},
        {"audio done, not running", with([](ChipFacts& f) {
             f.audioDone = 10;
             f.audioTotal = 10;
         }),
         ChipStateKind::idle, "1,234"},
        {"idle", facts(1234), ChipStateKind::idle, "1,234"},
    };
    for (const auto& c : cases) {
        const ChipState state = chipState(c.facts);
        EXPECT_EQ(state.kind, c.kind) << c.what;
        EXPECT_EQ(state.text, c.text) << c.what;
        const bool spins =
            c.kind == ChipStateKind::scanning || c.kind == ChipStateKind::updating || c.kind == ChipStateKind::audio;
        EXPECT_EQ(state.spins(), spins) << c.what;
        EXPECT_EQ(state.checked(), c.kind == ChipStateKind::idle) << c.what;
    }
}

TEST(VolumeChipState, GermanCountsAndTexts) {
    LanguageScope language("de");
    ChipFacts f = facts(1234567);
    EXPECT_EQ(chipState(f).text, "1.234.567") << "the bare count is not looked up, only grouped";
    f.audioRunning = true;
    f.audioDone = 3;
    f.audioTotal = 10;
    EXPECT_EQ(chipState(f).text, "1.234.567 · Audio 3/10");
    f.scanning = true;
    EXPECT_EQ(chipState(f).text, "1.234.567 · wird gescannt …");
    f.offline = true;
    EXPECT_EQ(chipState(f).text, "1.234.567 · nicht verbunden");
}

TEST(VolumeChipState, DriveGlyph) {
    const struct {
        bool offline;
        bool isInternal;
        const char* glyph;
    } cases[] = {
        {true, true, "externaldrive.badge.xmark"},
        {true, false, "externaldrive.badge.xmark"},
        {false, true, "internaldrive"},
        {false, false, "externaldrive"},
    };
    for (const auto& c : cases) {
        ChipFacts f = facts(1);
        f.offline = c.offline;
        f.isInternal = c.isInternal;
        EXPECT_EQ(driveGlyph(f), c.glyph) << c.offline << c.isInternal;
    }
}

TEST(VolumeChipTooltip, StateParagraphThenTheClickHint) {
    const core::Calendar berlin = *core::Calendar::named("Europe/Berlin");
    // 2024-03-07 15:00 UTC: 16:00 in Berlin.
    const std::chrono::system_clock::time_point saved{std::chrono::seconds(1709823600)};
    const auto with = [](auto change) {
        ChipFacts f = facts(1234);
        change(f);
        return f;
    };
    const struct {
        const char* language;
        const char* what;
        ChipFacts facts;
        std::string first;
    } cases[] = {
        {"en", "offline with a date", with([&](ChipFacts& f) {
             f.offline = true;
             f.catalogDate = saved;
             f.failure = "gone";
         }),
         "Backup is not connected. The catalog (1,234 entries, as of Mar 7, 2024, 4:00\u202fPM) stays searchable."},
        {"de", "offline with a date", with([&](ChipFacts& f) {
             f.offline = true;
             f.catalogDate = saved;
         }),
         "Backup ist nicht verbunden. Der Katalog (1.234 Einträge, Stand 7. März 2024, 16:00) bleibt durchsuchbar."},
        {"en", "offline without a date", with([](ChipFacts& f) { f.offline = true; }),
         "Backup is not connected. The catalog (1,234 entries, as of ?) stays searchable."},
        {"en", "scanning, failed", with([](ChipFacts& f) {
             f.scanning = true;
             f.failure = "Cannot open";
         }),
         "/media/alex/Backup: 1,234 entries so far, searching already works on what is there"},
        {"en", "updating during audio", with([](ChipFacts& f) {
             f.updating = true;
             f.audioRunning = true;
             f.audioTotal = 4;
         }),
         "/media/alex/Backup: 1,234 entries from the snapshot, changes since the last run are being replayed"},
        {"en", "idle", facts(1234567), "/media/alex/Backup: 1,234,567 entries in 12.5 s"},
        {"de", "idle", facts(1234567), "/media/alex/Backup: 1.234.567 Einträge in 12,5 s"},
        {"en", "failed", with([](ChipFacts& f) { f.failure = "Cannot open"; }),
         "/media/alex/Backup: 1,234 entries in 12.5 s"},
    };
    for (const auto& c : cases) {
        LanguageScope language(c.language);
        const std::string hint = std::string(c.language) == "de"
                                     ? "Klick: dieses Laufwerk in den Ergebnissen zeigen oder ausblenden (es bleibt "
                                       "indexiert)"
                                     : kClickHint;
        EXPECT_EQ(chipTooltip(c.facts, berlin), c.first + "\n\n" + hint) << c.language << ": " << c.what;
    }
}

}  // namespace
}  // namespace quorvanta::app
