// The snapshot commands that write and inspect one snapshot file:
//   snap-save <root> <file.idx>          scan, build every order, save, with timings and footprint
//   snap-load <file.idx> [--query q]     load, search once and order the hits, with timings
//   snap-fseuuid [path]                  the event-log identity of the path's device
//   snap-top <file.idx> [--depth N]      the folders holding the most entries at one depth
#include "QuorvantaCore/api/VolumeSearch.h"
#include "QuorvantaCore/index/SnapshotInfo.h"
#include "QuorvantaCore/index/SortOrders.h"
#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/events/EventSource.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

namespace quorvanta::cli {
namespace {

constexpr std::size_t kTopFolders = 15;

std::uint64_t fileBytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// ["name", "size"]: the stale sort keys, quoted, in sort-key order.
std::string quotedKeys(const std::vector<core::SortKey>& keys) {
    std::string out = "[";
    for (std::size_t i = 0; i < keys.size(); ++i)
        out += (i > 0 ? ", \"" : "\"") + std::string(core::rawValue(keys[i])) + "\"";
    return out + "]";
}

}  // namespace

int snapSaveCommand(Cli& cli) {
    const auto root = cli.args.at(1);
    const auto file = cli.args.at(2);
    if (!root || !file) usageExit(cli, "snap-save");

    // Taken before the scan: a later replay starts from here, so nothing the scan missed is lost.
    const std::uint64_t eventID = platform::processEventSource()->currentId();
    double t = now();
    const auto index = build(cli, {*root});
    const double scanSeconds = now() - t;

    t = now();
    for (const core::SortKey key : core::allSortKeys) index->permutation(key);
    const double permSeconds = now() - t;

    const double before = footprintMB();
    t = now();
    core::SnapshotInfo info;
    info.uuid = core::VolumeID::uuid(*root).value_or("none");
    info.fseUUID = core::VolumeID::fseUUID(*root).value_or("");
    info.root = *root;
    info.eventID = eventID;
    info.savedAt = std::chrono::system_clock::now();
    info.storeID = index->storeID();
    if (!index->save(*file, info)) {
        cli.out << "save failed\n";
        return kFailed;
    }
    const double saveSeconds = now() - t;

    const double count = index->count();
    cli.out << "entries=" << index->count() << " scan=" << fmt(scanSeconds) << " s perms=" << fmt(permSeconds)
            << " s save=" << fmt(saveSeconds) << " s file=" << fmt(static_cast<double>(fileBytes(*file)) / 1e6)
            << " MB eventID=" << eventID << '\n';
    const double after = footprintMB();
    cli.out << "footprint before save " << fmt(before) << " MB -> after " << fmt(after) << " MB ("
            << fmt(after / count * 1e6) << " MB per 1M entries)\n";
    return kSuccess;
}

int snapLoadCommand(Cli& cli) {
    const auto file = cli.args.at(1);
    if (!file) usageExit(cli, "snap-load");
    double t = now();
    auto loaded = core::VolumeIndex::load(*file, {});
    const double loadSeconds = now() - t;
    if (!loaded) {
        cli.out << "cannot load " << *file << '\n';
        return kFailed;
    }
    const auto& index = loaded->index;
    const core::Query query = parseQueryOrEnd(cli, cli.args.text(options::snapLoad::query));

    t = now();
    core::Searcher searcher(index);
    const std::vector<std::uint32_t> hits = searcher.search(query, false).value_or(std::vector<std::uint32_t>{});
    const double searchSeconds = now() - t;

    t = now();
    const auto ordered = index->ordered(hits, core::SortKey::name, false, 100, core::kDirectSortLimit);
    const double orderSeconds = now() - t;

    cli.out << "load=" << fmt(loadSeconds * 1000) << " ms entries=" << index->count()
            << " tombstones=" << index->deletedCount() << " eventID=" << loaded->info.eventID
            << " first search=" << fmt(searchSeconds * 1000) << " ms (" << hits.size()
            << " hits) ordered=" << fmt(orderSeconds * 1000) << " ms ("
            << (ordered ? static_cast<std::int64_t>(ordered->size()) : -1) << ")\n";
    cli.out << "footprint=" << fmt(footprintMB()) << " MB rss=" << fmt(rssMB())
            << " MB; stale permutations: " << quotedKeys(index->staleKeys()) << '\n';
    return kSuccess;
}

int snapFseuuidCommand(Cli& cli) {
    cli.out << core::VolumeID::fseUUID(cli.args.at(1).value_or("/")).value_or("none") << '\n';
    return kSuccess;
}

int snapTopCommand(Cli& cli) {
    const auto file = cli.args.at(1);
    auto loaded = file ? core::VolumeIndex::load(*file, {}) : std::nullopt;
    if (!loaded) {
        cli.out << "cannot load\n";
        return kFailed;
    }
    const core::VolumeIndex& index = *loaded->index;
    // A negative depth counts like 0: every entry below a root under that root.
    const std::int64_t depthLimit = std::max<std::int64_t>(0, cli.args.number(options::snapTop::depth));

    // Parents precede their children, so one pass in index order knows every parent's depth.
    // An entry whose parent does not precede it (a damaged file) is taken as a root.
    const std::uint32_t count = index.count();
    std::vector<std::uint32_t> depth(count, 0);
    std::vector<std::uint32_t> countingFolder(count, 0);
    std::vector<std::uint64_t> counted(count, 0);
    std::uint32_t maxDepth = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto parent = index.parent(i);
        if (!parent || *parent >= i) {
            countingFolder[i] = i;
            continue;
        }
        depth[i] = depth[*parent] + 1;
        maxDepth = std::max(maxDepth, depth[i]);
        countingFolder[i] = depth[i] <= depthLimit ? i : countingFolder[*parent];
        if (depth[i] >= depthLimit) ++counted[countingFolder[i]];
    }

    std::vector<std::pair<std::uint64_t, std::string>> top;
    for (std::uint32_t i = 0; i < count; ++i)
        if (counted[i] > 0) top.emplace_back(counted[i], index.path(i));
    // Largest first; equal counts by path, so the list is the same on every run.
    const std::size_t shown = std::min(top.size(), kTopFolders);
    std::partial_sort(
        top.begin(), top.begin() + static_cast<std::ptrdiff_t>(shown), top.end(),
        [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
    for (std::size_t i = 0; i < shown; ++i) cli.out << top[i].first << '\t' << top[i].second << '\n';
    cli.out << "entries=" << count << " max depth=" << maxDepth << '\n';
    return kSuccess;
}

}  // namespace quorvanta::cli
