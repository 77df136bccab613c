#include "platform/fs/FileSystem.h"

#include "platform/volumes/MountOfPath.h"
#include "platform/volumes/MountPoint.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace quorvanta::platform {
namespace {

// A path with a NUL byte inside cannot be handed to the kernel as the same path.
bool passable(const std::string& path) { return path.find('\0') == std::string::npos; }

int callResult(int rc) { return rc == 0 ? 0 : errno; }

int statItem(const std::string& path, int flags, FileStatus& out) {
    if (!passable(path)) return EINVAL;
    struct statx sx {};
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO | STATX_MNT_ID;
    if (statx(AT_FDCWD, path.c_str(), flags | AT_NO_AUTOMOUNT, mask, &sx) != 0) return errno;
    out.mode = sx.stx_mode;
    out.owner = sx.stx_uid;
    out.devMajor = sx.stx_dev_major;
    out.devMinor = sx.stx_dev_minor;
    out.inode = sx.stx_ino;
    out.mountID.reset();
    if (sx.stx_mask & STATX_MNT_ID) out.mountID = sx.stx_mnt_id;
    return 0;
}

}  // namespace

bool FileStatus::isFolder() const { return S_ISDIR(mode); }
bool FileStatus::isSymlink() const { return S_ISLNK(mode); }

bool FileStatus::sameItem(const FileStatus& other) const {
    return inode == other.inode && devMajor == other.devMajor && devMinor == other.devMinor;
}

bool FileStatus::sameMount(const FileStatus& other) const {
    if (devMajor != other.devMajor || devMinor != other.devMinor) return false;
    return !mountID || !other.mountID || *mountID == *other.mountID;
}

int RealFileSystem::lstat(const std::string& path, FileStatus& out) { return statItem(path, AT_SYMLINK_NOFOLLOW, out); }

int RealFileSystem::stat(const std::string& path, FileStatus& out) { return statItem(path, 0, out); }

int RealFileSystem::rename(const std::string& from, const std::string& to) {
    if (!passable(from) || !passable(to)) return EINVAL;
    return callResult(::rename(from.c_str(), to.c_str()));
}

int RealFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
    if (!passable(from) || !passable(to)) return EINVAL;
    return callResult(::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE));
}

int RealFileSystem::link(const std::string& existing, const std::string& newPath) {
    if (!passable(existing) || !passable(newPath)) return EINVAL;
    return callResult(::link(existing.c_str(), newPath.c_str()));
}

int RealFileSystem::unlink(const std::string& path) {
    if (!passable(path)) return EINVAL;
    return callResult(::unlink(path.c_str()));
}

int RealFileSystem::mkdir(const std::string& path, mode_t mode) {
    if (!passable(path)) return EINVAL;
    return callResult(::mkdir(path.c_str(), mode));
}

int RealFileSystem::open(const std::string& path, int flags, mode_t mode, int& fd) {
    if (!passable(path)) return EINVAL;
    const int opened = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (opened < 0) return errno;
    fd = opened;
    return 0;
}

int RealFileSystem::listFolder(const std::string& path, std::vector<std::string>& names) {
    if (!passable(path)) return EINVAL;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return errno;
    names.clear();
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return error;
}

bool RealFileSystem::isMountPoint(const std::string& path) { return platform::isMountPoint(path); }

std::optional<std::string> RealFileSystem::mountPointOf(const std::string& folder) {
    const auto mounts = readMountInfo();
    if (!mounts) return std::nullopt;
    const auto mount = mountOfPath(folder, *mounts);
    if (!mount) return std::nullopt;
    return mount->mountPoint;
}

FileSystem& realFileSystem() {
    static RealFileSystem real;
    return real;
}

std::string errnoText(int error) {
    if (const char* text = ::strerrordesc_np(error)) return text;
    return "Unknown error " + std::to_string(error);
}

}  // namespace quorvanta::platform
