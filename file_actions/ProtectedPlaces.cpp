#include "file_actions/FileActions.h"

#include "platform/fs/PathText.h"
#include "platform/fs/XdgDirs.h"
#include "platform/volumes/ExternalDrives.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace quorvanta::FileActions {
namespace {

using Components = std::vector<std::string_view>;

Components componentsOf(std::string_view path) {
    Components parts;
    std::size_t at = 0;
    while (at < path.size()) {
        const auto slash = std::min(path.find('/', at), path.size());
        if (slash > at) parts.push_back(path.substr(at, slash - at));
        at = slash + 1;
    }
    return parts;
}

bool isOneOf(std::string_view name, std::span<const std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Top folders whose whole tree belongs to the system. /run is one too, apart from what lies
// inside the drives mounted below /run/media.
constexpr std::array<std::string_view, 12> kSystemTops{
    "usr", "bin", "sbin", "lib", "lib32", "lib64", "libx32", "etc", "boot", "dev", "proc", "sys",
};

// The standard folders of a home. Besides the freedesktop.org names, the other desktop's names
// ("Movies", "Library", "Applications", "Sites") and the hidden base folders of settings, data
// and caches.
constexpr std::array<std::string_view, 15> kStandardFolders{
    "Desktop", "Documents", "Downloads",    "Music", "Pictures", "Public", "Templates", "Videos",
    "Movies",  "Library",   "Applications", "Sites", ".config",  ".local", ".cache",
};

// How deep drives lie below a folder of kExternalDriveFolders: udisks mounts each user's drives
// in a folder of their own below /media and /run/media ("/media/me/USB"), while a drive mounted
// by hand under /mnt sits right in it ("/mnt/Backup"). A removable drive straight in /media
// ("/media/USB", as older systems and fstab entries do) is a root as well.
std::size_t maxDriveDepth(std::string_view folder) { return folder == "/mnt" ? 1 : 2; }

bool isDriveRoot(std::string_view path) {
    for (const std::string_view folder : platform::kExternalDriveFolders) {
        const std::optional<std::string_view> below = platform::pathBelow(path, folder);
        if (below && !below->empty() && componentsOf(*below).size() <= maxDriveDepth(folder)) return true;
    }
    return false;
}

std::string_view nameOf(std::string_view path) { return path.substr(path.rfind('/') + 1); }

// The folders user-dirs.dirs names (Desktop, Documents, Music, ... in the user's language), as
// exact paths; each may lie anywhere.
std::vector<std::string> xdgUserDirectories() {
    using platform::UserDir;
    constexpr UserDir kAll[] = {UserDir::desktop, UserDir::documents, UserDir::download,    UserDir::videos,
                                UserDir::music,   UserDir::pictures,  UserDir::publicShare, UserDir::templates};
    const platform::UserDirs dirs = platform::UserDirs::load();
    std::vector<std::string> folders;
    for (const UserDir dir : kAll)
        if (const auto folder = dirs.folder(dir)) folders.push_back(standardisedPath(folder->string()));
    return folders;
}

// The protected-place rules for a standardised path, the first that matches deciding; `home` is
// the standardised home folder.
bool protectedByRules(const std::string& path, const std::string& home, const std::vector<std::string>& userDirectories,
                      platform::FileSystem& fs) {
    if (path.empty() || path == "/") return true;
    if (path.front() != '/') return true;  // relative paths are never acted on
    const Components parts = componentsOf(path);
    if (parts.size() == 1) return true;  // /home, /usr, /media, /tmp, any top-level item
    if (isOneOf(parts[0], kSystemTops)) return true;
    if (parts[0] == "run" && !(parts.size() >= 5 && parts[1] == "media")) return true;
    if (isDriveRoot(path)) return true;
    const bool homeIsSet = home.size() > 1 && home.front() == '/';
    if ((parts.size() == 2 && parts[0] == "home") || (homeIsSet && path == home)) return true;
    const bool inHome = (parts.size() == 3 && parts[0] == "home") || (homeIsSet && platform::parentPath(path) == home);
    if (inHome && isOneOf(nameOf(path), kStandardFolders)) return true;
    if (std::find(userDirectories.begin(), userDirectories.end(), path) != userDirectories.end()) return true;
    return isMountPoint(path, fs);
}

// The path with its parent folder's links resolved; none when the parent cannot be resolved
// (it does not exist) or the path has no parent.
std::optional<std::string> withResolvedParent(const std::string& path) {
    if (path.size() < 2 || path.front() != '/' || path.find('\0') != std::string::npos) return std::nullopt;
    const std::string parent = platform::parentPath(path);
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(parent.c_str(), nullptr), &std::free);
    if (!resolved) return std::nullopt;
    return platform::joinPath(resolved.get(), nameOf(path));
}

}  // namespace

std::string realPath(std::string_view path) { return std::string(path); }

std::string standardisedPath(std::string_view path) {
    std::string expanded;
    if (path == "~" || path.starts_with("~/")) {
        expanded = platform::homeDir().string();
        expanded += path.substr(1);
    } else {
        expanded = path;
    }
    if (expanded.empty() || expanded.front() != '/') return expanded;
    return platform::normalisedPath(expanded);
}

bool isProtected(std::string_view path, platform::FileSystem& fs) {
    const std::string standardised = standardisedPath(realPath(path));
    const std::string home = standardisedPath(platform::homeDir().string());
    const std::vector<std::string> userDirectories = xdgUserDirectories();
    if (protectedByRules(standardised, home, userDirectories, fs)) return true;
    const auto resolved = withResolvedParent(standardised);
    return resolved && *resolved != standardised && protectedByRules(*resolved, home, userDirectories, fs);
}

bool isMountPoint(const std::string& path, platform::FileSystem& fs) {
    platform::FileStatus status;
    if (fs.lstat(path, status) != 0 || status.isSymlink()) return false;
    return fs.isMountPoint(path);
}

}  // namespace quorvanta::FileActions
