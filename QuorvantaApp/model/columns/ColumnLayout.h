// The results table's column order and the user's preferred widths, kept in the settings store
// under the table's autosave name "QuorvantaResults2" as a data value:
//   {"order": ["name", "path", ...], "widths": {"path": 300, ...}}
// `order` lists column ids left to right; `widths` maps a column id to the width the user dragged
// it to. Only preferences are kept: widths the table fitted to a narrow window are never stored,
// so a narrowing is undone at the next launch in a wider window.
//
// Reading is forgiving: a value that is not such an object reads as empty; ids the catalogue does
// not know, repeated ids, the name column's width (it is always fitted) and widths that are not
// numbers within [kMinimumWidth, kMaximumWidth] are left out, and the rest is kept.
//
// Threads: any thread (the store guards itself); the table uses it on the main thread.
#pragma once

#include "QuorvantaApp/model/columns/ColumnFit.h"
#include "platform/settings/Settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

struct ColumnLayout {
    static constexpr std::string_view key = "QuorvantaResults2";
    static constexpr double kMinimumWidth = 40;
    static constexpr double kMaximumWidth = 4000;

    std::vector<std::string> order;  // left to right; may name only some columns
    ColumnWidths widths;

    static ColumnLayout load(const platform::Settings& d);
    void save(platform::Settings& d) const;

    bool operator==(const ColumnLayout&) const = default;
};

}  // namespace quorvanta::app
