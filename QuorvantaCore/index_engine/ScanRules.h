// The scan's pure rules on names and paths: the junk rule, the include-only filter, the loop
// guard and the form of an exclusion. Byte-wise; names are never required to be UTF-8.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::index_engine {

// The junk names: those starting with "." match as spelled, the others ignoring ASCII case.
inline constexpr std::array<std::string_view, 7> kDotJunkNames = {
    ".DS_Store", ".Spotlight-V100", ".fseventsd", ".Trashes", ".TemporaryItems", ".apdisk", ".DocumentRevisions-V100"};
inline constexpr std::array<std::string_view, 6> kJunkNamesAnyCase = {
    "Thumbs.db", "desktop.ini", "ehthumbs.db", "$RECYCLE.BIN", "RECYCLED", "System Volume Information"};

// Whether a record is system junk by its own name (the inherited bit is the caller's).
bool isJunkName(std::string_view name, bool isFolder);

// Whether a file passes a non-empty include-only list: its name has a last "." that is not its
// first byte, and the text after it equals one of the extensions ignoring ASCII case.
bool includedByExtension(std::string_view name, const std::vector<std::string>& exts);

// The loop guard: whether the child (named `child`, inside `folderPath`) closes a block of k = 1,
// 2 or 3 names repeated six times at the end of its path, and so must not be entered.
bool repeatsSixTimes(std::string_view folderPath, std::string_view child);

// An exclusion as stored: trailing "/" removed, but never shorter than one byte.
std::string normalisedExclusion(std::string_view path);

}  // namespace quorvanta::index_engine
