#include "QuorvantaApp/model/history/SearchHistoryModel.h"

#include "QuorvantaCore/index/VolumeID.h"

#include <utility>

namespace quorvanta::app {

namespace {

// The history file in the data folder; none without a data folder, rather than a file named
// relative to whatever the working folder is.
std::filesystem::path sharedFile() {
    if (core::VolumeID::directory().empty()) return {};
    return core::SearchHistory::fileURL();
}

core::SearchHistory loaded(const std::filesystem::path& file) {
    return file.empty() ? core::SearchHistory{} : core::SearchHistory::load(file);
}

}  // namespace

SearchHistoryModel& SearchHistoryModel::shared() {
    static SearchHistoryModel model(sharedFile());
    return model;
}

SearchHistoryModel::SearchHistoryModel(std::filesystem::path file)
    : store(loaded(file), &objectWillChange), file_(std::move(file)) {}

void SearchHistoryModel::record(std::string_view text) {
    change([&](core::SearchHistory& s) { s.record(text); });
    recalled_.reset();
}

void SearchHistoryModel::toggleFavorite(std::string_view text) {
    change([&](core::SearchHistory& s) { s.toggleFavorite(text); });
}

void SearchHistoryModel::removeFavorite(std::string_view text) {
    if (!store->isFavorite(text)) return;
    change([&](core::SearchHistory& s) { s.toggleFavorite(text); });
}

void SearchHistoryModel::removeHistory(std::string_view text) {
    change([&](core::SearchHistory& s) { s.removeHistory(text); });
}

void SearchHistoryModel::clearHistory() {
    change([](core::SearchHistory& s) { s.clearHistory(); });
}

std::optional<std::string> SearchHistoryModel::recallOlder(std::string_view current) {
    if (!recalled_ || *recalled_ != current) recallIndex_ = 0;
    const auto& history = store->history;
    if (recallIndex_ >= history.size()) return std::nullopt;
    recalled_ = history[recallIndex_++];
    return recalled_;
}

void SearchHistoryModel::change(const std::function<void(core::SearchHistory&)>& edit) {
    core::SearchHistory next = store.get();
    edit(next);
    if (next != store.get()) store.set(std::move(next));
    save();
}

void SearchHistoryModel::save() const {
    if (!file_.empty()) store->save(file_);
}

}  // namespace quorvanta::app
