// Building folder trees for the scan tests, reading a scanned index back as paths, and an
// independent walk (nftw + statx) to compare scans with.
#pragma once

#include "tests/QuorvantaCore/index_engine/EngineTestSupport.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace quorvanta::index_engine::test {

inline void check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

inline void makeDir(const std::string& path) {
    check(mkdir(path.c_str(), 0755) == 0 || errno == EEXIST, "mkdir " + path);
}

inline void makeFile(const std::string& path, uint64_t size = 0) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0, "create " + path);
    check(ftruncate(fd, static_cast<off_t>(size)) == 0, "ftruncate " + path);
    close(fd);
}

inline void setTimes(const std::string& path, int64_t mtime) {
    const timespec t[2] = {{static_cast<time_t>(mtime), 0}, {static_cast<time_t>(mtime), 0}};
    check(utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW) == 0, "utimensat " + path);
}

// One entry as the tests compare them.
struct Seen {
    std::string path;
    char kind;  // d folder, l symbolic link, - anything else
    uint64_t size;
    uint32_t mtime, ctime;
    uint8_t flags;
    std::string ext;
    auto key() const { return std::tie(path, kind, size, mtime, ctime, flags, ext); }
    bool operator<(const Seen& o) const { return key() < o.key(); }
    bool operator==(const Seen& o) const { return key() == o.key(); }
};

inline std::ostream& operator<<(std::ostream& os, const Seen& s) {
    return os << s.kind << " " << s.path << " size=" << s.size << " m=" << s.mtime << " c=" << s.ctime
              << " flags=" << int(s.flags) << " ext=" << s.ext;
}

// The full path of an entry: its root's name, then the names below it.
inline std::string pathOf(const fidx* h, uint32_t e) {
    if (h->parent[e] == FIDX_NONE) return nameOf(h, e);
    std::string parent = pathOf(h, h->parent[e]);
    if (parent.empty() || parent.back() != '/') parent += '/';
    return parent + nameOf(h, e);
}

// Every entry of the index below (not including) the entries with the root flag.
inline std::vector<Seen> indexed(const fidx* h) {
    std::vector<Seen> out;
    for (uint32_t e = 0; e < fidx_count(h); ++e) {
        if (h->flags[e] & FIDX_ROOT) continue;
        const uint8_t f = h->flags[e];
        const char kind = f & FIDX_FOLDER ? 'd' : f & FIDX_SYMLINK ? 'l' : '-';
        out.push_back({pathOf(h, e), kind, h->size[e], h->mtime[e], h->ctime[e], f, extOf(h, e)});
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Children of each parent must be one contiguous run of entries, and every parent a folder.
inline std::string contiguityFault(const fidx* h) {
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> spans;  // parent -> first, count
    std::map<uint32_t, uint32_t> last;
    for (uint32_t e = 0; e < fidx_count(h); ++e) {
        const uint32_t p = h->parent[e];
        if (p == FIDX_NONE) continue;
        if (!(h->flags[p] & FIDX_FOLDER)) return "parent of " + std::to_string(e) + " is no folder";
        auto [it, fresh] = spans.try_emplace(p, e, 0);
        if (!fresh && last[p] + 1 != e) return "children of " + std::to_string(p) + " are split";
        last[p] = e;
        ++it->second.second;
    }
    return "";
}

}  // namespace quorvanta::index_engine::test
