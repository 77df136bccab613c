// Fixture trees for the refresh and reconcile tests: made with raw system calls (names are raw
// bytes, links are never followed, times are fixed), and a dump of an index's live entries to
// compare with a fresh scan of the same tree.
#pragma once

#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvanta::core {

inline void PrintTo(const RefreshStats& s, std::ostream* os) {
    *os << "listed " << s.listed << " added " << s.added << " removed " << s.removed << " updated " << s.updated
        << (s.fullRescan ? " fullRescan" : "") << (s.rootMissing ? " rootMissing" : "");
}

}  // namespace quorvanta::core

namespace quorvanta::core::test {

// The time every fixture object gets once built; a later change shows as a different time.
inline constexpr std::int64_t kFixedTime = 1'000'000'000;

inline void must(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

// A folder tree under `root`; paths given to its members are relative to the root.
class FixtureTree {
public:
    explicit FixtureTree(std::string root) : root_(std::move(root)) {
        must(mkdir(root_.c_str(), 0755) == 0 || errno == EEXIST, "mkdir " + root_);
    }

    const std::string& root() const { return root_; }
    std::string at(const std::string& rel) const { return rel.empty() ? root_ : root_ + "/" + rel; }

    void dir(const std::string& rel) const { must(mkdir(at(rel).c_str(), 0755) == 0, "mkdir " + rel); }
    void file(const std::string& rel, std::uint64_t size = 0) const {
        const int fd = open(at(rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        must(fd >= 0, "create " + rel);
        must(ftruncate(fd, static_cast<off_t>(size)) == 0, "ftruncate " + rel);
        close(fd);
    }
    void link(const std::string& rel, const std::string& target) const {
        must(symlink(target.c_str(), at(rel).c_str()) == 0, "symlink " + rel);
    }
    // Changes a file's size in place, its times kept (a write that leaves the folder alone).
    void resizeKeepingTimes(const std::string& rel, std::uint64_t size) const {
        struct stat st;
        must(lstat(at(rel).c_str(), &st) == 0, "lstat " + rel);
        must(truncate(at(rel).c_str(), static_cast<off_t>(size)) == 0, "truncate " + rel);
        const timespec t[2] = {st.st_atim, st.st_mtim};
        must(utimensat(AT_FDCWD, at(rel).c_str(), t, AT_SYMLINK_NOFOLLOW) == 0, "utimensat " + rel);
    }
    void setTime(const std::string& rel, std::int64_t seconds) const {
        const timespec t[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
        must(utimensat(AT_FDCWD, at(rel).c_str(), t, AT_SYMLINK_NOFOLLOW) == 0, "utimensat " + rel);
    }
    void rename(const std::string& from, const std::string& to) const {
        must(::rename(at(from).c_str(), at(to).c_str()) == 0, "rename " + from);
    }
    // Removes an object and, for a folder, everything below it; links are removed, not followed.
    void remove(const std::string& rel) const {
        auto one = [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path) == 0 ? 0 : -1; };
        must(nftw(at(rel).c_str(), one, 16, FTW_DEPTH | FTW_PHYS) == 0, "remove " + rel);
    }
    // Gives every object of the tree, the root included, the fixed time.
    void fixTimes() const {
        auto one = [](const char* path, const struct stat*, int, struct FTW*) {
            const timespec t[2] = {{static_cast<time_t>(kFixedTime), 0}, {static_cast<time_t>(kFixedTime), 0}};
            return utimensat(AT_FDCWD, path, t, AT_SYMLINK_NOFOLLOW);
        };
        must(nftw(root_.c_str(), one, 16, FTW_DEPTH | FTW_PHYS) == 0, "fix times");
    }

private:
    std::string root_;
};

// The tree of most cases, every time fixed:
//   a/ f1 (10 bytes) f2 (20) l -> f2 sub/ sub/g (5);  b/ h (7);  x/y/z/f (1);  "d\xff"/ "x\xfe" (3)
inline void buildFixture(const FixtureTree& t) {
    t.dir("a");
    t.file("a/f1", 10);
    t.file("a/f2", 20);
    t.dir("a/sub");
    t.file("a/sub/g", 5);
    t.link("a/l", "f2");
    t.dir("b");
    t.file("b/h", 7);
    t.dir("x");
    t.dir("x/y");
    t.dir("x/y/z");
    t.file("x/y/z/f", 1);
    t.dir("d\xff");
    t.file("d\xff/x\xfe", 3);
    t.fixTimes();
}

// One line per live entry, "path|flags|size|mtime|ctime", sorted; roots give "path|flags" (their
// own times are never refreshed).
inline std::vector<std::string> dump(const VolumeIndex& index) {
    std::vector<std::string> out;
    for (std::uint32_t i = 0; i < index.count(); ++i) {
        const EntryFlags f = index.flags(i);
        if (f.contains(EntryFlags::deleted)) continue;
        std::string line = index.path(i) + "|" + std::to_string(f.rawValue);
        if (!f.contains(EntryFlags::root))
            line += "|" + std::to_string(index.size(i)) + "|" + std::to_string(index.mtime(i)) + "|" +
                    std::to_string(index.ctime(i));
        out.push_back(std::move(line));
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline std::shared_ptr<VolumeIndex> scanOf(const std::vector<std::string>& roots,
                                           const std::vector<std::string>& excludes = {},
                                           std::uint32_t maxEntries = 1u << 16) {
    auto index = VolumeIndex::create(maxEntries, 1u << 22, excludes);
    index->scan(roots, 2, 0);
    return index;
}

// The dump of a fresh scan of the same roots with the same exclusions.
inline std::vector<std::string> freshDump(const VolumeIndex& index, const std::vector<std::string>& roots) {
    return dump(*scanOf(roots, index.excludes()));
}

inline std::int64_t deletedFlags(const VolumeIndex& index) {
    std::int64_t n = 0;
    for (std::uint32_t i = 0; i < index.count(); ++i) n += index.flags(i).contains(EntryFlags::deleted);
    return n;
}

// The live folder entries that hold two live children of one name (none in a sound index).
inline std::vector<std::string> duplicateLiveNames(const VolumeIndex& index) {
    std::map<std::pair<std::uint32_t, std::string>, int> seen;
    std::vector<std::string> out;
    for (std::uint32_t i = 0; i < index.count(); ++i) {
        const auto p = index.parent(i);
        if (!p || index.flags(i).contains(EntryFlags::deleted)) continue;
        if (++seen[{*p, index.name(i)}] == 2) out.push_back(index.path(i));
    }
    return out;
}

inline std::string describe(const RefreshStats& s) {
    std::ostringstream out;
    PrintTo(s, &out);
    return out.str();
}

inline RefreshStats stats(std::int64_t listed, std::int64_t added, std::int64_t removed, std::int64_t updated) {
    RefreshStats s;
    s.listed = listed;
    s.added = added;
    s.removed = removed;
    s.updated = updated;
    return s;
}

}  // namespace quorvanta::core::test
