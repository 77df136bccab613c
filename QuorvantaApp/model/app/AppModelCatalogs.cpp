// AppModel's offline catalogs: the saved snapshots of external drives that are not connected,
// searchable like connected volumes.
#include "QuorvantaApp/model/app/AppModel.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/fs/PathText.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quorvanta::app {

bool AppModel::isCatalogRoot(std::string_view root) const {
    return std::any_of(driveFolders_.begin(), driveFolders_.end(),
                       [root](const std::string& folder) { return platform::isSameOrUnder(root, folder); });
}

AppModel::Volumes AppModel::offlineCatalogs(const std::set<std::string, std::less<>>& skipping) const {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(dataFolder_, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    if (error) return {};
    std::sort(names.begin(), names.end());

    // The header alone names the root: the internal volume's snapshot, often the largest file
    // here, is never read in full just to learn that it is no catalog.
    Volumes catalogs;
    std::set<std::string, std::less<>> roots;
    for (const std::string& name : names) {
        if (!name.ends_with(".idx")) continue;
        const std::string path = platform::joinPath(dataFolder_.string(), name);
        const std::optional<core::VolumeIndex::Peeked> header = core::VolumeIndex::peekHeader(path);
        if (!header) continue;
        const std::string& root = header->info.root;
        if (!isCatalogRoot(root) || skipping.contains(root) || roots.contains(root)) continue;
        std::optional<core::VolumeIndex::Loaded> loaded = loadCatalog_(path);
        // The file may have been replaced since its header was read: its root decides again.
        if (!loaded || loaded->info.root != root) continue;
        loaded->index->loadAudio(path);
        roots.insert(root);
        VolumeState::Offline catalog{std::string(platform::lastComponent(root)), root, path, std::move(loaded->index),
                                     std::move(loaded->info)};
        catalogs.push_back(VolumeState::create(std::move(catalog), volumeContext_));
    }
    return catalogs;
}

}  // namespace quorvanta::app
