#include "QuorvantaApp/model/prefs/Category.h"

#include "QuorvantaCore/lang/Lang.h"
#include "tests/QuorvantaApp/model/prefs/PrefsPrinters.h"
#include "tests/QuorvantaCore/query/QueryPrinter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

// The term as a one-term query: "[[ext(mp3,flac)]]"; "!" would mark a negated term, "^" a
// case-sensitive one; "none" when the category adds no term.
std::string printedTerm(const Category& category) {
    const auto term = category.term();
    return term ? test::printed(core::Query{}.andTerm(*term)) : "none";
}

TEST(Category, DefaultsAndBuiltIns) {
    std::vector<std::string> shown;
    for (const auto& c : Category::defaults()) shown.push_back(c.id + "|" + c.name + "|" + c.symbol);
    EXPECT_EQ(shown, (std::vector<std::string>{"audio||music.note", "video||film", "images||photo", "docs||doc.text",
                                               "archives||archivebox"}));
    EXPECT_EQ(Category::all(), (Category{"all", "", "square.grid.2x2", ""}));
    EXPECT_EQ(Category::folders(), (Category{"folders", "", "folder", ""}));
    EXPECT_EQ(Category::legacyNames[2], (std::pair<std::string_view, std::string_view>{"images", "Bilder"}));

    const Category a{"x", "n", "s", "*.a"};
    for (const Category& other : {Category{"y", "n", "s", "*.a"}, Category{"x", "m", "s", "*.a"},
                                  Category{"x", "n", "t", "*.a"}, Category{"x", "n", "s", "*.b"}})
        EXPECT_NE(a, other) << "every field counts: " << other.id << other.name << other.symbol << other.patterns;
}

TEST(Category, Term) {
    struct Case {
        Category category;
        std::string term;
    };
    const Case cases[] = {
        {Category::all(), "none"},
        {Category::folders(), "[[kind dir]]"},
        {Category::defaults()[0], "[[ext(mp3,flac,wav,aiff,aif,m4a,ogg,wma,aac,opus,alac,ape)]]"},
        {Category::defaults()[4], "[[ext(zip,rar,7z,tar,gz,tgz,bz2,xz,dmg,iso)]]"},
        {{"mine", "Mine", "star", "*.MP3; .flac,*.* ,a/b;mp3 *?x"}, "[[ext(mp3,flac)]]"},  // rejected dropped
        {{"empty", "", "star", ""}, "[[ext()]]"},
        {{"folders", "", "folder", "*.mp3"}, "[[kind dir]]"},  // the id decides, not the patterns
        {{"all", "", "star", "*.mp3"}, "none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(printedTerm(c.category), c.term) << c.category.id << " " << c.category.patterns;
}

TEST(Category, DisplayNameFollowsTheLanguage) {
    struct Case {
        std::string id;
        std::string name;
        std::string english;
        std::string german;
    };
    const Case cases[] = {
        {"all", "", "All", "Alle"},
        {"folders", "", "Folders", "Ordner"},
        {"audio", "", "Audio", "Audio"},
        {"video", "", "Video", "Video"},
        {"images", "", "Images", "Bilder"},
        {"docs", "", "Documents", "Dokumente"},
        {"archives", "", "Archives", "Archive"},
        {"mine", "", "New", "Neu"},
        {"images", "Photos", "Photos", "Photos"},  // the user's own name as it stands
    };
    auto& lang = core::Lang::shared();
    const std::string before = lang.choice();
    lang.setChoice("en");
    for (const auto& c : cases) EXPECT_EQ((Category{c.id, c.name, "", ""}.displayName()), c.english) << c.id;
    lang.setChoice("de");
    for (const auto& c : cases) EXPECT_EQ((Category{c.id, c.name, "", ""}.displayName()), c.german) << c.id;
    lang.setChoice(before);
}

TEST(Category, JSONRoundTrip) {
    const std::vector<Category> list = {Category::defaults()[1], {"mine", "Mixes \"live\"", "star", "*.wav"}};
    const std::string json = encodeCategories(list);
    EXPECT_EQ(json.substr(0, 70), R"([{"id":"video","name":"","patterns":"*.mp4;*.mov;*.mkv;*.avi;*.m4v;*.w)");
    EXPECT_EQ(decodeCategories(json), list);
    EXPECT_EQ(decodeCategories(encodeCategories({})), std::vector<Category>{});
    EXPECT_EQ(decodeCategories(R"([{"id":"a","name":"","symbol":"s","patterns":"","extra":1}])"),
              (std::vector<Category>{{"a", "", "s", ""}}))
        << "other members are ignored";
}

}  // namespace
}  // namespace quorvanta::app
