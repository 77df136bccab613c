// AppModel's search: the setters of the search fields, runSearch with its generations, the
// publications, and the sort orders a new sort key needs.
#include "QuorvantaApp/model/app/AppModel.h"

#include "QuorvantaApp/model/search/SearchWork.h"
#include "QuorvantaCore/search/Searcher.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace quorvanta::app {

std::int64_t AppModel::generation() const { return gen_->current(); }

void AppModel::setQuery(std::string text) {
    requireMain();
    if (text == query.get()) return;
    query.set(std::move(text));
    browseAll.set(false);
    runSearch(true);
}

void AppModel::setFilter(Category category) {
    requireMain();
    filter.set(std::move(category));
    browseAll.set(false);
    runSearch(true);
}

void AppModel::setBrowseAll(bool on) {
    requireMain();
    browseAll.set(on);
}

void AppModel::setSortKey(core::SortKey key) {
    requireMain();
    sortKey.set(key);
    prepareSort();
    runSearch(true);
}

void AppModel::setSortDesc(bool desc) {
    requireMain();
    sortDesc.set(desc);
    runSearch(false);
}

void AppModel::setShowJunk(bool on) {
    requireMain();
    showJunk.set(on);
    defaults_.setBoolean(kShowJunkKey, on);
    runSearch(true);
}

void AppModel::setSort(core::SortKey key, bool desc) {
    requireMain();
    if (key == sortKey.get()) {
        sortDesc.set(desc);
        runSearch(false);
        return;
    }
    sortDesc.set(desc);
    sortKey.set(key);
    prepareSort();
    runSearch(true);
}

bool AppModel::showsEmptyState() const {
    requireMain();
    return query->empty() && filter->id == Category::all().id && !browseAll.get();
}

std::shared_ptr<const GlobalOrder> AppModel::orderFor(const Volumes& searched, const SearchRequest& request) const {
    if (request.sortKey != core::SortKey::name || searched.size() < 2 || !global_) return nullptr;
    if (std::any_of(searched.begin(), searched.end(), [](const auto& volume) { return volume->scanning.get(); }))
        return nullptr;
    return global_->matches(request.indexes) ? global_ : nullptr;
}

void AppModel::runSearch(bool resetScroll) {
    requireMain();
    auto request = std::make_shared<SearchRequest>();
    request->generation = gen_->raise();
    for (const auto& volume : volumes.get()) volume->searcher()->cancel();

    Volumes searched;
    const Prefs::VolumeIds& hidden = prefs_.hiddenVolumes();
    for (const auto& volume : volumes.get())
        if (!hidden.contains(volume->id())) searched.push_back(volume);

    request->text = query.get();
    request->filter = filter.get();
    request->sortKey = sortKey.get();
    request->sortDesc = sortDesc.get();
    request->showJunk = showJunk.get();
    request->contentFolders = prefs_.contentFolders();
    request->resetScroll = resetScroll;
    for (const auto& volume : searched) {
        request->indexes.push_back(volume->index());
        request->searchers.push_back(volume->searcher());
    }
    request->global = orderFor(searched, *request);
    request->vols = std::move(searched);
    request->globalMerges = globalMerges_;

    // The worker asks only whether the model still exists; it never holds it, so the model is
    // never released on the search queue. The request goes back to the main thread with the
    // outcome, stale or not, so its volume states are released there too.
    queue_.async([weak = weak_from_this(), gen = gen_, &main = main_, request = std::move(request)]() mutable {
        const std::function<bool()> stillCurrent = [&] {
            return !weak.expired() && gen->current() == request->generation;
        };
        std::optional<SearchOutcome> outcome = performSearch(*request, main.clock(), stillCurrent);
        main.post([weak, request = std::move(request), outcome = std::move(outcome)]() mutable {
            const auto model = weak.lock();
            if (model && outcome) model->publish(*request, std::move(*outcome));
        });
    });
}

void AppModel::publish(const SearchRequest& request, SearchOutcome&& outcome) {
    requireMain();
    if (gen_->current() != request.generation) return;
    std::visit(
        [&](auto& result) {
            using Result = std::decay_t<decltype(result)>;
            if constexpr (std::is_same_v<Result, SearchHits>) {
                queryError.set(std::nullopt);
                // The rows move into the result set: a broad search's rows are not copied again.
                results.set(ResultSet::create(request.vols, std::move(result.rows), result.hitVolumes,
                                              std::move(result.terms), request.resetScroll));
                searchMs.set(result.ms);
            } else if constexpr (std::is_same_v<Result, SearchParseError>) {
                queryError.set(result.message);  // the rows shown so far stay
            } else {
                queryError.set(result.message);
                results.set(ResultSet::empty());
            }
        },
        outcome);
}

void AppModel::prepareSort() {
    requireMain();
    std::vector<std::shared_ptr<core::VolumeIndex>> indexes;
    for (const auto& volume : volumes.get()) indexes.push_back(volume->index());
    const core::SortKey key = sortKey.get();
    const auto missing = [key](const std::shared_ptr<core::VolumeIndex>& index) {
        return !index->isScanning() && !index->cachedPermutation(key);
    };
    if (std::none_of(indexes.begin(), indexes.end(), missing)) return;
    sorting.set(true);
    bg_.async([weak = weak_from_this(), &main = main_, indexes = std::move(indexes), key, missing] {
        for (const auto& index : indexes)
            if (missing(index)) index->permutation(key);
        main.post([weak] {
            if (const auto model = weak.lock()) {
                model->sorting.set(false);
                model->runSearch(false);
            }
        });
    });
}

}  // namespace quorvanta::app
