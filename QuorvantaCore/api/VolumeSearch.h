// The local API's answers over a list of volume indexes: the status list and the search that the
// application's back-end gives (and that the tool's test host serves). A search makes a fresh
// Searcher per volume, so it never cancels or reuses another caller's searchers; junk is never
// shown; each volume's hits are ordered by name and the first volumes fill the limit, while the
// total counts the hits of every searched volume. Offline catalogs are listed but not searched.
//
// Threads: safe from any thread; the volume indexes are only read.
#pragma once

#include "QuorvantaCore/api/LocalAPI.h"
#include "QuorvantaCore/query/Query.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::core {

class VolumeIndex;

namespace LocalAPI {

// One volume as a request sees it, in the order replies list them.
struct SearchVolume {
    std::string name;
    std::string root;
    std::shared_ptr<VolumeIndex> index;
    bool scanning = false;
    bool offline = false;
};

// One status record per volume: live entry count, scanning and offline flags.
std::vector<Volume> volumeStatuses(const std::vector<SearchVolume>& volumes);
// At most `limit` rows (none for a limit below 1), volume by volume, by name within a volume;
// `total` is every hit of every online volume.
SearchResult searchVolumes(const std::vector<SearchVolume>& volumes, const Query& query, std::int64_t limit);

}  // namespace LocalAPI
}  // namespace quorvanta::core
