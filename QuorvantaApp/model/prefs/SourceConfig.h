// The source settings of one volume: whether it is indexed, the whole volume or only listed
// folders, and the rescan schedule of a network volume. Prefs keeps one per volume id (the volume
// UUID, or the root path when there is none) under "sources", a JSON object whose members are
// {"enabled": bool, "whole": bool, "folders": [text], "rescan": "manual"|"hourly"|"daily"}, with
// "rescan" only when a schedule is set.
//
// Decoding keeps what it can, entry by entry: an entry that is not an object with "enabled",
// "whole" and "folders" of those types is left out; a "rescan" that is no schedule this version
// knows (a newer version's text, a number) reads as no schedule and the entry stays; only a text
// that is not a JSON object gives the empty map. So one unexpected value never costs the user the
// settings of every other volume at the next save.
//
// Threads: plain values. personalFolders() reads the file system and the environment.
#pragma once

#include "QuorvantaCore/index/RescanSchedule.h"

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

struct SourceConfig {
    bool enabled = false;
    bool whole = false;                          // when false only `folders` are indexed
    std::vector<std::string> folders;            // relative to the volume root, no leading "/"
    std::optional<core::RescanInterval> rescan;  // none: no schedule

    bool operator==(const SourceConfig&) const = default;

    nlohmann::json toJSON() const;
    // None when `value` is not an object with the three required members of the right types.
    static std::optional<SourceConfig> fromJSON(const nlohmann::json& value);

    // The user's Desktop, Documents, Downloads, Videos, Music and Pictures folders as the desktop
    // names them (platform::UserDirs), in that order, each kept only when it is a folder, each
    // without its leading "/" (relative to the root "/").
    static std::vector<std::string> personalFolders();
};

// Source settings by volume id.
using SourceMap = std::map<std::string, SourceConfig, std::less<>>;

std::string encodeSources(const SourceMap& sources);
// As told above: entry by entry; the empty map only when the text is not a JSON object.
SourceMap decodeSources(std::string_view json);

}  // namespace quorvanta::app
