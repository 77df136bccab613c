#include "QuorvantaApp/model/columns/HeaderMenu.h"

#include "QuorvantaApp/model/columns/ColumnDef.h"

#include <string>

namespace quorvanta::app {

std::vector<HeaderMenuEntry> headerMenu(const ColumnSet& visible) {
    using Kind = HeaderMenuEntry::Kind;
    std::vector<HeaderMenuEntry> menu;
    std::string_view group;
    for (const ColumnDef& def : ColumnDef::all) {
        if (def.id == "name") continue;
        if (def.group != group) {
            if (!menu.empty()) menu.push_back({Kind::separator, {}, {}, false});
            if (!def.group.empty()) menu.push_back({Kind::heading, {}, def.group, false});
            group = def.group;
        }
        menu.push_back({Kind::item, def.id, def.title, visible.contains(def.id)});
    }
    return menu;
}

void toggle(std::string_view id, std::string_view categoryId, platform::Settings& d) {
    ColumnSet ids = ColumnSets::visible(categoryId, d);
    if (const auto found = ids.find(id); found != ids.end())
        ids.erase(found);
    else
        ids.emplace(id);
    ColumnSets::set(ids, categoryId, d);
}

}  // namespace quorvanta::app
