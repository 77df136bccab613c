#include "platform/fs/PrivateFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace quorvanta::platform {

std::error_code makePrivateFolders(const std::filesystem::path& folder) {
    if (folder.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
    // Collect the missing folders from the innermost out, then make them outermost first.
    std::vector<std::filesystem::path> missing;
    for (auto p = folder.lexically_normal(); !p.empty(); p = p.parent_path()) {
        struct stat st {};
        if (stat(p.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::not_a_directory);
            break;
        }
        if (errno != ENOENT) return {errno, std::generic_category()};
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return {errno, std::generic_category()};
    return {};
}

}  // namespace quorvanta::platform
