#include "QuorvantaCore/index/ExportFile.h"

#include "QuorvantaCore/index_engine/CacheFiles.h"
#include "QuorvantaCore/index_engine/fidx.h"

namespace quorvanta::core::ExportFile {

bool save(std::string_view data, const std::string& path, std::span<const std::string_view> externalFolders) {
    if (path.find('\0') != std::string::npos ||
        !index_engine::pathAllowed(path.c_str(), index_engine::PathRule::userExport, externalFolders))
        return false;
    return fidx_export_file(path.c_str(), data.data(), data.size()) == 0;
}

}  // namespace quorvanta::core::ExportFile
