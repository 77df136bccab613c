#include "platform/fs/RenameNoReplace.h"

#include <cerrno>

namespace quorvanta::platform {

int renameNoReplace(FileSystem& fs, const std::string& from, const std::string& to) {
    const int error = fs.renameNoReplace(from, to);
    if (error != EINVAL) return error;

    FileStatus item;
    if (const int statError = fs.lstat(from, item)) return statError;
    if (item.isFolder()) return EINVAL;
    if (const int linkError = fs.link(from, to)) {
        // EPERM and EOPNOTSUPP: this file system has no hard links; EMLINK: none more for it.
        const bool noLinks = linkError == EPERM || linkError == EOPNOTSUPP || linkError == EMLINK;
        return noLinks ? EINVAL : linkError;
    }
    if (const int unlinkError = fs.unlink(from)) {
        fs.unlink(to);
        return unlinkError;
    }
    return 0;
}

}  // namespace quorvanta::platform
