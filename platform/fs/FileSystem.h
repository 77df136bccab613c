// The file-system calls behind the only operations that change the user's files (rename, move to
// the Trash), as one narrow interface. The real implementation asks the kernel; FakeFileSystem
// (FakeFileSystem.h) forwards to it except where a test makes a call fail on purpose or answer
// for a pretended mount, owner or item, so refusals that need another user, a read-only drive or
// a network share are tested without them (the tests run as root).
//
// Errors: every call returns 0 or an errno value and never throws; errno itself is left as it
// happens to be. Paths are raw bytes, passed to the kernel as they are.
// Threads: the real implementation keeps no state; any thread may call it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::platform {

// What statx says about one item.
struct FileStatus {
    mode_t mode = 0;  // type and permission bits, as st_mode
    uid_t owner = 0;
    unsigned devMajor = 0;
    unsigned devMinor = 0;
    std::uint64_t inode = 0;
    std::optional<std::uint64_t> mountID;  // none when the kernel cannot say

    bool isFolder() const;
    bool isSymlink() const;
    // Same device and inode: the same item, under whichever name it was reached.
    bool sameItem(const FileStatus& other) const;
    // Same device and, where both are known, the same mount: a rename between them can work.
    bool sameMount(const FileStatus& other) const;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // statx without following a final symbolic link (lstat), and following it (stat).
    virtual int lstat(const std::string& path, FileStatus& out) = 0;
    virtual int stat(const std::string& path, FileStatus& out) = 0;
    // rename(2): replaces what exists under `to`.
    virtual int rename(const std::string& from, const std::string& to) = 0;
    // renameat2 with RENAME_NOREPLACE: EEXIST instead of replacing. File systems that cannot do
    // it (NFS, CIFS, some FUSE) answer EINVAL; see RenameNoReplace.h for the fallback.
    virtual int renameNoReplace(const std::string& from, const std::string& to) = 0;
    // link(2): a hard link, never following a final symbolic link of `existing`.
    virtual int link(const std::string& existing, const std::string& newPath) = 0;
    virtual int unlink(const std::string& path) = 0;
    virtual int mkdir(const std::string& path, mode_t mode) = 0;
    // open(2); on success the new descriptor is in `fd` and belongs to the caller.
    virtual int open(const std::string& path, int flags, mode_t mode, int& fd) = 0;
    // The names in a folder, without "." and "..", in no particular order.
    virtual int listFolder(const std::string& path, std::vector<std::string>& names) = 0;
    // Whether the path (links followed) is the root of a mount (volumes/MountPoint.h).
    virtual bool isMountPoint(const std::string& path) = 0;
    // The mount point of the mount that holds the folder (volumes/MountOfPath.h); none when it
    // cannot be told.
    virtual std::optional<std::string> mountPointOf(const std::string& folder) = 0;
};

class RealFileSystem final : public FileSystem {
public:
    int lstat(const std::string& path, FileStatus& out) override;
    int stat(const std::string& path, FileStatus& out) override;
    int rename(const std::string& from, const std::string& to) override;
    int renameNoReplace(const std::string& from, const std::string& to) override;
    int link(const std::string& existing, const std::string& newPath) override;
    int unlink(const std::string& path) override;
    int mkdir(const std::string& path, mode_t mode) override;
    int open(const std::string& path, int flags, mode_t mode, int& fd) override;
    int listFolder(const std::string& path, std::vector<std::string>& names) override;
    bool isMountPoint(const std::string& path) override;
    std::optional<std::string> mountPointOf(const std::string& folder) override;
};

// The process-wide real file system.
FileSystem& realFileSystem();

// The system's text for an errno value, without a full stop ("Permission denied").
std::string errnoText(int error);

}  // namespace quorvanta::platform
