#include "QuorvantaApp/model/prefs/SourceConfig.h"

#include "QuorvantaCore/json/JSONText.h"
#include "platform/fs/XdgDirs.h"

#include <filesystem>
#include <system_error>

namespace quorvanta::app {

nlohmann::json SourceConfig::toJSON() const {
    nlohmann::json value = {{"enabled", enabled}, {"whole", whole}, {"folders", folders}};
    if (rescan) value["rescan"] = std::string(core::rawValue(*rescan));
    return value;
}

std::optional<SourceConfig> SourceConfig::fromJSON(const nlohmann::json& value) {
    if (!value.is_object()) return std::nullopt;
    const auto enabled = value.find("enabled");
    const auto whole = value.find("whole");
    const auto folders = value.find("folders");
    if (enabled == value.end() || !enabled->is_boolean() || whole == value.end() || !whole->is_boolean() ||
        folders == value.end() || !folders->is_array())
        return std::nullopt;
    SourceConfig config;
    config.enabled = enabled->get<bool>();
    config.whole = whole->get<bool>();
    for (const auto& folder : *folders) {
        if (!folder.is_string()) return std::nullopt;
        config.folders.push_back(folder.get<std::string>());
    }
    if (const auto rescan = value.find("rescan"); rescan != value.end() && rescan->is_string())
        config.rescan = core::rescanIntervalFromRaw(rescan->get_ref<const std::string&>());
    return config;
}

std::vector<std::string> SourceConfig::personalFolders() {
    std::vector<std::string> relative;
    for (const auto& folder : platform::UserDirs::load().personalFolders()) {
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) continue;
        const std::string text = folder.string();
        const std::size_t start = text.find_first_not_of('/');
        if (start != std::string::npos) relative.push_back(text.substr(start));  // "/" itself is no personal folder
    }
    return relative;
}

std::string encodeSources(const SourceMap& sources) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& [key, config] : sources) object[key] = config.toJSON();
    return core::writeJSONCompact(object);
}

SourceMap decodeSources(std::string_view json) {
    SourceMap sources;
    const auto value = core::parseJSONStrict(json);
    if (!value || !value->is_object()) return sources;
    for (const auto& [key, entry] : value->items())
        if (auto config = SourceConfig::fromJSON(entry)) sources.emplace(key, std::move(*config));
    return sources;
}

}  // namespace quorvanta::app
