#include "platform/fs/DataDirectory.h"

#include "platform/fs/PrivateFolder.h"
#include "platform/fs/XdgDirs.h"

namespace quorvanta::platform {

std::filesystem::path dataDirectory(std::string_view appName) {
    const auto base = xdgDataHome();
    if (base.empty()) return {};
    auto folder = base / appName;
    makePrivateFolders(folder);
    return folder;
}

}  // namespace quorvanta::platform
