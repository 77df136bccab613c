#include "QuorvantaCore/index_engine/FolderReader.h"

#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "QuorvantaCore/index_engine/ScanRules.h"
#include "platform/diagnostics/Verbose.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace quorvanta::index_engine {
namespace {

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BTIME | STATX_MNT_ID;

enum class Kind { Folder, File, Link, Other };

Kind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return Kind::Folder;
    if (S_ISREG(mode)) return Kind::File;
    if (S_ISLNK(mode)) return Kind::Link;
    return Kind::Other;
}

Kind kindOfDirent(unsigned char type) {
    switch (type) {
        case DT_DIR:
            return Kind::Folder;
        case DT_REG:
            return Kind::File;
        case DT_LNK:
            return Kind::Link;
        default:
            return Kind::Other;
    }
}

uint32_t clampSeconds(int64_t s) {
    if (s < 0) return 0;
    if (s > int64_t{0xFFFFFFFF}) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(s);
}

EntryTimes timesOfStatx(const struct statx& sx) {
    EntryTimes t;
    t.mtime = clampSeconds(sx.stx_mtime.tv_sec);
    t.ctime = (sx.stx_mask & STATX_BTIME) ? clampSeconds(sx.stx_btime.tv_sec) : 0;
    return t;
}

DeviceId deviceOfStatx(const struct statx& sx) {
    DeviceId d;
    d.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    d.hasMountId = sx.stx_mask & STATX_MNT_ID;
    d.mountId = d.hasMountId ? sx.stx_mnt_id : 0;
    return d;
}

bool otherDevice(const DeviceId& root, const DeviceId& d) {
    return d.dev != root.dev || (root.hasMountId && d.hasMountId && d.mountId != root.mountId);
}

}  // namespace

bool statTimes(const char* path, EntryTimes& out) {
    struct statx sx;
    if (statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MTIME | STATX_BTIME, &sx) != 0) return false;
    out = timesOfStatx(sx);
    return true;
}

bool statEntry(int dirfd, const char* name, EntryMeta& out) {
    struct statx sx;
    if (statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &sx) != 0) return false;
    const Kind kind = kindOfMode(sx.stx_mode);
    out.kindFlags = kind == Kind::Folder ? uint8_t{FIDX_FOLDER}
                    : kind == Kind::Link ? uint8_t{FIDX_SYMLINK}
                                         : uint8_t{0};
    out.size = kind == Kind::File ? sx.stx_size : 0;
    out.times = timesOfStatx(sx);
    return true;
}

int openFolder(const char* path, bool follow) {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0 && errno == ELOOP && !follow) errno = ENOTDIR;  // a link where a folder was: gone
    return fd;
}

bool deviceOf(int fd, DeviceId& out) {
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MNT_ID, &sx) != 0) return false;
    out = deviceOfStatx(sx);
    return true;
}

void reportOpenFailure(const char* path, int error) {
    if (!platform::verbose()) return;
    char text[256];
    std::fprintf(stderr, "open %s: %s\n", path, strerror_r(error, text, sizeof text));
}

int readFolder(int fd, const ReadContext& ctx, uint8_t inherited, char* buffer, fidx_listing& batch,
               scan_stats& stats) {
    resetBatch(batch);
    const uint8_t inheritedHidden = inherited & FIDX_HIDDEN;
    const uint8_t inheritedJunk = inherited & FIDX_JUNK;
    const bool filtered = ctx.includeExts && !ctx.includeExts->empty();
    bool statFailed = false;
    int result = 0;
    for (;;) {
        const ssize_t got = getdents64(fd, buffer, kListingBufferBytes);
        if (got == 0) break;
        if (got < 0) {
            const int err = errno;
            ++(err == ENOENT ? stats.enoent : stats.errors);
            errno = err;
            result = -1;
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += d->d_reclen;
            const std::string_view name(d->d_name);
            if (name == "." || name == "..") continue;

            struct statx sx;
            Kind kind;
            bool known = true;
            if (statx(fd, d->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &sx) == 0) {
                kind = kindOfMode(sx.stx_mode);
            } else if (errno == ENOENT) {
                continue;  // removed since the directory was read
            } else {
                known = false;
                statFailed = true;
                kind = kindOfDirent(d->d_type);
            }

            uint8_t flags = 0;
            uint64_t size = 0;
            if (kind == Kind::Folder) {
                flags = FIDX_FOLDER;
                if (known && otherDevice(ctx.device, deviceOfStatx(sx))) flags |= FIDX_OTHER_DEVICE;
                ++stats.dirs;
            } else {
                if (filtered && !includedByExtension(name, *ctx.includeExts)) continue;
                if (kind == Kind::File) {
                    size = known ? sx.stx_size : 0;
                    ++stats.files;
                    stats.bytes += size;
                } else {
                    if (kind == Kind::Link) flags = FIDX_SYMLINK;
                    ++stats.other;
                }
            }
            flags |= name[0] == '.' ? uint8_t{FIDX_HIDDEN} : inheritedHidden;
            if (inheritedJunk || isJunkName(name, kind == Kind::Folder)) flags |= FIDX_JUNK;
            const EntryTimes times = known ? timesOfStatx(sx) : EntryTimes{};
            addRecord(batch, name.data(), name.size(), size, times.mtime, times.ctime, flags);
        }
    }
    if (statFailed) ++stats.errors;
    return result;
}

}  // namespace quorvanta::index_engine
