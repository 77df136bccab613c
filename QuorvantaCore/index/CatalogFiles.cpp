#include "QuorvantaCore/index/CatalogFiles.h"

#include "QuorvantaCore/index_engine/CacheFiles.h"
#include "QuorvantaCore/index_engine/fidx.h"

namespace quorvanta::core {
namespace {

bool hasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

}  // namespace

std::string audioPath(std::string_view forSnapshot) {
    constexpr std::string_view idx = ".idx";
    if (forSnapshot.ends_with(idx)) return std::string(forSnapshot.substr(0, forSnapshot.size() - idx.size())) + ".aud";
    return std::string(forSnapshot) + ".aud";
}

bool writeCache(std::string_view data, const std::string& path, std::span<const std::string_view> externalFolders) {
    if (hasNul(path) || !index_engine::pathAllowed(path.c_str(), index_engine::PathRule::cache, externalFolders))
        return false;
    return fidx_write_file(path.c_str(), data.data(), data.size()) == 0;
}

bool forgetCatalog(const std::string& snapshotPath) {
    if (hasNul(snapshotPath)) return false;
    const bool removed = fidx_remove_cache(snapshotPath.c_str()) == 0;
    (void)fidx_remove_cache(audioPath(snapshotPath).c_str());
    return removed;
}

}  // namespace quorvanta::core
