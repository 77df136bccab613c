// One entry of a volume index as the local API and the tool's JSON output show it.
#pragma once

#include "QuorvantaCore/api/LocalAPI.h"

#include <cstdint>

namespace quorvanta::core {

class VolumeIndex;

namespace LocalAPI {

// The entry's path and stored name, "folder" or "file" by its folder flag, its stored size and
// modification time. The texts are the index's bytes; the JSON writers repair them.
Row indexRow(const VolumeIndex& index, std::uint32_t entry);

}  // namespace LocalAPI
}  // namespace quorvanta::core
