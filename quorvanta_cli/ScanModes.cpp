#include "quorvanta_cli/ScanModes.h"

#include "QuorvantaCore/text/Fold.h"
#include "platform/fs/PathText.h"
#include "quorvanta_cli/Shared.h"

#include <dirent.h>
#include <fcntl.h>
#include <fts.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace quorvanta::cli {
namespace {

// Room of the throwaway handle: nothing is kept, so half the capacity of a volume index.
constexpr std::uint32_t kBulkMaxEntries = 33'554'432;
constexpr std::uint64_t kBulkMaxNameBytes = 1'073'741'824;

// Reads one opened folder: counts its entries and queues its subfolders. Closes the folder.
void listFolder(DIR* dir, const std::string& folder, scan_stats& counts, std::vector<std::string>& pending) {
    const int fd = dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            if (errno != 0) ++counts.errors;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        const bool known = fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (known && S_ISDIR(st.st_mode)) {
            ++counts.dirs;
            pending.push_back(platform::joinPath(folder, entry->d_name));
        } else {
            ++counts.files;
            if (known && S_ISREG(st.st_mode)) counts.bytes += static_cast<std::uint64_t>(st.st_size);
        }
    }
    closedir(dir);
}

DIR* openFolder(const std::string& path, int extraFlags) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags);
    if (fd < 0) return nullptr;
    DIR* dir = fdopendir(fd);
    if (!dir) close(fd);
    return dir;
}

}  // namespace

int scan_bulk(const std::string& path, std::int64_t threads, scan_stats& stats) {
    // The application's fold, so non-ASCII names cost what they cost when the application scans.
    fidx_set_fold(quorvanta_fold_hook);
    fidx* handle = fidx_new(kBulkMaxEntries, kBulkMaxNameBytes);
    const int result = fidx_scan(handle, path.c_str(), engineThreads(threads), &stats);
    fidx_free(handle);
    return result;
}

FtsTally ftsTally(int ftsInfo, int errorNumber, int level) {
    switch (ftsInfo) {
        case FTS_D:
            return level > FTS_ROOTLEVEL ? FtsTally::dir : FtsTally::nothing;
        case FTS_DP:
            return FtsTally::nothing;
        case FTS_DNR:
        case FTS_ERR:
        case FTS_NS:
            if (level <= FTS_ROOTLEVEL) return FtsTally::cannotOpen;
            return errorNumber == ENOENT ? FtsTally::enoent : FtsTally::error;
        case FTS_F:
            return FtsTally::file;
        default:
            return FtsTally::other;
    }
}

int scan_fts(const std::string& path, scan_stats& stats) {
    std::string root = path;
    char* const roots[] = {root.data(), nullptr};
    FTS* walk = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
    if (!walk) return -1;
    scan_stats counts{};
    while (FTSENT* entry = fts_read(walk)) {
        switch (ftsTally(entry->fts_info, entry->fts_errno, entry->fts_level)) {
            case FtsTally::nothing:
                break;
            case FtsTally::dir:
                ++counts.dirs;
                break;
            case FtsTally::file:
                ++counts.files;
                counts.bytes += static_cast<std::uint64_t>(entry->fts_statp->st_size);
                break;
            case FtsTally::other:
                ++counts.other;
                break;
            case FtsTally::error:
                ++counts.errors;
                break;
            case FtsTally::enoent:
                ++counts.enoent;
                break;
            case FtsTally::cannotOpen:
                fts_close(walk);
                return -1;
        }
    }
    fts_close(walk);
    stats.files = counts.files;
    stats.dirs = counts.dirs;
    stats.other = counts.other;
    stats.errors = counts.errors;
    stats.enoent = counts.enoent;
    stats.bytes = counts.bytes;
    stats.nested = 0;
    return 0;
}

int scan_fm(const std::string& path, scan_stats& stats) {
    // The root is the folder the user named, so a link there is followed; below it, never.
    DIR* rootDir = openFolder(path, 0);
    if (!rootDir) return -1;
    scan_stats counts{};
    std::vector<std::string> pending;
    listFolder(rootDir, path, counts, pending);
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        if (DIR* dir = openFolder(folder, O_NOFOLLOW))
            listFolder(dir, folder, counts, pending);
        else
            ++counts.errors;
    }
    stats = counts;
    return 0;
}

}  // namespace quorvanta::cli
