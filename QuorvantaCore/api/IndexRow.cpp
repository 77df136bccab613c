#include "QuorvantaCore/api/IndexRow.h"

#include "QuorvantaCore/index/VolumeIndex.h"

namespace quorvanta::core::LocalAPI {

Row indexRow(const VolumeIndex& index, std::uint32_t entry) {
    return Row{index.path(entry), index.name(entry), index.flags(entry).contains(EntryFlags::dir) ? "folder" : "file",
               index.size(entry), index.mtime(entry)};
}

}  // namespace quorvanta::core::LocalAPI
