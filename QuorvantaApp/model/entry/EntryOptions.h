// The application's command line, read once by the entry before anything else runs.
//
// Options are recognised only as whole arguments, compared exactly; the program path (the first
// argument) is never one. Roots are collected from every argument, so a "--root" among the self
// test's queries still adds a root. Forced roots are made absolute against the current folder and
// written in their normal form ("." and ".." worked out, repeated and trailing "/" dropped) without
// resolving links, so that a root always names the same folder and has a last component.
//
// Pure: reads nothing but its arguments. Safe from any thread.
#pragma once

#include "QuorvantaApp/model/columns/ColumnSets.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

enum class EntryMode { desktop, startupBench, selfTest };

struct EntryOptions {
    static constexpr std::string_view kNoPersist = "--no-persist";
    static constexpr std::string_view kSelfTest = "--selftest";
    static constexpr std::string_view kRoot = "--root";
    static constexpr std::string_view kShowColumns = "--show-columns";
    static constexpr std::string_view kKind = "--kind";
    static constexpr std::string_view kStartupBench = "--startup-bench";

    // The process arguments, program path first.
    std::vector<std::string> args;
    // False with "--no-persist" or "--selftest".
    bool persist = true;
    // Each "--root" followed by an argument, in order, absolute and normalised.
    std::vector<std::string> roots;
    // The first "--show-columns" with a value: its non-empty comma-separated ids.
    std::optional<ColumnSet> forcedColumns;
    // The first "--kind" with a value: the one-run kind style.
    std::optional<std::string> kindStyle;
    // The benchmark wins over the self test; neither: the desktop.
    EntryMode mode = EntryMode::desktop;
    // The arguments after the first "--selftest".
    std::vector<std::string> queries;

    static EntryOptions read(std::vector<std::string> args, std::string_view currentFolder);
};

// `root` made absolute against `currentFolder` (itself absolute) and normalised on the text.
std::string absoluteRoot(std::string_view root, std::string_view currentFolder);

}  // namespace quorvanta::app
