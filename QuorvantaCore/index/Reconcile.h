// The pure parts of reconcile by folder modification time (VolumeIndex::reconcileByFolderMtime):
// how the folder check is cut into parallel chunks. The folder refreshed for a vanished one is
// its `platform::parentPath`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvanta::core {

// Chunks of at least 256 folders, about four per thread on large indexes.
struct ReconcileChunks {
    std::size_t size = 0;   // folders per chunk: max(folders / (4 x threads), 255) + 1
    std::size_t count = 0;  // ceil(folders / size)

    friend bool operator==(const ReconcileChunks&, const ReconcileChunks&) = default;
};

// `threads` below 1 counts as 1.
ReconcileChunks reconcileChunks(std::size_t folders, int threads);

}  // namespace quorvanta::core
