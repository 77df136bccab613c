// The drive clean-up report: the junk files the scan flagged (operating-system metadata such as
// ".DS_Store", "._" resource forks, "Thumbs.db", recycle bins, and everything inside junk
// folders), counted per junk kind with their bytes, and the CSV export of several volumes.
// Stateless; every function is safe from any thread while the index is only appended to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core {

class VolumeIndex;

namespace JunkReport {

struct Row {
    std::string kind;
    std::int64_t files = 0;
    std::uint64_t bytes = 0;
    friend bool operator==(const Row&, const Row&) = default;
};

// The kind of junk files that neither their own name nor a folder above them names.
inline constexpr std::string_view other = "other";

// The junk kind a name stands for, or none. Names are raw bytes: lengths count grapheme
// clusters, and a byte that is not valid UTF-8 counts as one character.
std::optional<std::string> kind(std::string_view ofName, bool isDir);

// The junk files of one index (live, flagged junk, not folders or roots), grouped by the kind of
// their own name, else of the nearest folder above them that names one, else `other`. Rows
// ordered by bytes, largest first; equal bytes by kind ascending.
std::vector<Row> aggregate(const VolumeIndex& index);

struct VolumeRows {
    std::string volume;
    std::vector<Row> rows;
    friend bool operator==(const VolumeRows&, const VolumeRows&) = default;
};

// "volume,kind,files,size_bytes", then one line per row of each volume in order; texts always
// quoted (inner quotes doubled), numbers plain, every line ended by "\n".
std::string csv(const std::vector<VolumeRows>& volumes);

}  // namespace JunkReport
}  // namespace quorvanta::core
