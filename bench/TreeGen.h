// A deterministic test tree for the benchmarks: every folder holds 50 files and up to 20
// subfolders, filled breadth-first until the tree has the requested number of entries.
// The tree lives in $QUORVANTA_BENCH_TREE (default $TMPDIR/quorvanta-bench-tree-<entries>) and
// is made once; a ".complete" marker tells a finished tree from an interrupted one.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>

namespace quorvanta::bench {

inline constexpr int kFilesPerFolder = 50;
inline constexpr int kSubfoldersPerFolder = 20;

inline uint64_t benchEntries() {
    const char* v = std::getenv("QUORVANTA_BENCH_ENTRIES");
    return v ? std::strtoull(v, nullptr, 10) : 1000000;
}

inline std::string benchTreePath(uint64_t entries) {
    if (const char* v = std::getenv("QUORVANTA_BENCH_TREE")) return v;
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvanta-bench-tree-" + std::to_string(entries);
}

// Makes the tree (unless complete already) and gives its root.
inline std::string ensureTree(uint64_t entries) {
    static const char* kExts[] = {"jpg", "mp3", "txt", "pdf", "flac", "png", "docx", "mov", "c", "h"};
    const std::string root = benchTreePath(entries);
    if (std::filesystem::exists(root + "/.complete")) return root;
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    std::deque<std::string> folders{root};
    uint64_t made = 0;
    char name[64];
    while (made < entries && !folders.empty()) {
        const std::string dir = folders.front();
        folders.pop_front();
        for (int f = 0; f < kFilesPerFolder && made < entries; ++f, ++made) {
            std::snprintf(name, sizeof name, "/File %04llu_%02d.%s", static_cast<unsigned long long>(made % 10000), f,
                          kExts[made % 10]);
            const int fd = open((dir + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0 || (f % 7 == 0 && ftruncate(fd, (made * 7919) % 5000000) != 0)) std::abort();
            close(fd);
        }
        for (int d = 0; d < kSubfoldersPerFolder && made < entries; ++d, ++made) {
            std::snprintf(name, sizeof name, "/folder_%02d", d);
            if (mkdir((dir + name).c_str(), 0755) != 0) std::abort();
            folders.push_back(dir + name);
        }
    }
    const int fd = open((root + "/.complete").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    close(fd);
    return root;
}

}  // namespace quorvanta::bench
