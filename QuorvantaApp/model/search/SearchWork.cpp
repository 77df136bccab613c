#include "QuorvantaApp/model/search/SearchWork.h"

#include "QuorvantaApp/model/search/CrossVolumeMerge.h"
#include "QuorvantaApp/model/search/GlobalMerge.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/query/QueryParser.h"
#include "QuorvantaCore/search/Searcher.h"

#include <chrono>
#include <exception>
#include <limits>

namespace quorvanta::app {
namespace {

std::chrono::system_clock::time_point wallDate(const platform::Clock& clock) {
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(clock.wallSeconds())));
}

// The query of the text with the category's term in every group, or the outcome that replaces
// the search.
std::variant<core::Query, SearchOutcome> compose(const SearchRequest& request, platform::Clock& clock) {
    core::Query query;
    try {
        query = core::QueryParser::parse(request.text, wallDate(clock), core::Calendar::current());
    } catch (const core::QueryError& error) {
        return SearchParseError{error.message()};
    } catch (const std::exception& error) {
        return SearchParseError{error.what()};
    }
    if (const std::optional<core::Term> term = request.filter.term()) query = query.andTerm(*term);
    if (hasContentTerm(query) && request.contentFolders.empty()) return SearchRefused{core::tr(kContentSearchOff)};
    return query;
}

}  // namespace

std::vector<std::string> highlightTerms(const core::Query& query) {
    std::vector<std::string> terms;
    for (const std::vector<core::Term>& group : query.groups)
        for (const core::Term& term : group)
            if (const auto* name = std::get_if<core::Pred::Name>(&term.pred.value); name && !term.neg)
                terms.push_back(name->text);
    return terms;
}

bool hasContentTerm(const core::Query& query) {
    for (const std::vector<core::Term>& group : query.groups)
        for (const core::Term& term : group)
            if (std::holds_alternative<core::Pred::Content>(term.pred.value)) return true;
    return false;
}

std::optional<SearchOutcome> performSearch(const SearchRequest& request, platform::Clock& clock,
                                           const std::function<bool()>& stillCurrent) {
    const platform::Clock::TimePoint start = clock.now();
    std::variant<core::Query, SearchOutcome> composed = compose(request, clock);
    if (auto* outcome = std::get_if<SearchOutcome>(&composed)) return std::move(*outcome);
    const core::Query& query = std::get<core::Query>(composed);

    // Each volume in turn: its hits, then their order, unless the global order places the raw
    // hits of all volumes.
    const std::size_t volumes = request.indexes.size();
    std::vector<std::vector<std::uint32_t>> lists(volumes);
    bool sorted = true;
    for (std::size_t i = 0; i < volumes; ++i) {
        if (!stillCurrent()) return std::nullopt;
        std::optional<std::vector<std::uint32_t>> hits = request.searchers[i]->search(query, request.showJunk);
        if (!hits) return std::nullopt;
        lists[i] = std::move(*hits);
        if (request.global) continue;
        std::optional<std::vector<std::uint32_t>> ordered =
            request.indexes[i]->ordered(lists[i], request.sortKey, request.sortDesc,
                                        std::numeric_limits<std::size_t>::max(), core::kDirectSortLimit);
        if (ordered)
            lists[i] = std::move(*ordered);
        else
            sorted = false;  // its hits stay in entry order
    }
    std::size_t total = 0;
    std::int64_t nonEmpty = 0;
    for (const std::vector<std::uint32_t>& list : lists) {
        total += list.size();
        nonEmpty += !list.empty();
    }
    if (!stillCurrent()) return std::nullopt;

    SearchHits result;
    if (request.global) {
        if (request.globalMerges) request.globalMerges->fetch_add(1, std::memory_order_relaxed);
        result.rows = mergeGlobal(*request.global, lists, request.indexes, request.sortDesc);
    } else {
        if (request.sortKey == core::SortKey::name && nonEmpty >= 2 && total > kNameMergeLimit) sorted = false;
        result.rows = merge(lists, request.indexes, request.sortKey, request.sortDesc, sorted);
    }
    result.ms = std::chrono::duration<double, std::milli>(clock.now() - start).count();
    result.hitVolumes = nonEmpty;
    result.terms = highlightTerms(query);
    return result;
}

}  // namespace quorvanta::app
