// ColumnSets over an in-memory settings store, and the header column menu built from a set.
#include "QuorvantaApp/model/columns/ColumnSets.h"

#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/columns/HeaderMenu.h"
#include "QuorvantaApp/model/columns/KindStyle.h"
#include "platform/settings/Settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::app {
namespace {

// Resets the process-wide override around each test.
class ColumnSetsTest : public testing::Test {
protected:
    void SetUp() override { ColumnSets::forced.reset(); }
    void TearDown() override { ColumnSets::forced.reset(); }
};

std::string joined(const ColumnSet& ids) {
    std::string text;
    for (const auto& id : ids) text += (text.empty() ? "" : ",") + id;
    return text;
}

// The set of `ids` with the name column, as `visible` gives it.
ColumnSet withName(std::vector<std::string> ids) {
    ColumnSet set(ids.begin(), ids.end());
    set.insert("name");
    return set;
}

const std::vector<std::string> kAllCategories = {"all",    "folders", "audio",    "video",
                                                 "images", "docs",    "archives", "user-7"};

TEST_F(ColumnSetsTest, CatalogueLookups) {
    for (const ColumnDef& def : ColumnDef::all) EXPECT_EQ(ColumnDef::byID(def.id), &def) << def.id;
    EXPECT_EQ(ColumnDef::byID("bogus"), nullptr);
    EXPECT_EQ(ColumnDef::byID(""), nullptr);
    for (const auto id : ColumnDef::audioTags) {
        ASSERT_NE(ColumnDef::byID(id), nullptr) << id;
        EXPECT_TRUE(ColumnDef::isAudioTag(id)) << id;
    }
    EXPECT_FALSE(ColumnDef::isAudioTag("duration"));
    EXPECT_EQ(ColumnDef::all.front().id, "name");
    EXPECT_EQ(ColumnDef::all.back().id, "path");
}

TEST_F(ColumnSetsTest, VisibleSetsAndToggles) {
    using Store = std::function<void(platform::Settings&)>;
    const auto data = [](std::string json) {
        return [json](platform::Settings& d) { d.setData(ColumnSets::defaultsKey, json); };
    };
    const Store nothing = [](platform::Settings&) {};
    const std::vector<std::string> docsWithKind = {"name", "pages", "size", "date", "kind", "drive", "path"};

    struct Case {
        const char* what;
        Store store;
        std::optional<ColumnSet> forced;
        std::vector<std::pair<std::string, std::string>> toggles;  // (column id, category)
        std::vector<std::pair<std::string, ColumnSet>> visible;    // category -> visible set
        std::optional<std::string> stored;                         // the stored text afterwards
    };
    const ColumnSet allDefaults = withName({"size", "date", "kind", "drive", "path"});
    const Case cases[] = {
        {"nothing stored: the defaults of each category",
         nothing,
         std::nullopt,
         {},
         {{"audio", withName({"artist", "title", "bpm", "duration", "bitrate", "size", "drive", "path"})},
          {"video", withName({"duration", "dims", "size", "date", "drive", "path"})},
          {"images", withName({"dims", "size", "date", "drive", "path"})},
          {"docs", withName({"pages", "size", "date", "drive", "path"})},
          {"all", allDefaults},
          {"folders", allDefaults},
          {"archives", allDefaults},
          {"user-7", allDefaults}},
         std::nullopt},
        {"a stored set without name still shows the name column",
         data(R"({"audio":["size","path"]})"),
         std::nullopt,
         {},
         {{"audio", withName({"size", "path"})}, {"images", withName({"dims", "size", "date", "drive", "path"})}},
         R"({"audio":["size","path"]})"},
        {"an empty stored array shows the name column alone",
         data(R"({"docs":[]})"),
         std::nullopt,
         {},
         {{"docs", withName({})}},
         R"({"docs":[]})"},
        {"toggling Kind on in docs stores catalogue order and keeps the other categories",
         data(R"({"audio":["title","name"]})"),
         std::nullopt,
         {{"kind", "docs"}},
         {{"docs", withName(docsWithKind)}, {"audio", withName({"title"})}},
         R"({"audio":["title","name"],"docs":["name","pages","size","date","kind","drive","path"]})"},
        {"toggling twice gives the set back",
         nothing,
         std::nullopt,
         {{"genre", "audio"}, {"genre", "audio"}},
         {{"audio", withName({"artist", "title", "bpm", "duration", "bitrate", "size", "drive", "path"})}},
         R"({"audio":["name","artist","title","bpm","duration","bitrate","size","drive","path"]})"},
        {"forced size,path in every category, over what is stored",
         data(R"({"audio":["artist"],"all":["kind"]})"),
         ColumnSet{"size", "path"},
         {},
         {{"all", withName({"size", "path"})},
          {"audio", withName({"size", "path"})},
          {"docs", withName({"size", "path"})},
          {"user-7", withName({"size", "path"})}},
         R"({"audio":["artist"],"all":["kind"]})"},
        {"a toggle under forced stores the forced set toggled and leaves the view forced",
         nothing,
         ColumnSet{"size", "path"},
         {{"kind", "images"}},
         {{"images", withName({"size", "path"})}},
         R"({"images":["name","size","kind","path"]})"},
        {"a stored text counts as absent; a toggle starts from an empty object",
         data(R"("audio")"),
         std::nullopt,
         {{"kind", "all"}},
         {{"audio", withName({"artist", "title", "bpm", "duration", "bitrate", "size", "drive", "path"})},
          {"all", withName({"size", "date", "drive", "path"})}},
         R"({"all":["name","size","date","drive","path"]})"},
        {"a stored array counts as absent",
         data(R"(["name","size"])"),
         std::nullopt,
         {{"ext", "docs"}},
         {{"docs", withName({"pages", "size", "date", "ext", "drive", "path"})}, {"all", allDefaults}},
         R"({"docs":["name","pages","size","date","ext","drive","path"]})"},
        {"an object of numbers counts as absent",
         data(R"({"audio":[1,2],"docs":["size"]})"),
         std::nullopt,
         {{"kind", "video"}},
         {{"docs", withName({"pages", "size", "date", "drive", "path"})},
          {"video", withName({"duration", "dims", "size", "date", "kind", "drive", "path"})}},
         R"({"video":["name","duration","dims","size","date","kind","drive","path"]})"},
        {"an object of texts counts as absent",
         data(R"({"audio":"size"})"),
         std::nullopt,
         {},
         {{"audio", withName({"artist", "title", "bpm", "duration", "bitrate", "size", "drive", "path"})}},
         R"({"audio":"size"})"},
        {"arrays nested deeper count as absent",
         data(R"({"audio":[["size"]]})"),
         std::nullopt,
         {},
         {{"audio", withName({"artist", "title", "bpm", "duration", "bitrate", "size", "drive", "path"})}},
         R"({"audio":[["size"]]})"},
        {"text that is not JSON counts as absent",
         data(R"({"audio":["size"])"),
         std::nullopt,
         {{"size", "audio"}},
         {{"audio", withName({"artist", "title", "bpm", "duration", "bitrate", "drive", "path"})}},
         R"({"audio":["name","artist","title","bpm","duration","bitrate","drive","path"]})"},
        {"a value of another kind than data counts as absent",
         [](platform::Settings& d) { d.setTextList(ColumnSets::defaultsKey, {"size"}); },
         std::nullopt,
         {},
         {{"all", allDefaults}},
         std::nullopt},
        {"unknown stored ids stay in the set; storing drops them",
         data(R"({"all":["bogus","size"],"docs":["x"]})"),
         std::nullopt,
         {{"path", "all"}},
         {{"all", withName({"size", "path"})}, {"docs", withName({"x"})}},
         R"({"all":["name","size","path"],"docs":["x"]})"},
        {"unknown forced ids stay in the set",
         nothing,
         ColumnSet{"bogus", "size"},
         {},
         {{"audio", withName({"bogus", "size"})}},
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::MemorySettings d;
        c.store(d);
        ColumnSets::forced = c.forced;
        for (const auto& [id, category] : c.toggles) toggle(id, category, d);
        for (const auto& [category, expected] : c.visible)
            EXPECT_EQ(joined(ColumnSets::visible(category, d)), joined(expected)) << "category " << category;
        if (c.stored)
            EXPECT_EQ(d.data(ColumnSets::defaultsKey), *c.stored);
        else
            EXPECT_FALSE(d.data(ColumnSets::defaultsKey).has_value());
    }
}

// The menu as lines: "# heading", "---", "[x] id Title" or "[ ] id Title".
std::vector<std::string> lines(const std::vector<HeaderMenuEntry>& menu) {
    std::vector<std::string> out;
    for (const auto& e : menu) {
        switch (e.kind) {
            case HeaderMenuEntry::Kind::heading:
                out.push_back("# " + std::string(e.title) + (e.id.empty() ? "" : " id?"));
                break;
            case HeaderMenuEntry::Kind::separator:
                out.push_back(e.id.empty() && e.title.empty() ? "---" : "--- ?");
                break;
            case HeaderMenuEntry::Kind::item:
                out.push_back(std::string(e.checked ? "[x] " : "[ ] ") + std::string(e.id) + " " +
                              std::string(e.title));
                break;
        }
    }
    return out;
}

TEST_F(ColumnSetsTest, HeaderMenuListsEveryColumnButNameUnderItsGroup) {
    platform::MemorySettings d;
    const std::vector<std::string> expected = {
        "# Audio tags",
        "[x] artist Artist",
        "[x] title Title",
        "[ ] album Album",
        "[ ] genre Genre",
        "[ ] year Year",
        "[x] bpm BPM",
        "[ ] key Key",
        "---",
        "# Audio / Video",
        "[x] duration Duration",
        "[x] bitrate Bit rate",
        "[ ] rate Sample rate",
        "[ ] codec Codec",
        "[ ] bits Bit depth",
        "[ ] channels Channels",
        "---",
        "# Image / Video",
        "[ ] dims Dimensions",
        "---",
        "# Document",
        "[ ] pages Pages",
        "---",
        "# File",
        "[x] size Size",
        "[ ] date Modified",
        "[ ] created Created",
        "[ ] atime Last opened",
        "[ ] ext Extension",
        "[ ] kind Kind",
        "[x] drive Drive",
        "[x] path Path",
    };
    EXPECT_EQ(lines(headerMenu(ColumnSets::visible("audio", d))), expected);
}

TEST_F(ColumnSetsTest, HeaderMenuChecksOnlyCatalogueColumns) {
    // Unknown ids match no item; the name column is never listed, even when the set holds it.
    const auto menu = headerMenu(ColumnSet{"name", "bogus", "kind"});
    std::vector<std::string> checked;
    for (const auto& e : menu)
        if (e.checked) checked.emplace_back(e.id);
    EXPECT_EQ(checked, std::vector<std::string>{"kind"});
    for (const auto& e : menu) EXPECT_NE(e.id, "name");
    EXPECT_EQ(menu.front().kind, HeaderMenuEntry::Kind::heading);
    EXPECT_EQ(menu.front().title, "Audio tags");
}

TEST_F(ColumnSetsTest, KindStyleReadsDescriptionOrElseBadge) {
    struct Case {
        std::function<void(platform::Settings&)> store;
        KindStyle style;
    };
    const Case cases[] = {
        {[](platform::Settings&) {}, KindStyle::badge},
        {[](platform::Settings& d) { d.setText(kindStyleKey, "description"); }, KindStyle::description},
        {[](platform::Settings& d) { d.setText(kindStyleKey, "badge"); }, KindStyle::badge},
        {[](platform::Settings& d) { d.setText(kindStyleKey, "Description"); }, KindStyle::badge},
        {[](platform::Settings& d) { d.setBoolean(kindStyleKey, true); }, KindStyle::badge},
        {[](platform::Settings& d) {
             d.setText(kindStyleKey, "badge");
             d.setOverlay(kindStyleKey, std::string("description"));
         },
         KindStyle::description},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        platform::MemorySettings d;
        cases[i].store(d);
        EXPECT_EQ(kindStyle(d), cases[i].style) << "case " << i;
    }
}

}  // namespace
}  // namespace quorvanta::app
