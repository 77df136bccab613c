// The outcome of the file stat pass (VolumeIndex::statFilesInPlace): a file written in place
// changes no folder's modification time, so reconcile by folder time cannot see it; the pass
// reads each file's own metadata instead.
#pragma once

#include <cstdint>

namespace quorvanta::core {

struct FileStatStats {
    std::int64_t checked = 0;  // entries whose metadata was read
    std::int64_t skipped = 0;  // entries in folders the caller had just listed
    std::int64_t updated = 0;  // entries whose size or times were rewritten
    bool rootMissing = false;  // a root is not present: nothing was read or changed

    friend bool operator==(const FileStatStats&, const FileStatStats&) = default;
};

}  // namespace quorvanta::core
