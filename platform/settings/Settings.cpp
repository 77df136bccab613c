#include "platform/settings/Settings.h"

#include "platform/settings/FileSettings.h"

#include <cmath>
#include <limits>

namespace quorvanta::platform {

std::optional<nlohmann::json> Settings::lookup(std::string_view key) const {
    std::shared_lock lock(mutex_);
    for (const auto* source : {&overlay_, &values_}) {
        const auto found = source->find(key);
        if (found != source->end()) return *found;
    }
    return std::nullopt;
}

std::optional<bool> Settings::boolean(std::string_view key) const {
    const auto value = lookup(key);
    if (!value || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

std::optional<std::int64_t> Settings::integer(std::string_view key) const {
    const auto value = lookup(key);
    if (!value) return std::nullopt;
    if (value->is_number_unsigned()) {
        const auto u = value->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    if (value->is_number_integer()) return value->get<std::int64_t>();
    return std::nullopt;
}

std::optional<double> Settings::real(std::string_view key) const {
    const auto value = lookup(key);
    if (!value || !value->is_number()) return std::nullopt;
    return value->get<double>();
}

std::optional<std::string> Settings::text(std::string_view key) const {
    const auto value = lookup(key);
    if (!value || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<std::vector<std::string>> Settings::textList(std::string_view key) const {
    const auto value = lookup(key);
    if (!value || !value->is_array()) return std::nullopt;
    std::vector<std::string> list;
    for (const auto& item : *value) {
        if (!item.is_string()) return std::nullopt;
        list.push_back(item.get<std::string>());
    }
    return list;
}

std::optional<std::string> Settings::data(std::string_view key) const { return text(key); }

void Settings::setBoolean(std::string_view key, bool value) { change(key, nlohmann::json(value)); }
void Settings::setInteger(std::string_view key, std::int64_t value) { change(key, nlohmann::json(value)); }
void Settings::setReal(std::string_view key, double value) {
    if (std::isfinite(value)) change(key, nlohmann::json(value));
}
void Settings::setText(std::string_view key, std::string_view value) {
    change(key, nlohmann::json(std::string(value)));
}
void Settings::setTextList(std::string_view key, const std::vector<std::string>& value) {
    change(key, nlohmann::json(value));
}
void Settings::setData(std::string_view key, std::string_view json) { setText(key, json); }
void Settings::remove(std::string_view key) { change(key, std::nullopt); }

void Settings::setOverlay(std::string_view key, const SettingValue& value) {
    auto json = std::visit([](const auto& v) { return nlohmann::json(v); }, value);
    std::unique_lock lock(mutex_);
    overlay_[std::string(key)] = std::move(json);
}

Connection Settings::observe(std::string_view key, Executor& executor, std::function<void()> callback) {
    return changes_.observe(key, executor, std::move(callback));
}

void Settings::resetStored(nlohmann::json values) {
    std::unique_lock lock(mutex_);
    values_ = std::move(values);
}

void Settings::change(std::string_view key, std::optional<nlohmann::json> value) {
    {
        std::lock_guard order(changeMutex_);
        nlohmann::json snapshot;
        {
            std::unique_lock lock(mutex_);
            if (value)
                values_[std::string(key)] = std::move(*value);
            else
                values_.erase(std::string(key));
            snapshot = values_;
        }
        persist(snapshot);
    }
    // Outside both locks: an observer on an inline executor may read or write the store. Every
    // notice is posted after its own value was stored, so whichever call runs last reads the last
    // value stored.
    changes_.post(key);
}

Settings& standardSettings() {
    // Never destroyed: code running while static objects are torn down may still read settings.
    static FileSettings* const store = new FileSettings;
    return *store;
}

}  // namespace quorvanta::platform
