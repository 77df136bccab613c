// Fitting the results table's columns to its width, with the header titles measured by a stand-in
// (every title 10 points wide but "Sample rate", 70.2), and the stored column layout read back from
// what a store holds.
#include "QuorvantaApp/model/columns/ColumnFit.h"

#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/columns/ColumnLayout.h"
#include "platform/settings/Settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

double titleWidth(const ColumnDef& column) { return column.title == "Sample rate" ? 70.2 : 10; }

double widthOf(const std::array<double, ColumnDef::all.size()>& widths, std::string_view id) {
    for (std::size_t c = 0; c < ColumnDef::all.size(); ++c)
        if (ColumnDef::all[c].id == id) return widths[c];
    ADD_FAILURE() << "no column " << id;
    return 0;
}

// The "all" category's columns: Size 78, Modified 76, Kind 110, Drive 118, Path 240 (622 together).
const ColumnSet kAll = {"name", "size", "date", "kind", "drive", "path"};
// The audio defaults with Album and Sample rate: 150 + 170 + 150 + 50 + 60 + 104 + 101 (Sample rate
// raised to its title) + 78 + 118 + 240 = 1221.
const ColumnSet kAudio = {"name",    "artist", "title", "album", "bpm", "duration",
                          "bitrate", "rate",   "size",  "drive", "path"};

TEST(ColumnFit, ShrinksTheTextColumnsForTheNameColumnAndGivesItTheSlack) {
    // Shrinking takes the same share of each shrinkable column's width above 80.
    const double narrowShare = 112.0 / 228.0;  // over 622 - 700 + 190 = 112, room 30 + 38 + 160
    const double audioShare = 211.0 / 428.0;   // over 1221 - 1200 + 190 = 211, room 70 + 90 + 70 + 38 + 160
    struct Case {
        const char* what;
        ColumnSet visible;
        ColumnWidths preferred;
        double available;
        std::map<std::string, double> expected;
    };
    const Case cases[] = {
        {"wide: everything as preferred, the name column takes the rest",
         kAll,
         {},
         1200.7,
         {{"name", 578}, {"size", 78}, {"date", 76}, {"kind", 110}, {"drive", 118}, {"path", 240}}},
        {"narrower: Kind, Drive and Path shrink in proportion so that the name column keeps 190",
         kAll,
         {},
         700,
         {{"name", 190},
          {"size", 78},
          {"date", 76},
          {"kind", 110 - 30 * narrowShare},
          {"drive", 118 - 38 * narrowShare},
          {"path", 240 - 160 * narrowShare}}},
        {"narrower still: the shrinkable columns stop at 80 and the name column takes what is left",
         kAll,
         {},
         560,
         {{"name", 166}, {"size", 78}, {"date", 76}, {"kind", 80}, {"drive", 80}, {"path", 80}}},
        {"too narrow even then: the name column at its minimum",
         kAll,
         {},
         400,
         {{"name", 120}, {"size", 78}, {"date", 76}, {"kind", 80}, {"drive", 80}, {"path", 80}}},
        {"widening restores the user's preferred widths and gives the name column the slack",
         kAll,
         {{"path", 300}, {"kind", 90}},
         1400,
         {{"name", 738}, {"size", 78}, {"date", 76}, {"kind", 90}, {"drive", 118}, {"path", 300}}},
        {"a column narrower than 80 is not shrunk, one at 80 neither",
         kAll,
         {{"kind", 60}, {"drive", 80}},
         500,
         {{"name", 126}, {"size", 78}, {"date", 76}, {"kind", 60}, {"drive", 80}, {"path", 80}}},
        {"audio: Artist, Title, Album, Drive and Path shrink; BPM, Duration, Bit rate, Size never",
         kAudio,
         {},
         1200,
         {{"name", 190},
          {"artist", 150 - 70 * audioShare},
          {"title", 170 - 90 * audioShare},
          {"album", 150 - 70 * audioShare},
          {"bpm", 50},
          {"duration", 60},
          {"bitrate", 104},
          {"rate", 101},
          {"size", 78},
          {"drive", 118 - 38 * audioShare},
          {"path", 240 - 160 * audioShare}}},
        {"hidden columns keep their widths and take no room",
         {"name", "path"},
         {{"genre", 200}},
         500,
         {{"name", 260}, {"path", 240}, {"genre", 200}, {"kind", 110}, {"artist", 150}}},
        {"a header title wider than the preferred width raises the column to its need",
         {"name", "rate", "path"},
         {{"rate", 50}},
         800,
         {{"name", 459}, {"rate", 101}, {"path", 240}}},
        {"no shrinkable column shown: nothing shrinks, the name column at its minimum",
         {"name", "rate", "size"},
         {},
         200,
         {{"name", 120}, {"rate", 101}, {"size", 78}}},
    };
    for (const auto& c : cases) {
        const auto widths = ColumnFit::fit(c.preferred, c.visible, c.available, titleWidth);
        for (const auto& [id, width] : c.expected)
            EXPECT_NEAR(widthOf(widths, id), width, 1e-9) << c.what << ": " << id;
        double shown = 0;
        for (std::size_t i = 0; i < widths.size(); ++i)
            if (c.visible.contains(ColumnDef::all[i].id)) shown += widths[i];
        if (widthOf(widths, "name") > ColumnFit::kNameMinimum) {
            EXPECT_NEAR(shown, std::floor(c.available), 1e-9) << c.what << ": the columns fill the width exactly";
        }
    }
}

TEST(ResultsTableLayout, ReadsBackWhatWasSavedAndLeavesOutWhatIsBad) {
    struct Case {
        const char* what;
        std::optional<std::string> stored;  // none: nothing stored
        ColumnLayout expected;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, {}},
        {"not JSON", "order=name,path", {}},
        {"not an object", R"(["name","path"])", {}},
        {"a plain layout",
         R"({"order":["path","name","size"],"widths":{"path":300,"size":90.5}})",
         {{"path", "name", "size"}, {{"path", 300}, {"size", 90.5}}}},
        {"unknown and repeated ids, and ids that are not texts, are left out of the order",
         R"({"order":["path","frobnicate","name","path",7,null,"size"]})",
         {{"path", "name", "size"}, {}}},
        {"bad widths are left out, the good ones kept",
         R"({"widths":{"path":"wide","size":-3,"date":39.9,"kind":4000.5,"drive":true,"ext":40,"pages":4000,)"
         R"("unknown":100,"name":500,"title":null}})",
         {{}, {{"ext", 40}, {"pages", 4000}}}},
        {"order and widths of the wrong shape", R"({"order":{"a":1},"widths":[1,2]})", {}},
        {"nested deeper than the layout", R"({"order":[["path"]],"widths":{"path":{"w":3}}})", {}},
    };
    for (const auto& c : cases) {
        platform::MemorySettings d;
        if (c.stored) d.setData(ColumnLayout::key, *c.stored);
        EXPECT_EQ(ColumnLayout::load(d), c.expected) << c.what;
    }

    platform::MemorySettings d;
    const ColumnLayout layout{{"size", "name", "path"}, {{"path", 320}, {"kind", 95.5}}};
    layout.save(d);
    EXPECT_EQ(ColumnLayout::load(d), layout);
}

}  // namespace
}  // namespace quorvanta::app
