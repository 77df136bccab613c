#include "QuorvantaApp/model/prefs/SourceConfig.h"

#include "QuorvantaApp/model/prefs/Prefs.h"

#include "QuorvantaCore/json/JSONText.h"
#include "tests/QuorvantaApp/model/prefs/PrefsPrinters.h"
#include "tests/fuzz/PrefsValuesOracle.h"
#include "tests/support/Mutations.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using core::RescanInterval;

// A stored "sources" text and the map a start reads from it.
TEST(SourceConfig, StoredSourcesAreReadEntryByEntry) {
    const SourceConfig documents{.enabled = true, .whole = false, .folders = {"home/u/Documents"}, .rescan = {}};
    const SourceConfig nas{.enabled = true, .whole = true, .folders = {}, .rescan = {}};
    const auto withRescan = [&](std::string_view rescan) {
        return R"({"uuid-1":{"enabled":true,"whole":false,"folders":["home/u/Documents"]},)"
               R"("smb://nas/share":{"enabled":true,"whole":true,"folders":[],"rescan":)" +
               std::string(rescan) + "}}";
    };
    const auto nasWith = [&](std::optional<RescanInterval> rescan) {
        SourceConfig config = nas;
        config.rescan = rescan;
        return config;
    };
    struct Case {
        std::string name;
        std::string stored;
        SourceMap expected;
    };
    const Case cases[] = {
        {"no rescan",
         R"({"uuid-1":{"enabled":true,"whole":false,"folders":["home/u/Documents"]},)"
         R"("smb://nas/share":{"enabled":true,"whole":true,"folders":[]}})",
         {{"uuid-1", documents}, {"smb://nas/share", nas}}},
        {"hourly",
         withRescan(R"("hourly")"),
         {{"uuid-1", documents}, {"smb://nas/share", nasWith(RescanInterval::hourly)}}},
        {"daily",
         withRescan(R"("daily")"),
         {{"uuid-1", documents}, {"smb://nas/share", nasWith(RescanInterval::daily)}}},
        {"manual",
         withRescan(R"("manual")"),
         {{"uuid-1", documents}, {"smb://nas/share", nasWith(RescanInterval::manual)}}},
        {"a newer version's schedule", withRescan(R"("weekly")"), {{"uuid-1", documents}, {"smb://nas/share", nas}}},
        {"a number for a schedule", withRescan("7"), {{"uuid-1", documents}, {"smb://nas/share", nas}}},
        {"an entry without whole",
         R"({"a":{"enabled":true,"folders":[]},"b":{"enabled":false,"whole":true,"folders":[]}})",
         {{"b", {.enabled = false, .whole = true, .folders = {}, .rescan = {}}}}},
        {"entries of the wrong types",
         R"({"a":{"enabled":1,"whole":true,"folders":[]},"b":{"enabled":true,"whole":true,"folders":"x"},)"
         R"("c":{"enabled":true,"whole":true,"folders":[3]},"d":[],"e":true,"f":{"enabled":true,"whole":true,"folders":["x"]}})",
         {{"f", {.enabled = true, .whole = true, .folders = {"x"}, .rescan = {}}}}},
        {"a top-level array", R"([{"enabled":true,"whole":true,"folders":[]}])", {}},
        {"not JSON", R"({"a":{"enabled":true,)", {}},
        {"an empty object", "{}", {}},
    };
    for (const auto& c : cases) {
        platform::MemorySettings store;
        store.setData(Prefs::sourcesKey, c.stored);
        Prefs prefs(store);
        EXPECT_EQ(prefs.sources(), c.expected) << c.name;
        EXPECT_EQ(store.data(Prefs::sourcesKey), c.stored) << c.name << ": the stored text stays until a save";
        prefs.save(prefs.sources(), Prefs::sourcesKey);
        EXPECT_EQ(decodeSources(*store.data(Prefs::sourcesKey)), c.expected) << c.name << ": saved as read";
    }
}

TEST(SourceConfig, JSONForm) {
    const SourceMap sources = {
        {"/media/u/X", {.enabled = false, .whole = true, .folders = {}, .rescan = {}}},
        {"uuid-1", {.enabled = true, .whole = false, .folders = {"a", "b/c"}, .rescan = RescanInterval::daily}},
    };
    const std::string json = encodeSources(sources);
    EXPECT_EQ(json, R"({"/media/u/X":{"enabled":false,"folders":[],"whole":true},)"
                    R"("uuid-1":{"enabled":true,"folders":["a","b/c"],"rescan":"daily","whole":false}})")
        << "\"rescan\" only when set";
    EXPECT_EQ(decodeSources(json), sources);

    const SourceConfig base{.enabled = true, .whole = false, .folders = {"a"}, .rescan = {}};
    for (const SourceConfig& other :
         {SourceConfig{.enabled = false, .whole = false, .folders = {"a"}, .rescan = {}},
          SourceConfig{.enabled = true, .whole = true, .folders = {"a"}, .rescan = {}},
          SourceConfig{.enabled = true, .whole = false, .folders = {"b"}, .rescan = {}},
          SourceConfig{.enabled = true, .whole = false, .folders = {"a"}, .rescan = RescanInterval::manual}})
        EXPECT_NE(base, other) << core::writeJSONCompact(other.toJSON());
}

// Both stored values, as a settings file edited by hand or damaged might hold them.
TEST(SourceConfig, StoredValuesSurviveSeededMutations) {
    const std::vector<std::string> seeds = {
        R"({"u":{"enabled":true,"whole":false,"folders":["a","b"],"rescan":"daily"},"/m":{"enabled":false,"whole":true,"folders":[]}})",
        encodeCategories(Category::defaults()),
    };
    for (const auto& seed : seeds) ASSERT_TRUE(fuzz::prefsValuesRoundTrip(seed));
    const test::MutationPlan plan{
        .seeds = seeds, .iterations = 4000, .randomSeed = 42, .insertions = "{}[]\":,truefalsn0123 \\u00e9\x80\xff"};
    test::forEachMutation(plan, [](const std::string& text) { EXPECT_TRUE(fuzz::prefsValuesRoundTrip(text)) << text; });
}

}  // namespace
}  // namespace quorvanta::app
