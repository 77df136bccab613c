// The walkers behind `scan`'s modes. Each fills a scan_stats for one root and never prints.
//
//   scan_bulk  the index engine's parallel scan into a throwaway handle, as the application scans
//   scan_fts   glibc's file-tree walk, physical (links are not followed), no chdir
//   scan_fm    a plain walker with one lstat-like call per entry, counting every non-folder as
//              a file, the yardstick of a file manager's enumeration
#pragma once

#include "QuorvantaCore/index_engine/fidx.h"

#include <cstdint>
#include <string>

namespace quorvanta::cli {

// 0, or non-zero when the root cannot be opened as a folder. threads is bounded to the engine's
// 1..256 here, so no count is cut to 32 bits on the way.
int scan_bulk(const std::string& path, std::int64_t threads, scan_stats& stats);

// What one entry of the file-tree walk adds to the counters.
enum class FtsTally { nothing, dir, file, other, error, enoent, cannotOpen };

// ftsInfo is the entry's fts_info, errorNumber its fts_errno, level its fts_level. A root entry
// (level 0) that cannot be examined or read means the walk cannot be opened: glibc's fts_open
// accepts a missing root and hands it back as an entry without stat information.
FtsTally ftsTally(int ftsInfo, int errorNumber, int level);

// 0, or -1 when the walk cannot be opened (stats untouched then). bytes sums regular files'
// sizes; nested is 0.
int scan_fts(const std::string& path, scan_stats& stats);

// 0, or -1 when the root cannot be opened as a folder (stats untouched then). Folders below the
// root that cannot be read count in errors and are skipped; links are never followed.
int scan_fm(const std::string& path, scan_stats& stats);

}  // namespace quorvanta::cli
