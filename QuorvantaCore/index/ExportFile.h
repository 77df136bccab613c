// Files the user exports (the drive clean-up report, the duplicate finder's lists): written whole
// and atomically, mode 0644, through the engine's export writer. Only ".csv", ".tsv", ".m3u" and
// ".m3u8" files (any case) in an existing folder are written, and never into a folder that is or
// lies below one of the external-drive folders. Stateless; any thread may call.
#pragma once

#include "platform/volumes/ExternalDrives.h"

#include <span>
#include <string>
#include <string_view>

namespace quorvanta::core::ExportFile {

// True when the whole file was written; false leaves any earlier file as it was. Tests pass
// their own external-drive folders.
bool save(std::string_view data, const std::string& path,
          std::span<const std::string_view> externalFolders = platform::kExternalDriveFolders);

}  // namespace quorvanta::core::ExportFile
