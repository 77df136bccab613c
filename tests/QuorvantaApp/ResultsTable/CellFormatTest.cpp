// The cells' formatters: play times, decimals and two-digit dates in the eight interface
// languages, the Path column's folder text, and cutting a folder text at its head.
#include "QuorvantaApp/ResultsTable/CellFormat.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/util/Format.h"
#include "tests/QuorvantaApp/ResultsTable/CellFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using core::Format;
using core::Locale;
using core::test::IndexEntry;

TEST(CellFormat, Hms) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {59.6, "1:00"},
        {3600, "1:00:00"},
        {0, "0:00"},
        {0.4, "0:00"},
        {59.4, "0:59"},
        {61, "1:01"},
        {3599.4, "59:59"},
        {3599.5, "1:00:00"},
        {86399, "23:59:59"},
        {360000, "100:00:00"},
        {-1, ""},
        {std::numeric_limits<double>::quiet_NaN(), ""},
        {std::numeric_limits<double>::infinity(), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CellFormat::hms(c.seconds), c.text) << c.seconds;
}

TEST(CellFormat, Dec) {
    const struct {
        double value;
        int least, most;
        const char* locale;
        const char* text;
    } cases[] = {
        {44100 / 1000.0, 0, 1, "en", "44.1"},
        {48000 / 1000.0, 0, 1, "en", "48"},
        {44100 / 1000.0, 0, 1, "de", "44,1"},
        {120.5, 0, 1, "en", "120.5"},
        {120.0, 0, 1, "fr", "120"},
        {88.2, 0, 1, "en", "88.2"},
        {48.0, 1, 2, "en", "48.0"},
        {1234.5, 0, 1, "en", "1,234.5"},
        {1234.5, 0, 1, "de", "1.234,5"},
        {2.5, 2, 1, "en", "2.5"},  // a minimum above the maximum counts as the maximum
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format::dec(c.value, c.least, c.most, Locale(c.locale)), c.text)
            << c.value << " " << c.least << "..." << c.most << " in " << c.locale;
}

TEST(CellFormat, DateIsTwoDigitsInTheLanguagesOrderAndTheCalendarsZone) {
    // 2024-03-06 23:30 UTC is already 2024-03-07 in Berlin.
    const std::int64_t instant = 1'709'767'800;
    const auto berlin = core::Calendar::named("Europe/Berlin");
    const auto utc = core::Calendar::named("UTC");
    ASSERT_TRUE(berlin && utc);
    const struct {
        const char* locale;
        const char* text;
    } cases[] = {
        {"en", "03/07/24"}, {"de", "07.03.24"},    {"es", "07/03/24"}, {"it", "07/03/24"},
        {"fr", "07/03/24"}, {"pt-BR", "07/03/24"}, {"nl", "07-03-24"}, {"ja", "24/03/07"},
    };
    for (const auto& c : cases) EXPECT_EQ(Format::date(instant, Locale(c.locale), *berlin), c.text) << c.locale;
    EXPECT_EQ(Format::date(instant, Locale("en"), *utc), "03/06/24");
    EXPECT_EQ(Format::date(0, Locale("de"), *utc), "01.01.70");
}

TEST(CellFormat, Folder) {
    // An external drive mounted at /media/me/Music, and the internal volume shown below /home/me.
    const std::vector<IndexEntry> music = {
        {"/media/me/Music", FIDX_NONE, 0},
        {"Albums", 0, FIDX_FOLDER},
        {"top.mp3", 0},
        {"X", 1, FIDX_FOLDER},
        {"Y", 3, FIDX_FOLDER},
        {"song.mp3", 4},
    };
    const auto drive = test::onlineVolume({"Music", "/media/me/Music"}, music);
    const auto catalog = test::offlineVolume("Music", "/media/me/Music", core::test::buildIndex(music));
    const auto internal = test::onlineVolume({"Computer", "/", true, "/home/me"}, {{"/", FIDX_NONE, 0},
                                                                                   {"home", 0, FIDX_FOLDER},
                                                                                   {"etc", 0, FIDX_FOLDER},
                                                                                   {"me", 1, FIDX_FOLDER},
                                                                                   {"hosts", 2},
                                                                                   {"Documents", 3, FIDX_FOLDER},
                                                                                   {"note.txt", 3},
                                                                                   {"a.txt", 5}});
    const struct {
        const std::shared_ptr<VolumeState>& volume;
        const char* name;
        const char* shown;
        const char* full;
    } cases[] = {
        {drive, "song.mp3", "/Albums/X/Y", "/media/me/Music/Albums/X/Y"},
        {drive, "top.mp3", "/", "/media/me/Music"},
        {drive, "Albums", "/", "/media/me/Music"},
        {drive, "/media/me/Music", "", ""},
        {catalog, "song.mp3", "/Albums/X/Y", "/media/me/Music/Albums/X/Y"},
        {catalog, "top.mp3", "/", "/media/me/Music"},
        {internal, "a.txt", "/Documents", "/home/me/Documents"},
        {internal, "note.txt", "/", "/home/me"},
        {internal, "hosts", "/etc", "/etc"},
        {internal, "home", "/", "/"},
    };
    for (const auto& c : cases) {
        const auto folder = CellFormat::folder(*c.volume, test::entryNamed(*c.volume->index(), c.name));
        EXPECT_EQ(folder.shown, c.shown) << c.name << " on " << c.volume->name();
        EXPECT_EQ(folder.full, c.full) << c.name << " on " << c.volume->name();
    }
}

// One unit per character (code point).
double charactersWide(std::string_view text) {
    double n = 0;
    for (const unsigned char b : text) n += (b & 0xC0) != 0x80;
    return n;
}

TEST(CellFormat, HeadTruncate) {
    const struct {
        const char* text;
        double width;
        const char* shown;
    } cases[] = {
        {"/Albums/X/Y", 11, "/Albums/X/Y"},              // fits exactly
        {"/Albums/X/Y", 100, "/Albums/X/Y"},             // fits
        {"/Users/me/Music/Albums/X", 12, "…/Albums/X"},  // the trailing components that fit
        {"/Users/me/Music/Albums/X", 16, "…/Music/Albums/X"},
        {"/Users/me/Music/Albums/X", 15, "…/Albums/X"},
        {"/Users//me/Music/", 12, "…/me/Music"},  // empty components are dropped
        {"/Users/me/Music/Albums/X", 2, "…/X"},   // at least the last component, even if it does not fit
        {"/averyveryverylongname", 5, "…/averyveryverylongname"},  // one component that does not fit
        {"/Müsik/Ålbum/Ünïcode", 15, "…/Ålbum/Ünïcode"},
        {"/Müsik/Ålbum/Ünïcode", 14, "…/Ünïcode"},
        {"", 0, ""},
        {"//", 1, "//"},  // nothing to cut
    };
    for (const auto& c : cases)
        EXPECT_EQ(CellFormat::headTruncate(c.text, c.width, charactersWide), c.shown) << c.text << " in " << c.width;
}

}  // namespace
}  // namespace quorvanta::app
