// The commands that bring a snapshot up to date and compare it with a fresh scan:
//   snap-reconcile <root> <file.idx>           by folder modification times
//   snap-replay <root> <file.idx> [--save]     by the file events since the snapshot was saved
#include "QuorvantaCore/index/RefreshStats.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/SnapReplay.h"
#include "quorvanta_cli/Tool.h"

namespace quorvanta::cli {

int snapReconcileCommand(Cli& cli) {
    const auto root = cli.args.at(1);
    const auto file = cli.args.at(2);
    auto loaded = root && file ? core::VolumeIndex::load(*file, {}) : std::nullopt;
    if (!loaded) {
        cli.out << "cannot load\n";
        return kFailed;
    }
    const double start = now();
    const core::RefreshStats s = loaded->index->reconcileByFolderMtime(8);
    cli.out << "reconcile: " << fmt((now() - start) * 1000) << " ms -> listed=" << s.listed << " added=" << s.added
            << " removed=" << s.removed << " updated=" << s.updated << '\n';
    return compareWithFreshScan(cli, *loaded->index, *root, false);
}

int snapReplayCommand(Cli& cli) {
    const auto root = cli.args.at(1);
    const auto file = cli.args.at(2);
    if (!root || !file) usageExit(cli, "snap-replay");
    return snapReplay(cli, {*root, *file, cli.args.flag(options::snapReplay::save), platform::processEventSource()});
}

}  // namespace quorvanta::cli
