// The files of an index on disk, apart from any one index: where a snapshot's audio side file
// lies, the writer every cache file goes through (the snapshot, the audio side file and the
// application's global order file), and forgetting an offline catalog.
//
// Threads: these touch no shared state; any thread may call them at any time. Errors: failures
// are results (false), never exceptions; a path with a NUL byte names no file and fails.
#pragma once

#include "platform/volumes/ExternalDrives.h"

#include <span>
#include <string>
#include <string_view>

namespace quorvanta::core {

// The audio side file of a snapshot: a final ".idx" replaced by ".aud", else ".aud" added.
std::string audioPath(std::string_view forSnapshot);

// Whole-file atomic write of a cache file (".idx", ".ord", ".aud"), mode 0600, refused in a
// folder that is or lies below one of `externalFolders` (tests pass their own).
bool writeCache(std::string_view data, const std::string& path,
                std::span<const std::string_view> externalFolders = platform::kExternalDriveFolders);

// Deletes a snapshot and its audio side file; true when the snapshot was removed, whatever
// became of the side file.
bool forgetCatalog(const std::string& snapshotPath);

}  // namespace quorvanta::core
