// How the results table's column widths fit the window: every column gets at least its header
// title's width, the user's preferred widths are kept while they fit, and the name column takes
// what is left over. When the window is too narrow, the wide text columns (Path, Title, Artist,
// Album, Genre, Drive, Kind) give up width in proportion to what they have above 80 points, so
// that the name column keeps 190 points where possible; no other column shrinks. Widening gives
// the name column all the slack, and the preferred widths come back because the fitted ones are
// never taken as preferences.
//
// Threads: a pure function; any thread.
#pragma once

#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/columns/ColumnSets.h"

#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace quorvanta::app {

// Preferred widths in points by column id.
using ColumnWidths = std::map<std::string, double, std::less<>>;

struct ColumnFit {
    ColumnFit() = delete;

    static constexpr double kNameMinimum = 120;  // the name column is never narrower
    static constexpr double kNameKeeps = 190;    // what shrinking the others leaves it
    static constexpr double kShrinkFloor = 80;   // a shrinking column stops here
    static constexpr double kTitlePadding = 30;  // beside the header title (and its chevron)
    static constexpr std::array<std::string_view, 7> shrinkable = {"path",  "title", "artist", "album",
                                                                   "genre", "drive", "kind"};

    // The width of a column's header title in the header font, in points.
    using TitleWidth = std::function<double(const ColumnDef& column)>;

    // The widths of all columns of the catalogue, in its order, for a table `available` points
    // wide that shows `visible`. A column other than name gets max(its preferred width, or its
    // default width when none is given; ceil(title width) + 30), then the shrinking above applies
    // to the visible ones; the name column gets max(120, floor(available) − the visible others).
    // Hidden columns keep their unshrunk width, for when they are shown again.
    static std::array<double, ColumnDef::all.size()> fit(const ColumnWidths& preferred, const ColumnSet& visible,
                                                         double available, const TitleWidth& titleWidth);
};

}  // namespace quorvanta::app
