#include "QuorvantaApp/model/columns/ColumnLayout.h"

#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaCore/json/JSONText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace quorvanta::app {
namespace {

constexpr const char* kOrder = "order";
constexpr const char* kWidths = "widths";

bool userSized(std::string_view id) { return id != "name" && ColumnDef::byID(id) != nullptr; }

}  // namespace

ColumnLayout ColumnLayout::load(const platform::Settings& d) {
    ColumnLayout layout;
    const auto text = d.data(key);
    if (!text) return layout;
    const auto value = core::parseJSONStrict(*text, 2);
    if (!value || !value->is_object()) return layout;
    if (const auto order = value->find(kOrder); order != value->end() && order->is_array()) {
        for (const auto& id : *order) {
            if (!id.is_string()) continue;
            const auto& name = id.get_ref<const std::string&>();
            if (ColumnDef::byID(name) && std::ranges::find(layout.order, name) == layout.order.end())
                layout.order.push_back(name);
        }
    }
    if (const auto widths = value->find(kWidths); widths != value->end() && widths->is_object()) {
        for (const auto& [id, width] : widths->items()) {
            if (!userSized(id) || !width.is_number()) continue;
            const double points = width.get<double>();
            if (std::isfinite(points) && points >= kMinimumWidth && points <= kMaximumWidth) layout.widths[id] = points;
        }
    }
    return layout;
}

void ColumnLayout::save(platform::Settings& d) const {
    nlohmann::json widthsObject = nlohmann::json::object();
    for (const auto& [id, width] : widths)
        if (userSized(id) && std::isfinite(width)) widthsObject[id] = std::clamp(width, kMinimumWidth, kMaximumWidth);
    nlohmann::json value = nlohmann::json::object();
    value[kOrder] = order;
    value[kWidths] = std::move(widthsObject);
    d.setData(key, core::writeJSONCompact(value));
}

}  // namespace quorvanta::app
