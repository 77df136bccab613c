#include "platform/fs/DataDirectory.h"

#include "platform/fs/XdgDirs.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace quorvanta::platform {
namespace {

// Creates the missing folders of an absolute path, each with mode 0700, outermost first.
void createPrivateFolders(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> missing;
    std::error_code ec;
    for (auto p = folder; !p.empty() && !std::filesystem::exists(p, ec); p = p.parent_path()) {
        if (ec || p == p.parent_path()) return;
        missing.push_back(p);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return;
}

}  // namespace

std::filesystem::path dataDirectory(std::string_view appName) {
    const auto base = xdgDataHome();
    if (base.empty()) return {};
    auto folder = base / appName;
    createPrivateFolders(folder);
    return folder;
}

}  // namespace quorvanta::platform
