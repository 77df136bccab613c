#include "QuorvantaApp/model/columns/ColumnSets.h"

#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaCore/json/JSONText.h"

#include <nlohmann/json.hpp>

namespace quorvanta::app {
namespace {

// The stored object when it has the one accepted shape (an object of arrays of texts), else none.
// Two levels of nesting are all that shape needs.
std::optional<nlohmann::json> storedSets(const platform::Settings& d) {
    const auto text = d.data(ColumnSets::defaultsKey);
    if (!text) return std::nullopt;
    auto value = core::parseJSONStrict(*text, 2);
    if (!value || !value->is_object()) return std::nullopt;
    for (const auto& [kind, ids] : value->items()) {
        if (!ids.is_array()) return std::nullopt;
        for (const auto& id : ids)
            if (!id.is_string()) return std::nullopt;
    }
    return value;
}

}  // namespace

std::vector<std::string_view> ColumnSets::defaults(std::string_view kind) {
    if (kind == "audio") return {"name", "artist", "title", "bpm", "duration", "bitrate", "size", "drive", "path"};
    if (kind == "video") return {"name", "duration", "dims", "size", "date", "drive", "path"};
    if (kind == "images") return {"name", "dims", "size", "date", "drive", "path"};
    if (kind == "docs") return {"name", "pages", "size", "date", "drive", "path"};
    return {"name", "size", "date", "kind", "drive", "path"};
}

ColumnSet ColumnSets::visible(std::string_view kind, const platform::Settings& d) {
    ColumnSet ids{"name"};
    if (forced) {
        ids.insert(forced->begin(), forced->end());
        return ids;
    }
    if (const auto stored = storedSets(d)) {
        if (const auto entry = stored->find(std::string(kind)); entry != stored->end()) {
            for (const auto& id : *entry) ids.insert(id.get<std::string>());
            return ids;
        }
    }
    for (const auto id : defaults(kind)) ids.emplace(id);
    return ids;
}

void ColumnSets::set(const ColumnSet& ids, std::string_view kind, platform::Settings& d) {
    nlohmann::json sets = storedSets(d).value_or(nlohmann::json::object());
    nlohmann::json ordered = nlohmann::json::array();
    for (const ColumnDef& def : ColumnDef::all)
        if (ids.contains(def.id)) ordered.push_back(std::string(def.id));
    sets[std::string(kind)] = std::move(ordered);
    d.setData(defaultsKey, core::writeJSONCompact(sets));
}

}  // namespace quorvanta::app
