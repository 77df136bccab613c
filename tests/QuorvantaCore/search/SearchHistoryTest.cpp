#include "QuorvantaCore/search/SearchHistory.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using List = std::vector<std::string>;

std::vector<std::string> numbered(const char* prefix, int count) {
    List list;
    for (int i = 1; i <= count; ++i) list.push_back(prefix + std::to_string(i));
    return list;
}

struct RuleCase {
    const char* name;
    SearchHistory before;
    std::function<void(SearchHistory&)> change;
    List history;
    List favorites;
};

TEST(SearchHistoryRules, RecordToggleAndRemove) {
    const List fifty = numbered("q", 50);
    List fiftyAfter = {"new"};
    fiftyAfter.insert(fiftyAfter.end(), fifty.begin(), fifty.end() - 1);
    const List hundred = numbered("f", 100);
    List hundredAfter = {"new"};
    hundredAfter.insert(hundredAfter.end(), hundred.begin(), hundred.end() - 1);

    const RuleCase cases[] = {
        {"spaces around are trimmed", {}, [](auto& h) { h.record("  foo  "); }, {"foo"}, {}},
        {"FOO after foo leaves one entry",
         {},
         [](auto& h) {
             h.record("  foo  ");
             h.record("FOO");
         },
         {"FOO"},
         {}},
        {"recording moves an entry to the front", {{"b", "a"}, {}}, [](auto& h) { h.record("a"); }, {"a", "b"}, {}},
        {"every equal entry goes", {{"Foo", "bar", "fOO"}, {}}, [](auto& h) { h.record("foo"); }, {"foo", "bar"}, {}},
        {"the 51st search drops the oldest", {fifty, {}}, [](auto& h) { h.record("new"); }, fiftyAfter, {}},
        {"white space only changes nothing", {{"a"}, {}}, [](auto& h) { h.record(" \t\n\u3000 "); }, {"a"}, {}},
        {"empty text changes nothing", {{"a"}, {}}, [](auto& h) { h.record(""); }, {"a"}, {}},
        {"trailing line feed and no-break space are trimmed",
         {},
         [](auto& h) { h.record("foo bar\n\u00A0"); },
         {"foo bar"},
         {}},
        {"line and paragraph separators and U+0085 are trimmed",
         {},
         [](auto& h) { h.record("\u2028\u0085x y\u2029\r"); },
         {"x y"},
         {}},
        {"Straße equals STRASSE", {{"Straße"}, {}}, [](auto& h) { h.record("STRASSE"); }, {"STRASSE"}, {}},
        {"precomposed é equals decomposed é",
         {{"caf\u00E9"}, {}},
         [](auto& h) { h.record("cafe\u0301"); },
         {"cafe\u0301"},
         {}},
        {"cafe differs from café", {{"café"}, {}}, [](auto& h) { h.record("cafe"); }, {"cafe", "café"}, {}},
        {"Greek capital equals small", {{"ΣΟΦΙΑ"}, {}}, [](auto& h) { h.record("σοφια"); }, {"σοφια"}, {}},

        {"toggling Foo removes foo", {{}, {"foo", "bar"}}, [](auto& h) { h.toggleFavorite("Foo"); }, {}, {"bar"}},
        {"toggling again adds Foo at the front",
         {{}, {"foo", "bar"}},
         [](auto& h) {
             h.toggleFavorite("Foo");
             h.toggleFavorite("Foo");
         },
         {},
         {"Foo", "bar"}},
        {"toggling removes every equal favourite",
         {{}, {"foo", "x", "FOO"}},
         [](auto& h) { h.toggleFavorite(" Foo "); },
         {},
         {"x"}},
        {"a favourite is added trimmed", {}, [](auto& h) { h.toggleFavorite("\tfoo\n"); }, {}, {"foo"}},
        {"the 101st favourite drops the last",
         {{}, hundred},
         [](auto& h) { h.toggleFavorite("new"); },
         {},
         hundredAfter},
        {"toggling white space changes nothing", {{}, {"a"}}, [](auto& h) { h.toggleFavorite("  "); }, {}, {"a"}},
        {"favourites leave the history alone",
         {{"foo"}, {}},
         [](auto& h) { h.toggleFavorite("foo"); },
         {"foo"},
         {"foo"}},

        {"removeHistory is exact: foo stays after Foo",
         {{"foo", "bar"}, {}},
         [](auto& h) { h.removeHistory("Foo"); },
         {"foo", "bar"},
         {}},
        {"removeHistory does not trim", {{"foo"}, {}}, [](auto& h) { h.removeHistory(" foo"); }, {"foo"}, {}},
        {"removeHistory removes every exact copy",
         {{"a", "b", "a"}, {}},
         [](auto& h) { h.removeHistory("a"); },
         {"b"},
         {}},
        {"clearHistory keeps favourites", {{"a", "b"}, {"f"}}, [](auto& h) { h.clearHistory(); }, {}, {"f"}},
    };
    for (const auto& c : cases) {
        SearchHistory h = c.before;
        c.change(h);
        EXPECT_EQ(h.history, c.history) << c.name;
        EXPECT_EQ(h.favorites, c.favorites) << c.name;
    }
}

TEST(SearchHistoryRules, IsFavorite) {
    const SearchHistory h{{}, {"FOO", "Straße", "caf\u00E9"}};
    const struct {
        const char* text;
        bool expected;
    } cases[] = {
        {" foo", true},  {"foo\n", true}, {"strasse", true}, {"CAFE\u0301", true},
        {"cafe", false}, {"fo", false},   {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(h.isFavorite(c.text), c.expected) << c.text;
    EXPECT_FALSE(SearchHistory{}.isFavorite("foo")) << "no favourites";
}

std::string arrayOf(const List& list) { return nlohmann::json(list).dump(); }

TEST(SearchHistoryFile, LoadGivesTheRecordOrAnEmptyOne) {
    const List seventy = numbered(" h", 70);
    const List hundredFifty = numbered("f ", 150);
    const List firstFifty(seventy.begin(), seventy.begin() + 50);
    const List firstHundred(hundredFifty.begin(), hundredFifty.begin() + 100);
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const SearchHistory empty;

    const struct {
        const char* name;
        std::optional<std::string> bytes;  // none: no file
        SearchHistory expected;
    } cases[] = {
        {"missing", std::nullopt, empty},
        {"empty", "", empty},
        {"not JSON", "history: foo", empty},
        {"truncated", R"({"history":["a"],"favorites":["b")", empty},
        {"only history", R"({"history":["a"]})", empty},
        {"only favorites", R"({"favorites":["a"]})", empty},
        {"a key of the wrong type", R"({"history":"a","favorites":[]})", empty},
        {"an array holding a number", R"({"history":["a",1],"favorites":[]})", empty},
        {"an array holding null", R"({"history":[],"favorites":[null]})", empty},
        {"top level an array", R"([["a"],["b"]])", empty},
        {"both keys", R"({"history":["a","b"],"favorites":["c"]})", SearchHistory{{"a", "b"}, {"c"}}},
        {"white space and other keys", " {\n \"favorites\": [],\n \"other\": 1,\n \"history\": [\"x\"]\n}\n",
         SearchHistory{{"x"}, {}}},
        {"70 and 150 entries: first 50 and 100, untrimmed",
         R"({"history":)" + arrayOf(seventy) + R"(,"favorites":)" + arrayOf(hundredFifty) + "}",
         SearchHistory{firstFifty, firstHundred}},
        {"duplicates and untrimmed entries kept", R"({"history":[" a","A","a "],"favorites":["b","b"]})",
         SearchHistory{{" a", "A", "a "}, {"b", "b"}}},
        {"100,000-level nested array", R"({"history":)" + deep + R"(,"favorites":[]})", empty},
        {"nested array at the top", deep, empty},
        {"an array inside the list", R"({"history":[["a"]],"favorites":[]})", empty},
        {"invalid UTF-8 inside a string", "{\"history\":[\"a\xC3\x28\"],\"favorites\":[]}", empty},
        {"escaped non-ASCII", R"({"history":["caf\u00e9 \ud83d\ude00"],"favorites":[]})",
         SearchHistory{{"café 😀"}, {}}},
    };
    for (const auto& c : cases) {
        const test::TempDir dir;
        const auto path = dir / "search-history.json";
        if (c.bytes) dir.write("search-history.json", *c.bytes);
        EXPECT_EQ(SearchHistory::load(path), c.expected) << c.name;
    }
}

TEST(SearchHistoryFile, LoadRefusesAFolder) {
    const test::TempDir dir;
    std::filesystem::create_directory(dir / "search-history.json");
    EXPECT_EQ(SearchHistory::load(dir / "search-history.json"), SearchHistory{});
}

TEST(SearchHistoryFile, SaveThenLoadRoundTrips) {
    const test::TempDir dir;
    const auto path = dir / "search-history.json";
    SearchHistory h;
    h.record("ext:mp3 \"Beyoncé\"");
    h.record("path:\\server\\share");
    h.record("日本語 ファイル");
    h.toggleFavorite("Straße \"quoted\"");
    h.save(path);

    EXPECT_EQ(SearchHistory::load(path), h);
    const std::string bytes = test::readFile(path);
    const auto json = nlohmann::json::parse(bytes);
    ASSERT_TRUE(json.is_object());
    EXPECT_EQ(json.size(), 2u);
    EXPECT_EQ(json.at("history"), nlohmann::json(h.history));
    EXPECT_EQ(json.at("favorites"), nlohmann::json(h.favorites));
    EXPECT_EQ(bytes, json.dump()) << "compact, no white space between tokens";

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SearchHistoryFile, SaveReplacesTheWholeFile) {
    const test::TempDir dir;
    const auto path = dir.write("search-history.json", std::string(10000, 'x'));
    const SearchHistory h{{"a"}, {}};
    h.save(path);
    EXPECT_EQ(test::readFile(path), R"({"favorites":[],"history":["a"]})");
}

TEST(SearchHistoryFile, SaveOfInvalidUtf8WritesReplacementCharacters) {
    const test::TempDir dir;
    const auto path = dir / "search-history.json";
    SearchHistory{{"a\xFF"}, {}}.save(path);
    EXPECT_EQ(SearchHistory::load(path), (SearchHistory{{"a\uFFFD"}, {}}));
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SearchHistoryFile, FailedSavesAreSilentAndLeaveNothingBehind) {
    const SearchHistory h{{"a"}, {"b"}};
    {
        const test::TempDir dir;
        h.save(dir / "missing" / "search-history.json");
        EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
        EXPECT_TRUE(namesIn(dir.path()).empty());
    }
    {
        const test::TempDir dir;
        dir.write("search-history.json/inside", "kept");
        h.save(dir / "search-history.json");
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"search-history.json"});
        EXPECT_EQ(namesIn(dir / "search-history.json"), std::vector<std::string>{"inside"});
        EXPECT_EQ(test::readFile(dir / "search-history.json" / "inside"), "kept");
    }
}

// A write that runs out of room (a file-size limit stands in for a full disk) keeps the old file.
TEST(SearchHistoryFile, SaveThatRunsOutOfRoomKeepsThePreviousFile) {
    const test::TempDir dir;
    const auto path = dir.write("search-history.json", R"({"favorites":["f"],"history":["old"]})");
    const auto outcome = test::runInChild([&]() -> std::string {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64, 64};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
        SearchHistory h;
        for (int i = 0; i < 50; ++i) h.record("a long search text that will not fit " + std::to_string(i));
        h.save(path);
        return "";
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(test::readFile(path), R"({"favorites":["f"],"history":["old"]})");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"search-history.json"});
}

TEST(SearchHistoryFile, FileURLIsInTheDataDirectory) {
    const auto url = SearchHistory::fileURL();
    EXPECT_EQ(url.filename(), "search-history.json");
    EXPECT_EQ(url.parent_path().filename(), "Quorvanta");
}

}  // namespace
}  // namespace quorvanta::core
