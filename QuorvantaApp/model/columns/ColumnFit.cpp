#include "QuorvantaApp/model/columns/ColumnFit.h"

#include <algorithm>
#include <cmath>

namespace quorvanta::app {

std::array<double, ColumnDef::all.size()> ColumnFit::fit(const ColumnWidths& preferred, const ColumnSet& visible,
                                                         double available, const TitleWidth& titleWidth) {
    std::array<double, ColumnDef::all.size()> widths{};
    std::array<bool, ColumnDef::all.size()> shrinks{};
    std::size_t name = 0;
    const auto othersWidth = [&] {
        double sum = 0;
        for (std::size_t c = 0; c < widths.size(); ++c)
            if (c != name && visible.contains(ColumnDef::all[c].id)) sum += widths[c];
        return sum;
    };

    for (std::size_t c = 0; c < widths.size(); ++c) {
        const ColumnDef& def = ColumnDef::all[c];
        if (def.id == "name") {
            name = c;
            continue;
        }
        const auto stored = preferred.find(def.id);
        const double wanted = stored != preferred.end() ? stored->second : def.width;
        const double needed = std::ceil(titleWidth(def)) + kTitlePadding;
        widths[c] = std::max(wanted, needed);
        shrinks[c] = visible.contains(def.id) && std::ranges::find(shrinkable, def.id) != shrinkable.end();
    }

    const double room = std::floor(available);
    const double over = othersWidth() - room + kNameKeeps;
    if (over > 0) {
        double spare = 0;
        for (std::size_t c = 0; c < widths.size(); ++c)
            if (shrinks[c]) spare += std::max(widths[c] - kShrinkFloor, 0.0);
        if (spare > 0) {
            const double ratio = std::min(over / spare, 1.0);
            for (std::size_t c = 0; c < widths.size(); ++c)
                if (shrinks[c]) widths[c] -= ratio * std::max(widths[c] - kShrinkFloor, 0.0);
        }
    }
    widths[name] = std::max(kNameMinimum, room - othersWidth());
    return widths;
}

}  // namespace quorvanta::app
