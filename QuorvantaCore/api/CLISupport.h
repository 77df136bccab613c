// The command-line tool's JSON output of search hits over one volume index: a pretty-printed
// document with the search text, the hit count, and one object per listed hit with the fields of
// a local API row. Reads the index from the calling thread; any thread may call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core {

class VolumeIndex;

namespace CLISupport {

// {"query", "results", "shown", "total"}: `total` as given (it may exceed the listed hits),
// `shown` the number of entries listed, `results` one row per entry of `shown` in its order.
// Keys sorted at every level, "/" unescaped, names and paths repaired to UTF-8, one member per
// line, no final line feed.
std::string json(std::string_view query, std::int64_t total, const VolumeIndex& index,
                 const std::vector<std::uint32_t>& shown);

}  // namespace CLISupport
}  // namespace quorvanta::core
