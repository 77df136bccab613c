// The user's recent and favourite searches, kept across runs in "search-history.json" in the data
// directory. A plain value: the application holds one in its model, changes it on the main thread
// and saves it after each change.
//
// Both lists hold trimmed texts when they are filled through record and toggleFavorite; "equal
// ignoring case" means equal after full case folding and canonical composition, so "Straße"
// equals "STRASSE" and a precomposed "é" its decomposed form, while "cafe" and "café" differ.
//
// The file is one compact JSON object {"favorites":[…],"history":[…]}. load gives an empty record
// for anything else (missing, unreadable, not JSON, a key missing or of another kind, nested
// deeper than the two levels the file needs); save replaces the file atomically and is silent
// when it fails, leaving the previous file as it was.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core {

struct SearchHistory {
    static constexpr std::size_t maxHistory = 50;
    static constexpr std::size_t maxFavorites = 100;

    std::vector<std::string> history;    // newest first
    std::vector<std::string> favorites;  // most recently added first

    // Puts the trimmed text at the front of the history, dropping entries equal to it ignoring
    // case and the oldest beyond maxHistory. A text that is only white space changes nothing.
    void record(std::string_view text);
    // Whether the trimmed text equals a favourite ignoring case.
    bool isFavorite(std::string_view text) const;
    // Removes every favourite equal to the trimmed text ignoring case, or, when there is none,
    // adds the trimmed text at the front and drops the last one beyond maxFavorites.
    void toggleFavorite(std::string_view text);
    // Removes the history entries exactly equal to `text` (not trimmed, case counts).
    void removeHistory(std::string_view text);
    void clearHistory();

    // The data directory's "search-history.json".
    static std::filesystem::path fileURL();
    static SearchHistory load(const std::filesystem::path& path);
    void save(const std::filesystem::path& path) const;

    bool operator==(const SearchHistory&) const = default;
};

}  // namespace quorvanta::core
