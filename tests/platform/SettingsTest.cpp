#include "platform/dispatch/SerialQueue.h"
#include "platform/settings/FileSettings.h"
#include "platform/settings/Settings.h"

#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;

// Makes a store of one kind; `reopen` gives a new store over what the previous one kept (for the
// memory store, the same store: it keeps nothing beyond itself).
template <class Store>
struct StoreMaker;

// `kept(key)` reads a text as the store keeps it beyond memory: from a new store over its file for
// the file store, from the store itself for the memory store.
template <>
struct StoreMaker<MemorySettings> {
    Settings& make() { return store; }
    Settings& reopen() { return store; }
    std::optional<std::string> kept(std::string_view key) const { return store.text(key); }
    MemorySettings store;
};

template <>
struct StoreMaker<FileSettings> {
    Settings& make() {
        store = std::make_unique<FileSettings>(path());
        return *store;
    }
    Settings& reopen() { return make(); }
    std::optional<std::string> kept(std::string_view key) const { return FileSettings(path()).text(key); }
    fs::path path() const { return dir / "Quorvanta" / "settings.json"; }
    TempDir dir;
    std::unique_ptr<FileSettings> store;
};

template <class Store>
class SettingsStore : public ::testing::Test {
protected:
    StoreMaker<Store> maker;
};

using Stores = ::testing::Types<MemorySettings, FileSettings>;
TYPED_TEST_SUITE(SettingsStore, Stores);

TYPED_TEST(SettingsStore, EveryKindRoundTrips) {
    const std::vector<std::string> folders = {"/home/u/Music", "", "/ünï/cödé"};
    const std::string categories = R"([{"id":"audio","name":"","symbol":"music.note","patterns":"*.mp3"}])";
    {
        Settings& s = this->maker.make();
        s.setBoolean("confirmTrash", false);
        s.setInteger("hotkeyCode", -49);
        s.setInteger("big", INT64_MAX);
        s.setReal("ratio", 0.25);
        s.setText("language", "pt-BR");
        s.setTextList("contentFolders", folders);
        s.setTextList("hiddenVolumes", {});
        s.setData("categories", categories);
    }
    Settings& s = this->maker.reopen();
    EXPECT_EQ(s.boolean("confirmTrash"), false);
    EXPECT_EQ(s.integer("hotkeyCode"), -49);
    EXPECT_EQ(s.integer("big"), INT64_MAX);
    EXPECT_EQ(s.real("ratio"), 0.25);
    EXPECT_EQ(s.real("hotkeyCode"), -49.0) << "an integer reads as a real too";
    EXPECT_EQ(s.text("language"), "pt-BR");
    EXPECT_EQ(s.textList("contentFolders"), folders);
    EXPECT_EQ(s.textList("hiddenVolumes"), std::vector<std::string>{});
    EXPECT_EQ(s.data("categories"), categories);
}

TYPED_TEST(SettingsStore, AbsentAndOtherKindsReadAsAbsent) {
    Settings& s = this->maker.make();
    EXPECT_EQ(s.boolean("localAPI"), std::nullopt);
    EXPECT_EQ(s.text("language"), std::nullopt);
    s.setText("language", "de");
    s.setBoolean("localAPI", true);
    s.setTextList("mixed", {"a"});
    EXPECT_EQ(s.integer("language"), std::nullopt);
    EXPECT_EQ(s.boolean("language"), std::nullopt);
    EXPECT_EQ(s.textList("language"), std::nullopt);
    EXPECT_EQ(s.integer("localAPI"), std::nullopt) << "a boolean is not an integer";
    EXPECT_EQ(s.real("localAPI"), std::nullopt);
    EXPECT_EQ(s.text("mixed"), std::nullopt);
    s.setReal("nan", std::nan(""));
    EXPECT_EQ(s.real("nan"), std::nullopt);
    s.remove("language");
    EXPECT_EQ(s.text("language"), std::nullopt);
    Settings& again = this->maker.reopen();
    EXPECT_EQ(again.text("language"), std::nullopt);
    EXPECT_EQ(again.boolean("localAPI"), true);
}

TYPED_TEST(SettingsStore, OverlayWinsAndIsNeverStored) {
    {
        Settings& s = this->maker.make();
        s.setText("kindStyle", "stored");
        s.setOverlay("kindStyle", "one run");  // a literal must land as text, not as a boolean
        EXPECT_EQ(s.text("kindStyle"), "one run");
        s.setText("kindStyle", "changed");
        EXPECT_EQ(s.text("kindStyle"), "one run") << "the overlay is read first";
        s.setOverlay("onlyInOverlay", true);
        EXPECT_EQ(s.boolean("onlyInOverlay"), true);
    }
    if constexpr (std::is_same_v<TypeParam, FileSettings>) {
        Settings& s = this->maker.reopen();
        EXPECT_EQ(s.text("kindStyle"), "changed");
        EXPECT_EQ(s.boolean("onlyInOverlay"), std::nullopt);
    }
}

TYPED_TEST(SettingsStore, ReadsAreSafeWhileAnotherThreadWrites) {
    constexpr int kWrites = 60;  // each one a whole, flushed file for the file store
    Settings& s = this->maker.make();
    std::atomic<bool> stop{false};
    std::atomic<int> badReads{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            while (!stop.load()) {
                const auto value = s.integer("counter");
                if (value && (*value < 0 || *value >= kWrites)) badReads.fetch_add(1);
                (void)s.textList("list");
            }
        });
    for (int i = 0; i < kWrites; ++i) {
        s.setInteger("counter", i);
        s.setTextList("list", std::vector<std::string>(static_cast<std::size_t>(i % 5), "x"));
    }
    stop = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(badReads.load(), 0);
    EXPECT_EQ(s.integer("counter"), kWrites - 1);
}

TYPED_TEST(SettingsStore, ChangeNoticesReachOnlyTheKeysLiveObservers) {
    // Each case holds the observers' queue while it acts, so that a notice can wait on it, then
    // lets it run. The observer of "kindStyle" records what it reads.
    struct Case {
        const char* what;
        std::optional<std::string> before;  // "kindStyle" before observing; none: absent
        std::function<void(Settings&)> act;
        enum { keep, dropBeforeActing, dropWhileWaiting } token = keep;
        int calls;
        std::optional<std::string> read;  // what each call reads
    };
    const Case cases[] = {
        {"a set", "badge", [](Settings& s) { s.setText("kindStyle", "description"); }, Case::keep, 1, "description"},
        {"a set of another kind of value", "badge", [](Settings& s) { s.setBoolean("kindStyle", true); }, Case::keep, 1,
         std::nullopt},
        {"a remove", "badge", [](Settings& s) { s.remove("kindStyle"); }, Case::keep, 1, std::nullopt},
        {"two sets: two calls, each reading the newer value", std::nullopt,
         [](Settings& s) {
             s.setText("kindStyle", "description");
             s.setText("kindStyle", "badge");
         },
         Case::keep, 2, "badge"},
        {"another key", "badge", [](Settings& s) { s.setText("appearance", "dark"); }, Case::keep, 0, "badge"},
        {"the overlay", "badge", [](Settings& s) { s.setOverlay("kindStyle", "description"); }, Case::keep, 0,
         "description"},
        {"a token dropped before the change", "badge", [](Settings& s) { s.setText("kindStyle", "description"); },
         Case::dropBeforeActing, 0, "description"},
        {"a token dropped while the notice waits", "badge", [](Settings& s) { s.setText("kindStyle", "description"); },
         Case::dropWhileWaiting, 0, "description"},
    };
    for (const auto& c : cases) {
        Settings& s = this->maker.make();
        if (c.before)
            s.setText("kindStyle", *c.before);
        else
            s.remove("kindStyle");
        SerialQueue observers("quorvanta.test");
        std::mutex mutex;  // guards the records below
        int calls = 0, offQueue = 0;
        std::vector<std::optional<std::string>> reads;
        std::optional<Connection> token = s.observe("kindStyle", observers, [&] {
            const auto now = s.text("kindStyle");
            std::lock_guard lock(mutex);
            ++calls;
            if (!observers.isCurrent()) ++offQueue;
            reads.push_back(now);
        });
        int othersCalls = 0;
        auto other = s.observe("appearance", observers, [&] { ++othersCalls; });

        std::promise<void> gate;
        observers.async([opened = gate.get_future().share()] { opened.wait(); });
        if (c.token == Case::dropBeforeActing) token.reset();
        c.act(s);
        if (c.token == Case::dropWhileWaiting) token.reset();
        {
            std::lock_guard lock(mutex);
            EXPECT_EQ(calls, 0) << c.what << ": called before its queue ran";
        }
        gate.set_value();
        observers.sync([] {});

        EXPECT_EQ(s.text("kindStyle"), c.read) << c.what;
        std::lock_guard lock(mutex);
        EXPECT_EQ(calls, c.calls) << c.what;
        EXPECT_EQ(offQueue, 0) << c.what << ": called on another thread than the named queue";
        for (const auto& read : reads) EXPECT_EQ(read, c.read) << c.what;
        EXPECT_EQ(othersCalls, std::string(c.what) == "another key" ? 1 : 0) << c.what;
    }
}

// An executor that runs each task at once, inside post.
class InlineExecutor final : public Executor {
public:
    void post(Task task) override { task(); }
};

TYPED_TEST(SettingsStore, NoticeComesAfterThePersistAndOutsideTheLocks) {
    Settings& s = this->maker.make();
    InlineExecutor inlineExecutor;
    std::vector<std::optional<std::string>> kept;
    // Reading, and writing another key, inside the call would wait for ever on a lock still held.
    auto token = s.observe("kindStyle", inlineExecutor, [&] {
        kept.push_back(this->maker.kept("kindStyle"));
        s.setInteger("kindStyleChanges", s.integer("kindStyleChanges").value_or(0) + 1);
    });
    s.setText("kindStyle", "description");
    s.remove("kindStyle");
    EXPECT_EQ(kept, (std::vector<std::optional<std::string>>{"description", std::nullopt}));
    EXPECT_EQ(s.integer("kindStyleChanges"), 2);
}

TYPED_TEST(SettingsStore, LastNoticeReadsTheLastValueOfTwoWritingThreads) {
    constexpr int kWrites = 40;  // per thread; each one a whole, flushed file for the file store
    Settings& s = this->maker.make();
    SerialQueue observers("quorvanta.test");
    int calls = 0;  // on `observers` only
    std::optional<std::string> lastRead;
    auto token = s.observe("language", observers, [&] {
        ++calls;
        lastRead = s.text("language");
    });
    std::vector<std::thread> writers;
    for (const char* prefix : {"a", "b"})
        writers.emplace_back([&s, prefix] {
            for (int i = 0; i < kWrites; ++i) s.setText("language", prefix + std::to_string(i));
        });
    for (auto& t : writers) t.join();
    observers.sync([] {});
    const auto last = s.text("language");
    ASSERT_TRUE(last == "a" + std::to_string(kWrites - 1) || last == "b" + std::to_string(kWrites - 1)) << *last;
    EXPECT_EQ(calls, 2 * kWrites);
    EXPECT_EQ(lastRead, last);
}

TEST(SettingsFile, UnreadableFilesCostNothing) {
    struct Case {
        const char* what;
        std::optional<std::string> bytes;  // none: no file
        bool keptAsCorrupt;
    };
    const std::string deep = "{\"a\":" + std::string(200, '[') + std::string(200, ']') + "}";
    const Case cases[] = {
        {"missing", std::nullopt, false},
        {"empty", "", false},
        {"not JSON", "language=de\n", true},
        {"truncated", R"({"language": "de", "confirmTrash": tr)", true},
        {"top level not an object", R"(["language", "de"])", true},
        {"nesting deeper than the bound", deep, true},
        {"non-UTF-8 bytes", "{\"language\": \"d\xff\xfe\"}", true},
        {"one value of the wrong kind", R"({"language": 5, "keepOffline": false})", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = dir / "settings.json";
        const auto corrupt = dir / "settings.json.corrupt";
        if (c.bytes) dir.write("settings.json", *c.bytes);
        FileSettings settings(path);
        EXPECT_EQ(settings.text("language"), std::nullopt) << c.what;
        EXPECT_EQ(settings.boolean("keepOffline"),
                  c.bytes && c.bytes->find("keepOffline") != std::string::npos ? std::optional(false) : std::nullopt)
            << c.what << ": only the wrong-kind value may be lost";
        // Reading changes nothing on disk.
        EXPECT_EQ(fs::exists(path), c.bytes.has_value()) << c.what;
        if (c.bytes) {
            EXPECT_EQ(readFile(path), *c.bytes) << c.what;
        }

        settings.setBoolean("confirmTrash", true);
        ASSERT_FALSE(settings.lastWriteError()) << c.what << ": " << settings.lastWriteError().message();
        const auto written = nlohmann::json::parse(readFile(path));
        ASSERT_TRUE(written.is_object()) << c.what;
        EXPECT_EQ(written.value("confirmTrash", false), true) << c.what;
        if (c.keptAsCorrupt) {
            EXPECT_EQ(readFile(corrupt), *c.bytes) << c.what;
        } else {
            EXPECT_FALSE(fs::exists(corrupt)) << c.what;
        }
        if (c.bytes && c.bytes->find("keepOffline") != std::string::npos) {
            EXPECT_EQ(written.at("language"), 5) << "a value of an unexpected kind is kept";
        }
        EXPECT_EQ(FileSettings(path).boolean("confirmTrash"), true) << c.what;
    }
}

TEST(SettingsFile, UnknownKeysSurviveARewrite) {
    TempDir dir;
    const auto path = dir.write("settings.json", R"({"futureKey": {"nested": [1, 2, {"x": null}]}, "language": "fr"})");
    FileSettings settings(path);
    settings.setText("language", "it");
    const auto written = nlohmann::json::parse(readFile(path));
    EXPECT_EQ(written.at("futureKey"), nlohmann::json::parse(R"({"nested": [1, 2, {"x": null}]})"));
    EXPECT_EQ(written.at("language"), "it");
}

TEST(SettingsFile, FolderAndFileArePrivate) {
    TempDir dir;
    const auto path = dir / "config" / "Quorvanta" / "settings.json";
    FileSettings settings(path);
    EXPECT_FALSE(fs::exists(path)) << "nothing is written before a change";
    settings.setText("language", "ja");
    EXPECT_EQ(test::fileMode(dir / "config"), 0700u);
    EXPECT_EQ(test::fileMode(dir / "config" / "Quorvanta"), 0700u);
    EXPECT_EQ(test::fileMode(path), 0600u);
    // No temporary files are left beside it.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path.parent_path())) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"settings.json"});
}

TEST(SettingsFile, NamesThatAreNotUtf8AreWrittenReplaced) {
    TempDir dir;
    const auto path = dir / "settings.json";
    FileSettings settings(path);
    settings.setTextList("contentFolders", {"/home/u/caf\xe9"});
    ASSERT_FALSE(settings.lastWriteError());
    EXPECT_EQ(FileSettings(path).textList("contentFolders"), std::vector<std::string>{"/home/u/caf\xef\xbf\xbd"});
}

TEST(SettingsFile, DefaultPathFollowsXdgConfigHome) {
    struct Case {
        std::optional<std::string> xdg;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/conf", "/x/conf/Quorvanta/settings.json"},
        {std::nullopt, "/h/.config/Quorvanta/settings.json"},
        {"relative/conf", "/h/.config/Quorvanta/settings.json"},
        {"", "/h/.config/Quorvanta/settings.json"},
    };
    test::EnvOverride home("HOME", "/h");
    for (const auto& c : cases) {
        test::EnvOverride config("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(FileSettings::defaultPath(), c.expected) << c.xdg.value_or("(unset)");
    }
}

TEST(SettingsFile, StandardStoreIsTheDefaultFile) {
    auto* file = dynamic_cast<FileSettings*>(&standardSettings());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->path(), FileSettings::defaultPath());
    EXPECT_EQ(&standardSettings(), file);
}

}  // namespace
}  // namespace quorvanta::platform
