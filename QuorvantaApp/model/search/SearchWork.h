// The search worker: what one search does off the main thread, from the text to the rows. The
// model captures everything a search needs on the main thread (`SearchRequest`) and runs
// `performSearch` on its serial search queue; the outcome goes back to the main thread, which
// publishes it only while the search is still the newest one.
//
// The steps: parse the text (relative dates against the clock's wall time and the user's
// calendar), add the category's term to every group, refuse content terms while no content folder
// is chosen, search each volume, order each volume's hits (unless the global order places them),
// then combine the lists across volumes (CrossVolumeMerge.h, GlobalMerge.h). A global order given
// with the request places every hit: no volume orders its own and no names are compared, except
// for hits on entries newer than the order.
//
// Threads: runs on any thread. It reads only the request, and the indexes, searchers and global
// order it holds, through their own locks (an order's rows never change); never the model. The
// request's volume states are not touched: they only travel on to the result set.
#pragma once

#include "QuorvantaApp/model/prefs/Category.h"
#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaApp/model/search/RowKey.h"
#include "QuorvantaCore/index/SortOrders.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/query/Query.h"
#include "platform/time/Clock.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvanta::core {
class Searcher;
class VolumeIndex;
}  // namespace quorvanta::core

namespace quorvanta::app {

class VolumeState;

// The most hits in all of a name-ordered search over several volumes that are merged by
// comparing names; with more, each volume's block comes in name order, the blocks in volume order.
inline constexpr std::size_t kNameMergeLimit = 300'000;

// The message published instead of rows for a content term while no content folder is chosen
// (shown through tr).
inline constexpr std::string_view kContentSearchOff =
    core::trNoop("Content search is off: choose folders under Settings → Search inside file contents");

// Everything one search reads, captured on the main thread.
struct SearchRequest {
    std::int64_t generation = 0;                // the search's generation
    std::string text;                           // the query text as typed
    Category filter;                            // the selected category
    std::vector<std::string> contentFolders;    // the folders chosen for content search
    std::shared_ptr<const GlobalOrder> global;  // the name order across exactly these volumes, or null
    // One index and its searcher per searched volume, in search order.
    std::vector<std::shared_ptr<core::VolumeIndex>> indexes;
    std::vector<std::shared_ptr<core::Searcher>> searchers;
    bool showJunk = false;
    core::SortKey sortKey = core::SortKey::name;
    bool sortDesc = false;
    bool resetScroll = false;
    // The searched volume states, same positions; handed to the result set, never read here.
    std::vector<std::shared_ptr<VolumeState>> vols;
    // Raised once per `mergeGlobal` call, when set: a test's view of which path a search took.
    std::shared_ptr<std::atomic<std::uint64_t>> globalMerges;
};

// A search that ran: the rows with what the result set shows beside them, and how long parsing,
// searching, ordering and merging took in milliseconds (on the given clock).
struct SearchHits {
    std::vector<RowKey> rows;
    std::int64_t hitVolumes = 0;
    std::vector<std::string> terms;
    double ms = 0;
};
// The text did not parse: the parser's message. The rows shown so far stay.
struct SearchParseError {
    std::string message;
};
// The search may not run (a content term while content search is off): the message, no rows.
struct SearchRefused {
    std::string message;
};
using SearchOutcome = std::variant<SearchHits, SearchParseError, SearchRefused>;

// Runs the search. `stillCurrent` tells whether the model still exists and the generation is
// still the newest; it is asked before each volume's search and once more before merging, and
// when it says no, or a searcher was cancelled, the result is none: nothing may be published.
std::optional<SearchOutcome> performSearch(const SearchRequest& request, platform::Clock& clock,
                                           const std::function<bool()>& stillCurrent);

// The texts of the query's terms that are plain name terms (case-sensitive or not) and not
// negated, over all groups in order.
std::vector<std::string> highlightTerms(const core::Query& query);
// Whether any term of any group is a content term.
bool hasContentTerm(const core::Query& query);

}  // namespace quorvanta::app
