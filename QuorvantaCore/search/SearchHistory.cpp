#include "QuorvantaCore/search/SearchHistory.h"

#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/json/JSONText.h"
#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/CharClass.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/ReadWholeFile.h"

#include <algorithm>
#include <optional>

namespace quorvanta::core {

namespace {

constexpr std::string_view kFileName = "search-history.json";
// Far beyond 150 searches; a larger file is not ours.
constexpr std::size_t kMaxFileBytes = 4u << 20;
// {"history": [...]} nests two levels.
constexpr int kMaxDepth = 2;

// Removes every entry of `list` equal to `text` ignoring case.
void eraseEqual(std::vector<std::string>& list, std::string_view text) {
    std::erase_if(list, [&](const std::string& entry) { return text::caselessEqual(entry, text); });
}

// The strings of `object[key]`, at most `limit` of them; none when the key is missing or is not
// an array of strings.
std::optional<std::vector<std::string>> stringList(const nlohmann::json& object, const char* key, std::size_t limit) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_array()) return std::nullopt;
    std::vector<std::string> list;
    for (const auto& element : *found) {
        if (!element.is_string()) return std::nullopt;
        if (list.size() < limit) list.push_back(element.get<std::string>());
    }
    return list;
}

}  // namespace

void SearchHistory::record(std::string_view text) {
    const std::string_view trimmed = text::trimWhiteSpace(text);
    if (trimmed.empty()) return;
    eraseEqual(history, trimmed);
    history.insert(history.begin(), std::string(trimmed));
    if (history.size() > maxHistory) history.resize(maxHistory);
}

bool SearchHistory::isFavorite(std::string_view text) const {
    const std::string_view trimmed = text::trimWhiteSpace(text);
    return std::any_of(favorites.begin(), favorites.end(),
                       [&](const std::string& favorite) { return text::caselessEqual(favorite, trimmed); });
}

void SearchHistory::toggleFavorite(std::string_view text) {
    const std::string_view trimmed = text::trimWhiteSpace(text);
    if (trimmed.empty()) return;
    if (isFavorite(trimmed)) {
        eraseEqual(favorites, trimmed);
        return;
    }
    favorites.insert(favorites.begin(), std::string(trimmed));
    if (favorites.size() > maxFavorites) favorites.resize(maxFavorites);
}

void SearchHistory::removeHistory(std::string_view text) {
    std::erase_if(history, [&](const std::string& entry) { return entry == text; });
}

void SearchHistory::clearHistory() { history.clear(); }

std::filesystem::path SearchHistory::fileURL() { return VolumeID::directory() / kFileName; }

SearchHistory SearchHistory::load(const std::filesystem::path& path) {
    const auto bytes = platform::readWholeFile(path, kMaxFileBytes);
    if (!bytes) return {};
    const auto json = parseJSONStrict(*bytes, kMaxDepth);
    if (!json || !json->is_object()) return {};
    auto history = stringList(*json, "history", maxHistory);
    auto favorites = stringList(*json, "favorites", maxFavorites);
    if (!history || !favorites) return {};
    return {std::move(*history), std::move(*favorites)};
}

void SearchHistory::save(const std::filesystem::path& path) const {
    const nlohmann::json json = {{"history", history}, {"favorites", favorites}};
    // A failed write leaves the previous file as it was; the next change saves again.
    (void)platform::writeFileAtomically(path, writeJSONCompact(json), 0600);
}

}  // namespace quorvanta::core
