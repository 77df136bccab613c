// When each network volume was last scanned completely, kept across runs in "scan-times.json"
// in the data directory so that the rescan schedule survives a restart. A plain value: a user
// loads the file, changes its copy and saves it whole.
//
// The file is one compact JSON object {"times":{"<volume key>":<date>,…}}; a date is a number of
// seconds, with fraction, since 2001-01-01 00:00:00 UTC. `load` gives an empty record for
// anything else (missing, unreadable, not JSON, no "times", a value that is not a number or lies
// outside the clock's range, deeper nesting than the file needs). `save` replaces the file
// atomically; a failure returns false and leaves the old file.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace quorvanta::core {

struct ScanTimes {
    std::map<std::string, std::chrono::system_clock::time_point> times;

    static constexpr std::string_view fileName = "scan-times.json";

    // The data directory's `fileName`.
    static std::filesystem::path fileURL();
    static ScanTimes load(const std::filesystem::path& path);
    // The record the file's text holds, or an empty one (as `load`).
    static ScanTimes fromJSON(std::string_view text);
    // The file's text: compact JSON, no white space.
    std::string toJSON() const;
    bool save(const std::filesystem::path& path) const;

    bool operator==(const ScanTimes&) const = default;
};

}  // namespace quorvanta::core
