// The search history model over a history file in a temporary folder: what each operation
// publishes and writes, the list limits, and the Up key's recall walk.
#include "QuorvantaApp/model/history/SearchHistoryModel.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::readFile;
using quorvanta::test::TempDir;
using Texts = std::vector<std::string>;

// A model over "search-history.json" in a fresh folder, and what the file holds.
struct HistoryWorld {
    TempDir dir;
    fs::path file = dir / "search-history.json";
    SearchHistoryModel model{file};

    core::SearchHistory onDisk() const { return core::SearchHistory::load(file); }
    // Sets the file's time an hour back, so that any rewrite shows.
    fs::file_time_type ageFile() const {
        const auto old = fs::last_write_time(file) - std::chrono::hours(1);
        fs::last_write_time(file, old);
        return old;
    }
};

std::optional<std::string> none() { return std::nullopt; }

TEST(SearchHistoryModel, RecordTrimsFoldsCaseAndSaves) {
    HistoryWorld w;
    int published = 0;
    const auto token = w.model.objectWillChange.connect([&] { ++published; });
    w.model.record("  Remix  ");
    EXPECT_EQ(w.model.store->history, Texts{"Remix"});
    EXPECT_EQ(w.onDisk(), w.model.store.get());
    w.model.record("remix");
    EXPECT_EQ(w.model.store->history, Texts{"remix"}) << "one entry, the newer spelling at the front";
    EXPECT_EQ(w.onDisk().history, Texts{"remix"});
    EXPECT_EQ(published, 2);

    SearchHistoryModel again(w.file);
    EXPECT_EQ(again.store.get(), w.model.store.get()) << "a new model reads what was saved";
}

TEST(SearchHistoryModel, BlankSubmitRewritesTheFileUnchanged) {
    HistoryWorld w;
    w.model.record("a");
    w.model.toggleFavorite("b");
    const std::string before = readFile(w.file);
    const auto old = w.ageFile();
    int published = 0;
    const auto token = w.model.objectWillChange.connect([&] { ++published; });
    for (const char* blank : {"", "   ", "\n\t "}) {
        w.model.record(blank);
        EXPECT_GT(fs::last_write_time(w.file), old) << "rewritten for '" << blank << "'";
        EXPECT_EQ(readFile(w.file), before);
        w.ageFile();
    }
    EXPECT_EQ(published, 0) << "no list changed";
}

TEST(SearchHistoryModel, OldestDropsBeyondFiftyRecentAndHundredFavourites) {
    HistoryWorld w;
    for (int i = 0; i < 50; ++i) w.model.record("q" + std::to_string(i));
    for (int i = 0; i < 100; ++i) w.model.toggleFavorite("f" + std::to_string(i));
    ASSERT_EQ(w.model.store->history.size(), 50u);
    ASSERT_EQ(w.model.store->favorites.size(), 100u);
    w.model.record("q50");
    w.model.toggleFavorite("f100");
    const auto& s = w.model.store.get();
    EXPECT_EQ(s.history.size(), 50u);
    EXPECT_EQ(s.history.front(), "q50");
    EXPECT_EQ(s.history.back(), "q1") << "q0, the oldest, dropped";
    EXPECT_EQ(s.favorites.size(), 100u);
    EXPECT_EQ(s.favorites.front(), "f100");
    EXPECT_EQ(s.favorites.back(), "f1") << "f0, the oldest, dropped";
    EXPECT_EQ(w.onDisk(), s);
}

TEST(SearchHistoryModel, FavouritesIgnoreCaseAndRemoveFavoriteWritesOnlyWhenOne) {
    HistoryWorld w;
    w.model.toggleFavorite("ABC");
    EXPECT_TRUE(w.model.store->isFavorite("abc"));
    w.model.toggleFavorite(" abc ");
    EXPECT_EQ(w.model.store->favorites, Texts{}) << "the toggle of abc removes ABC";
    EXPECT_EQ(w.onDisk().favorites, Texts{});

    w.model.toggleFavorite("ABC");
    w.model.toggleFavorite("xyz");
    w.ageFile();
    const auto old = fs::last_write_time(w.file);
    w.model.removeFavorite("not saved");
    EXPECT_EQ(fs::last_write_time(w.file), old) << "a non-favourite writes nothing";
    EXPECT_EQ(w.model.store->favorites, (Texts{"xyz", "ABC"}));
    w.model.removeFavorite("abc");
    EXPECT_EQ(w.model.store->favorites, Texts{"xyz"});
    EXPECT_EQ(w.onDisk().favorites, Texts{"xyz"});
    w.model.removeFavorite("abc");
    EXPECT_EQ(w.model.store->favorites, Texts{"xyz"}) << "removing it twice does nothing";
}

TEST(SearchHistoryModel, RemoveAndClearKeepFavouritesAndSave) {
    HistoryWorld w;
    for (const char* q : {"a", "b", "c"}) w.model.record(q);
    w.model.toggleFavorite("keep");
    w.model.removeHistory("B");
    EXPECT_EQ(w.model.store->history, (Texts{"c", "b", "a"})) << "exact comparison";
    w.model.removeHistory("b");
    EXPECT_EQ(w.model.store->history, (Texts{"c", "a"}));
    EXPECT_EQ(w.onDisk().history, (Texts{"c", "a"}));
    w.model.clearHistory();
    EXPECT_EQ(w.model.store->history, Texts{});
    EXPECT_EQ(w.model.store->favorites, Texts{"keep"});
    EXPECT_EQ(w.onDisk(), w.model.store.get());
}

TEST(SearchHistoryModel, RecallWalksOlderAndStartsOverAfterAnEdit) {
    HistoryWorld w;
    EXPECT_EQ(w.model.recallOlder("x"), none()) << "empty history";
    w.model.record("b");
    w.model.record("a");
    const struct {
        std::string field;
        std::optional<std::string> expected;
    } steps[] = {
        {"x", "a"}, {"a", "b"}, {"b", none()}, {"b", none()}, {"bc", "a"},  // an edit: from the newest again
        {"A", "a"},  // not the entry given (case counts): from the newest again
        {"a", "b"},
    };
    for (const auto& s : steps) EXPECT_EQ(w.model.recallOlder(s.field), s.expected) << "field " << s.field;

    w.model.recallOlder("x");  // gives a
    w.model.record("c");
    EXPECT_EQ(w.model.recallOlder("a"), "c") << "a record starts the walk over";
}

TEST(SearchHistoryModel, RecallAfterClearHistoryIsPastTheEnd) {
    HistoryWorld w;
    w.model.record("b");
    w.model.record("a");
    ASSERT_EQ(w.model.recallOlder(""), "a");
    w.model.clearHistory();
    EXPECT_EQ(w.model.recallOlder("a"), none());
    w.model.record("n");
    EXPECT_EQ(w.model.recallOlder("a"), "n");
}

TEST(SearchHistoryModel, UnreadableFileGivesEmptyListsAndNoFileWritesNothing) {
    TempDir dir;
    const fs::path file = dir.write("search-history.json", "{not json");
    SearchHistoryModel broken(file);
    EXPECT_EQ(broken.store.get(), core::SearchHistory{});
    broken.record("q");
    EXPECT_EQ(core::SearchHistory::load(file).history, Texts{"q"}) << "the next change writes a good file";

    SearchHistoryModel memoryOnly{fs::path{}};
    memoryOnly.record("q");
    memoryOnly.toggleFavorite("f");
    EXPECT_EQ(memoryOnly.store->history, Texts{"q"});
    EXPECT_EQ(memoryOnly.store->favorites, Texts{"f"});
    EXPECT_FALSE(fs::exists("search-history.json")) << "nothing written in the working folder";
}

}  // namespace
}  // namespace quorvanta::app
