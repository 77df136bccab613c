// The live folders of an index with their full paths, built from each parent's path (parents
// precede children), for the passes that visit every folder: reconcile's time check and the
// watching of a loaded index's folders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvanta::core {

class VolumeIndex;

struct FolderPath {
    std::uint32_t entry = 0;
    std::string path;
};

// The folders that are not deleted, ascending; roots only when `withRoots`.
std::vector<FolderPath> liveFolderPaths(const VolumeIndex& index, bool withRoots);

}  // namespace quorvanta::core
