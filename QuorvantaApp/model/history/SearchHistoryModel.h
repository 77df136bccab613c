// SearchHistoryModel: the search window's recent and favourite searches. It owns one
// core::SearchHistory (the list rules and the file format live there), publishes it as `store`,
// and writes it to its file after every change, synchronously. It also walks the recent searches
// for the query field's Up key (recallOlder).
//
// `shared()` is the process-wide instance over "search-history.json" in the data folder, made on
// first use; a model over a given file serves the tests. An empty file path keeps the lists in
// memory only (there is no data folder without a home folder). Reading gives empty lists for a
// missing or unreadable file; a failed write is ignored and the next change writes again.
//
// Threads: main thread only, like the windows that call it.
#pragma once

#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"
#include "QuorvantaCore/search/SearchHistory.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::app {

class SearchHistoryModel {
public:
    // The recent searches the history popover lists (the newest ones); recall walks them all.
    static constexpr std::size_t kShownRecent = 15;

    static SearchHistoryModel& shared();

    // Loads the lists from `file` (empty: none, and nothing is ever written).
    explicit SearchHistoryModel(std::filesystem::path file);
    SearchHistoryModel(const SearchHistoryModel&) = delete;
    SearchHistoryModel& operator=(const SearchHistoryModel&) = delete;

    const std::filesystem::path& file() const { return file_; }

    // Fires before each change of `store`.
    core::Signal<> objectWillChange;
    // The two lists; changed only through the operations below.
    core::Published<core::SearchHistory> store;

    // The submitted query joins the recent searches (the store trims it and ignores a blank one);
    // the file is written also when nothing changed, and the recall walk starts over.
    void record(std::string_view text);
    // Saves the trimmed text as a favourite, or removes it when it is one (ignoring case).
    void toggleFavorite(std::string_view text);
    // Removes the favourite equal to the text ignoring case; when there is none nothing is
    // written.
    void removeFavorite(std::string_view text);
    // Removes the recent searches exactly equal to the text.
    void removeHistory(std::string_view text);
    // Empties the recent searches; the favourites stay.
    void clearHistory();

    // One step of the Up key: the newest recent search when `current` is not the entry the last
    // step gave (exact comparison, byte for byte), else the next older one; none past the oldest.
    std::optional<std::string> recallOlder(std::string_view current);

private:
    // Applies `edit` to a copy of the store, publishes it when it differs, then saves.
    void change(const std::function<void(core::SearchHistory&)>& edit);
    void save() const;

    const std::filesystem::path file_;
    std::optional<std::string> recalled_;  // the entry the last recall step gave
    std::size_t recallIndex_ = 0;          // the position in the history of the next step's entry
};

}  // namespace quorvanta::app
