// Every option of every subcommand, declared once: its name, how its command's usage text shows
// it, and its default. The command table (Tool.cpp) lists each command's `all` and builds the
// usage texts from them; the commands read their values through these declarations.
//
// A command's `all` holds every option the command reads, its shared routines included, in the
// order its usage text shows them; one its usage text leaves out is marked hidden.
#pragma once

#include "quorvanta_cli/Args.h"

#include <array>
#include <span>

namespace quorvanta::cli::options {

// The workers of the scan that builds an index (Shared.h's `build`, which reads it).
inline constexpr Option scanThreads{.name = "--threads", .value = "N", .number = 8};

// The local API socket of api and mcp (ApiSocket.h's `apiSocketPath`, which reads it); absent,
// the default socket in the data directory.
inline constexpr Option socket{.name = "--socket", .value = "PATH"};

namespace scan {
inline constexpr Option threads = scanThreads;  // read in every mode, used by bulk only
inline constexpr Option mode{.name = "--mode", .value = "bulk|fts|fm", .text = "bulk"};
inline constexpr std::array all{threads, mode};
}  // namespace scan

namespace genTree {
inline constexpr Option files{.name = "--files", .value = "N", .shown = Shown::required, .number = 1'000'000};
inline constexpr std::array all{files};
}  // namespace genTree

namespace search {
inline constexpr Option volume{.name = "--volume", .value = "<path>", .shown = Shown::required};  // one or more
inline constexpr Option limit{.name = "--limit", .value = "N", .number = 50};
inline constexpr Option sort{.name = "--sort", .value = "name|size|date"};  // absent: the search's own order
inline constexpr Option desc{.name = "--desc"};
inline constexpr Option junk{.name = "--junk"};
inline constexpr Option json{.name = "--json"};
inline constexpr std::array all{volume, limit, sort, desc, junk, json, hidden(scanThreads)};
}  // namespace search

namespace benchSearch {
inline constexpr Option runs{.name = "--runs", .value = "N", .number = 30};  // also for a count below 1
inline constexpr std::array all{runs, scanThreads};
}  // namespace benchSearch

namespace snapSave {
inline constexpr std::array all{hidden(scanThreads)};
}  // namespace snapSave

namespace snapLoad {
inline constexpr Option query{.name = "--query", .value = "q", .text = "remix"};
inline constexpr std::array all{query};
}  // namespace snapLoad

// The fresh scan that both compare with reads the scan's thread count.
namespace snapReconcile {
inline constexpr std::array all{hidden(scanThreads)};
}  // namespace snapReconcile

namespace snapReplay {
inline constexpr Option save{.name = "--save"};
inline constexpr std::array all{save, hidden(scanThreads)};
}  // namespace snapReplay

namespace snapTop {
inline constexpr Option depth{.name = "--depth", .value = "N", .number = 2};
inline constexpr std::array all{depth};
}  // namespace snapTop

namespace audioCheck {
inline constexpr Option limit{.name = "--limit", .value = "N", .number = 300};
inline constexpr std::array all{limit};
}  // namespace audioCheck

namespace audioIndex {
// The analysis workers; the scan before the analysis takes the same value, else scanThreads'.
inline constexpr Option threads{.name = "--threads", .value = "N", .number = 4};
inline constexpr Option query{.name = "--query", .value = "q"};  // absent: a fixed set of queries
inline constexpr std::array all{threads, query};
}  // namespace audioIndex

namespace dupes {
inline constexpr Option snapshot{.name = "--snapshot", .value = "<file.idx>", .shown = Shown::choice};
inline constexpr Option volume{.name = "--volume", .value = "<root>", .shown = Shown::choice};
inline constexpr Option stages{.name = "--stages", .value = "1,2,3,4,5"};  // absent: the finder's stages
// The finder's workers (absent: the finder's default); a volume's scan takes the same value, else
// scanThreads'.
inline constexpr Option threads{.name = "--threads", .value = "N"};
inline constexpr Option ext{.name = "--ext", .value = "list"};  // absent: the finder's extensions
inline constexpr Option csv{.name = "--csv", .value = "file"};
inline constexpr Option m3u{.name = "--m3u", .value = "file"};
inline constexpr std::array all{snapshot, volume, stages, threads, ext, csv, m3u};
}  // namespace dupes

namespace api {
inline constexpr Option limit{.name = "--limit", .value = "N"};  // absent: the server's default
inline constexpr std::array all{limit, socket};
}  // namespace api

namespace mcp {
inline constexpr std::array all{socket};
}  // namespace mcp

}  // namespace quorvanta::cli::options
