// DupExport: the duplicate finder's groups as text for the user: a CSV report with one row per
// member, an extended M3U playlist of the surplus, the kept or all members, and the bytes that
// removing the surplus would free. Stateless; writing the text to a file is the caller's job.
//
// Paths go into both texts as their raw bytes (Linux names need not be UTF-8), so that every
// playlist line names the real file. The CSV quotes path, artist and title (RFC 4180), so any
// byte may appear in them. A playlist line cannot hold a line break: a member whose path holds
// one is left out of the M3U, and line breaks in its label become spaces.
#pragma once

#include "audio/dupes/DupModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvanta::audio::DupExport {

// Raw values are stable.
enum class Which : int {
    surplus = 0,  // every member except the keeper
    keep = 1,     // only the keeper
    all = 2,      // every member
};

inline constexpr const char* kCsvHeader =
    "group,kind,confirmed,keep,path,size_bytes,codec,bitrate_kbps,duration_s,artist,title,modified\n";

std::string csv(const std::vector<DupGroup>& groups);
std::string m3u(const std::vector<DupGroup>& groups, Which which);
// The sizes of every member except each group's keeper.
std::uint64_t surplusBytes(const std::vector<DupGroup>& groups);

}  // namespace quorvanta::audio::DupExport
