#include "platform/volumes/DiskLinks.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <system_error>

namespace quorvanta::platform {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string realPath(const std::filesystem::path& path) {
    std::error_code ec;
    auto resolved = std::filesystem::canonical(path, ec);
    return ec ? std::string() : resolved.native();
}

bool linkNamesDevice(const std::filesystem::path& link, const MountEntry& mount, const std::string& resolvedSource) {
    struct stat target {};
    if (stat(link.c_str(), &target) != 0) return false;  // dangling
    if (S_ISBLK(target.st_mode) && major(target.st_rdev) == mount.devMajor && minor(target.st_rdev) == mount.devMinor)
        return true;
    return !resolvedSource.empty() && realPath(link) == resolvedSource;
}

}  // namespace

std::string decodeUdevName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const int high = hexDigit(name[i + 2]);
            const int low = hexDigit(name[i + 3]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 3;
                continue;
            }
        }
        out.push_back(name[i]);
    }
    return out;
}

std::optional<std::string> linkNameForMount(const MountEntry& mount, const std::filesystem::path& folder,
                                            const std::function<bool(std::string_view)>& accept) {
    const std::string resolvedSource =
        !mount.source.empty() && mount.source.front() == '/' ? realPath(mount.source) : std::string();
    std::optional<std::string> best;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = decodeUdevName(it->path().filename().native());
        if (!accept(name) || (best && *best <= name)) continue;
        if (linkNamesDevice(it->path(), mount, resolvedSource)) best = std::move(name);
    }
    return best;
}

std::optional<std::string> labelFromByLabelFolder(const MountEntry& mount, const std::filesystem::path& folder) {
    return linkNameForMount(mount, folder, [](std::string_view label) { return !label.empty(); });
}

}  // namespace quorvanta::platform
