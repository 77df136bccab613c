#include "platform/fs/PathUnder.h"

namespace quorvanta::platform {

bool isSameOrUnder(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    if (folder == "/") return !path.empty() && path.front() == '/';
    return path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace quorvanta::platform
