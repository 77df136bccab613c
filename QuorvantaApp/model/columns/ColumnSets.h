// Which of the catalogue's columns (ColumnDef.h) the results table shows, per result category.
// Each category id has built-in defaults; the user's choice from the header's column menu is
// stored per category in the settings store; the command line's --show-columns overrides both
// for one run. The name column is always shown.
//
// Stored: "columnSets", a data value holding a JSON object from category id to an array of column
// ids, each array in catalogue order. A value of any other shape (not JSON, not an object, an
// entry that is not an array of texts) counts as absent: reads give the defaults, and the next
// `set` starts from an empty object, dropping it. Ids the catalogue does not know, stored or
// forced, are kept in the sets and simply name no table column.
//
// Threads: `forced` is set once by the entry before any window exists and only read afterwards.
// The functions may be called from any thread (the store guards itself); the windows call them
// on the main thread.
#pragma once

#include "platform/settings/Settings.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

using ColumnSet = std::set<std::string, std::less<>>;

struct ColumnSets {
    ColumnSets() = delete;

    static constexpr std::string_view defaultsKey = "columnSets";

    // The ids given with --show-columns; none when the option was not given.
    static inline std::optional<ColumnSet> forced;

    // The built-in set of a category id, in catalogue order.
    static std::vector<std::string_view> defaults(std::string_view kind);

    // The ids shown for a category: {name} with `forced` when it is present; otherwise {name}
    // with the stored array of the category, or with its defaults when none is stored.
    static ColumnSet visible(std::string_view kind, const platform::Settings& d);

    // Stores, for the category, the catalogue's ids that are in `ids`, in catalogue order, and
    // keeps the other categories' stored arrays. Ids outside the catalogue are dropped.
    static void set(const ColumnSet& ids, std::string_view kind, platform::Settings& d);
};

}  // namespace quorvanta::app
