// The results table's header column menu as plain entries, and the action of its items. The
// table's header turns the entries into a menu each time it opens (translating the titles with
// tr) and calls `toggle` when an item is chosen; applying the new set to the table is its own.
//
// The menu lists every column but the name column (always shown), in catalogue order, under a
// disabled heading per group, with a separator before each group after the first:
//   "Audio tags": Artist ... Key | "Audio / Video": Duration ... Channels |
//   "Image / Video": Dimensions | "Document": Pages | "File": Size ... Path
//
// Threads: as ColumnSets.
#pragma once

#include "QuorvantaApp/model/columns/ColumnSets.h"
#include "platform/settings/Settings.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvanta::app {

struct HeaderMenuEntry {
    enum class Kind : std::uint8_t {
        heading,    // disabled item titled by a group
        separator,  // between groups
        item,       // a column: its id, title and whether it is shown
    };

    Kind kind;
    std::string_view id;     // the column's id; empty for headings and separators
    std::string_view title;  // English: a group for a heading, the column's title for an item
    bool checked = false;    // an item whose column is in the visible set

    bool operator==(const HeaderMenuEntry&) const = default;
};

// The menu for the category whose visible set is `visible` (ColumnSets::visible).
std::vector<HeaderMenuEntry> headerMenu(const ColumnSet& visible);

// The action of the item of column `id` in category `categoryId`: the id leaves the category's
// visible set when it is in it, else joins it, and that set is stored for the category. While
// ColumnSets::forced is present the stored set is what the menu showed, toggled, and the visible
// set stays the forced one until a run without it.
void toggle(std::string_view id, std::string_view categoryId, platform::Settings& d);

}  // namespace quorvanta::app
