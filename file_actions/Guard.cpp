#include "file_actions/FileActions.h"
#include "file_actions/SystemFailure.h"

#include <cerrno>
#include <utility>

namespace quorvanta::FileActions {

std::string check(std::string_view path, Action action, platform::FileSystem& fs) {
    std::string checked = standardisedPath(realPath(path));
    if (isProtected(checked, fs)) throw Failure::protected_(std::move(checked));
    platform::FileStatus status;
    if (const int error = fs.lstat(checked, status)) {
        if (error == ENOENT || error == ENOTDIR) throw Failure::missing(std::move(checked));
        throw systemFailure(action, error);
    }
    return checked;
}

}  // namespace quorvanta::FileActions
