#include "QuorvantaApp/model/prefs/Prefs.h"

#include "tests/QuorvantaApp/model/prefs/PrefsPrinters.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using nlohmann::json;

// A store that records every change as persisted: all values after it, one entry per change.
class RecordingSettings final : public platform::Settings {
public:
    explicit RecordingSettings(json stored = json::object()) : stored_(stored) { resetStored(std::move(stored)); }
    std::vector<json> changes;
    // The keys whose values differ between the values before the last change and after it.
    std::vector<std::string> lastChangedKeys() const {
        const json& before = changes.size() > 1 ? changes[changes.size() - 2] : stored_;
        std::vector<std::string> keys;
        for (const auto& [key, value] : changes.back().items())
            if (!before.contains(key) || before[key] != value) keys.push_back(key);
        for (const auto& [key, value] : before.items())
            if (!changes.back().contains(key)) keys.push_back(key);
        return keys;
    }

private:
    void persist(const json& values) override { changes.push_back(values); }
    json stored_;
};

const json kOthers = {{"language", "de"}, {"includeOnly", "old"}, {"hiddenVolumes", json::array({"v"})}};

TEST(Prefs, StoredCategoriesAtLoad) {
    const std::string audio = R"({"id":"audio","name":"","symbol":"music.note","patterns":"*.mp3"})";
    struct Case {
        std::string name;
        std::optional<json> stored;  // the value under "categories"
        std::vector<Category> expected;
    };
    const Case cases[] = {
        {"absent", std::nullopt, Category::defaults()},
        {"the defaults", encodeCategories(Category::defaults()), Category::defaults()},
        {"an empty list", "[]", {}},
        {"one category", "[" + audio + "]", {{"audio", "", "music.note", "*.mp3"}}},
        {"text that is not JSON", "[" + audio, Category::defaults()},
        {"an object", audio, Category::defaults()},
        {"an element without symbol", R"([{"id":"a","name":"","patterns":""}])", Category::defaults()},
        {"an element of the wrong type", R"([{"id":"a","name":"","symbol":5,"patterns":""}])", Category::defaults()},
        {"an element that is no object", "[" + audio + ",1]", Category::defaults()},
        {"a list of texts instead of data", json::array({"[]"}), Category::defaults()},
        {"legacy names",
         R"([{"id":"images","name":"Bilder","symbol":"photo","patterns":""},)"
         R"({"id":"images","name":"Pictures","symbol":"photo","patterns":""},)"
         R"({"id":"audio","name":"Audio","symbol":"s","patterns":""},)"
         R"({"id":"docs","name":"dokumente","symbol":"s","patterns":""},)"
         R"({"id":"mine","name":"Bilder","symbol":"s","patterns":""}])",
         {{"images", "", "photo", ""},
          {"images", "Pictures", "photo", ""},
          {"audio", "", "s", ""},
          {"docs", "dokumente", "s", ""},
          {"mine", "Bilder", "s", ""}}},
    };
    for (const auto& c : cases) {
        json stored = kOthers;
        if (c.stored) stored["categories"] = *c.stored;
        RecordingSettings store(stored);
        Prefs prefs(store);
        EXPECT_EQ(prefs.categories(), c.expected) << c.name;
        EXPECT_TRUE(store.changes.empty()) << c.name << ": nothing is written back at load";
        const auto after = store.data(Prefs::categoriesKey);
        EXPECT_EQ(after, c.stored && c.stored->is_string() ? std::optional(c.stored->get<std::string>()) : std::nullopt)
            << c.name << ": the stored bytes stay";
    }
}

TEST(Prefs, OtherFieldsAtLoad) {
    RecordingSettings store({{"includeOnly", "mp3;flac"},
                             {"hiddenVolumes", json::array({"b", "a", "b"})},
                             {"sourcesConfigured", true},
                             {"contentFolders", json::array({"/home/u/Notes", "/home/u/Books"})}});
    Prefs prefs(store);
    EXPECT_EQ(prefs.includeOnly(), "mp3;flac");
    EXPECT_EQ(prefs.hiddenVolumes(), (Prefs::VolumeIds{"a", "b"}));
    EXPECT_TRUE(prefs.configured());
    EXPECT_EQ(prefs.contentFolders(), (Prefs::Folders{"/home/u/Notes", "/home/u/Books"}));

    // Values of another kind read as absent.
    RecordingSettings odd({{"includeOnly", 5},
                           {"hiddenVolumes", json::array({"a", 1})},
                           {"sourcesConfigured", "true"},
                           {"contentFolders", "/home/u/Notes"},
                           {"sources", json::object()}});
    Prefs defaults(odd);
    EXPECT_EQ(defaults.includeOnly(), "");
    EXPECT_TRUE(defaults.hiddenVolumes().empty());
    EXPECT_FALSE(defaults.configured());
    EXPECT_TRUE(defaults.contentFolders().empty());
    EXPECT_TRUE(defaults.sources().empty());
    EXPECT_TRUE(store.changes.empty() && odd.changes.empty()) << "nothing is written back at load";
}

TEST(Prefs, EachWriterWritesItsKey) {
    const std::vector<Category> mine = {{"mine", "Mine", "star", "*.x"}};
    const SourceMap sources = {{"uuid-1", {.enabled = true, .whole = true, .folders = {}, .rescan = {}}}};
    struct Case {
        std::string name;
        std::function<void(Prefs&)> change;
        std::optional<std::string> key;  // none: nothing is written
        json stored;                     // the value under the key afterwards
    };
    const Case cases[] = {
        {"setCategories", [&](Prefs& p) { p.setCategories(mine); }, "categories", encodeCategories(mine)},
        {"resetCategories", [](Prefs& p) { p.resetCategories(); }, "categories",
         encodeCategories(Category::defaults())},
        {"save categories", [&](Prefs& p) { p.save(mine, Prefs::categoriesKey); }, "categories",
         encodeCategories(mine)},
        {"setIncludeOnly", [](Prefs& p) { p.setIncludeOnly("wav"); }, "includeOnly", "wav"},
        {"setIncludeOnly empty", [](Prefs& p) { p.setIncludeOnly(""); }, "includeOnly", ""},
        {"setHiddenVolumes",
         [](Prefs& p) {
             p.setHiddenVolumes({"z", "a"});
         },
         "hiddenVolumes", json::array({"a", "z"})},
        {"setConfigured", [](Prefs& p) { p.setConfigured(true); }, "sourcesConfigured", true},
        {"setContentFolders",
         [](Prefs& p) {
             p.setContentFolders({"/n", "/b"});
         },
         "contentFolders", json::array({"/n", "/b"})},
        {"setSources", [&](Prefs& p) { p.setSources(sources); }, std::nullopt, nullptr},
        {"save sources", [&](Prefs& p) { p.save(sources, Prefs::sourcesKey); }, "sources", encodeSources(sources)},
    };
    for (const auto& c : cases) {
        RecordingSettings store(kOthers);
        Prefs prefs(store);
        c.change(prefs);
        if (!c.key) {
            EXPECT_TRUE(store.changes.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(store.changes.size(), 1u) << c.name;
        EXPECT_EQ(store.lastChangedKeys(), std::vector<std::string>{*c.key}) << c.name;
        EXPECT_EQ(store.changes.back()[*c.key], c.stored) << c.name;
    }

    RecordingSettings store(kOthers);
    Prefs prefs(store);
    prefs.setSources(sources);
    EXPECT_EQ(prefs.sources(), sources);
    prefs.save(prefs.sources(), Prefs::sourcesKey);
    EXPECT_EQ(Prefs(store).sources(), sources) << "a later start reads what was saved";
}

// The observers of a field get the new value while the field still holds the old one, after the
// object's own change signal.
template <class T>
void expectAnnouncedBeforeStored(const std::string& name,
                                 std::function<core::Connection(Prefs&, Prefs::Receiver<T>)> observe,
                                 std::function<T(const Prefs&)> get, std::function<void(Prefs&, T)> set, T next) {
    platform::MemorySettings store;
    Prefs prefs(store);
    const T old = get(prefs);
    ASSERT_NE(old, next) << name;
    std::vector<std::string> log;
    auto whole = prefs.objectWillChange().connect(
        [&] { log.push_back(get(prefs) == old ? "object, field old" : "object, field changed"); });
    auto field = observe(prefs, [&](const T& value) {
        log.push_back(std::string(value == next ? "new value" : "other value") +
                      (get(prefs) == old ? ", field old" : ", field changed"));
    });
    set(prefs, next);
    EXPECT_EQ(log, (std::vector<std::string>{"object, field old", "new value, field old"})) << name;
    EXPECT_EQ(get(prefs), next) << name;
}

TEST(Prefs, ObserversSeeTheNewValueBeforeItIsStored) {
    expectAnnouncedBeforeStored<Prefs::Categories>(
        "categories", [](Prefs& p, auto r) { return p.observeCategories(r); },
        [](const Prefs& p) { return p.categories(); }, [](Prefs& p, auto v) { p.setCategories(v); }, {});
    expectAnnouncedBeforeStored<std::string>(
        "includeOnly", [](Prefs& p, auto r) { return p.observeIncludeOnly(r); },
        [](const Prefs& p) { return p.includeOnly(); }, [](Prefs& p, auto v) { p.setIncludeOnly(v); }, "mp3");
    expectAnnouncedBeforeStored<Prefs::VolumeIds>(
        "hiddenVolumes", [](Prefs& p, auto r) { return p.observeHiddenVolumes(r); },
        [](const Prefs& p) { return p.hiddenVolumes(); }, [](Prefs& p, auto v) { p.setHiddenVolumes(v); }, {"v"});
    expectAnnouncedBeforeStored<SourceMap>(
        "sources", [](Prefs& p, auto r) { return p.observeSources(r); }, [](const Prefs& p) { return p.sources(); },
        [](Prefs& p, auto v) { p.setSources(v); }, {{"k", {}}});
    expectAnnouncedBeforeStored<bool>(
        "configured", [](Prefs& p, auto r) { return p.observeConfigured(r); },
        [](const Prefs& p) { return p.configured(); }, [](Prefs& p, auto v) { p.setConfigured(v); }, true);
    expectAnnouncedBeforeStored<Prefs::Folders>(
        "contentFolders", [](Prefs& p, auto r) { return p.observeContentFolders(r); },
        [](const Prefs& p) { return p.contentFolders(); }, [](Prefs& p, auto v) { p.setContentFolders(v); }, {"/n"});
}

TEST(Prefs, Scopes) {
    using Folders = std::vector<std::string>;
    struct Case {
        bool whole;
        Folders folders;
        std::string root;
        Folders expected;
    };
    const Case cases[] = {
        {true, {}, "/", {"/"}},
        {true, {"a"}, "/media/u/X", {"/media/u/X"}},
        {false, {"home/u/Documents", "home/u/Music"}, "/", {"/home/u/Documents", "/home/u/Music"}},
        {false, {"b", "a/c"}, "/media/u/X", {"/media/u/X/b", "/media/u/X/a/c"}},
        {false, {"a"}, "/media/u/X/", {"/media/u/X/a"}},
        {false, {}, "/", {}},
        {false,
         {"", "a/../../b", "..", "b/..", "/", "/a", "//c", "d/..e", "...", "f"},
         "/media/u/X",
         {"/media/u/X/a", "/media/u/X/c", "/media/u/X/d/..e", "/media/u/X/...", "/media/u/X/f"}},
    };
    for (const auto& c : cases) {
        const SourceConfig config{.enabled = true, .whole = c.whole, .folders = c.folders, .rescan = {}};
        EXPECT_EQ(Prefs::scopes(config, c.root), c.expected) << "root " << c.root << ", whole " << c.whole;
    }
}

TEST(Prefs, KnownSourcesAndTheSharedInstance) {
    platform::MemorySettings store;
    Prefs prefs(store);
    const SourceConfig stored{
        .enabled = true, .whole = false, .folders = {"x"}, .rescan = core::RescanInterval::hourly};
    prefs.setSources({{"uuid-1", stored}});
    EXPECT_TRUE(prefs.isKnown("uuid-1"));
    EXPECT_FALSE(prefs.isKnown("uuid-2"));
    EXPECT_EQ(prefs.source("uuid-1", true), stored);
    EXPECT_EQ(prefs.source("uuid-1", false), stored);
    EXPECT_EQ(&prefs.d(), &store);

    EXPECT_EQ(&Prefs::shared(), &Prefs::shared());
    EXPECT_EQ(&Prefs::shared().d(), &platform::standardSettings());
}

}  // namespace
}  // namespace quorvanta::app
