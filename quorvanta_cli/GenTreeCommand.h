// gen-tree <path> --files N: a regular tree of empty files for scan and search benchmarks,
// written only into a folder named QuorvantaTestTree… inside the home folder.
//
// Shape: top0, top1, … under the root; each folder holds up to 50 files
// "track_<j>_<n mod 997> remix.<ext>" and, down to depth 6 below its top folder, up to 20
// subfolders d0…d19, filled depth first until the requested number of files is reached.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quorvanta::cli {

// Where gen-tree may write: the root (expanded and lexically normalised), and the real path of
// the deepest folder above it that exists already, with the components still to be created.
struct GenTreeTarget {
    std::filesystem::path root;
    std::filesystem::path existingParent;  // real path; every later component is created
    std::filesystem::path toCreate;        // relative, ends with the root's own name
};

// None when gen-tree must refuse the path: after expanding a leading "~" and normalising, it must
// lie below home, its last component must begin with "QuorvantaTestTree", it must not lie in an
// external-drive mount folder, and the deepest existing folder on its way must really be inside
// home (no ".." or link leads out). Reads the file system, changes nothing.
std::optional<GenTreeTarget> genTreeTarget(std::string_view pathText, const std::filesystem::path& home);

struct GenTreeCounts {
    std::int64_t files = 0;  // files attempted
    std::int64_t dirs = 0;   // folders attempted, the root not counted
};

// Creates the tree for target (files ≤ 0: only the root). Failures are counted as attempts, never
// reported; nothing existing is truncated, no link is followed and no FIFO is waited on.
GenTreeCounts genTree(const GenTreeTarget& target, std::int64_t files);

}  // namespace quorvanta::cli
