// scan <path> [--threads N] [--mode bulk|fts|fm]: walks one tree in the chosen way and prints
// one report line, so the modes can be compared on the same tree. Nothing is kept.
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/ScanModes.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <string>

namespace quorvanta::cli {
namespace {

[[noreturn]] void cannotOpen(Cli& cli, const std::string& path) {
    cli.out << "cannot open " << path << '\n';
    endRun(kFailed);
}

// The label shows the thread count as read, before the engine bounds it.
void scanBulk(Cli& cli, const std::string& path, std::int64_t threads) {
    scan_stats stats{};
    const double start = now();
    if (scan_bulk(path, threads, stats) != 0) cannotOpen(cli, path);
    report(cli.out, "bulk/" + std::to_string(threads), stats, now() - start);
}

void scanFts(Cli& cli, const std::string& path) {
    scan_stats stats{};
    const double start = now();
    if (scan_fts(path, stats) != 0) cannotOpen(cli, path);
    report(cli.out, "fts", stats, now() - start);
}

void scanFM(Cli& cli, const std::string& path) {
    scan_stats stats{};
    const double start = now();
    if (scan_fm(path, stats) != 0) endRun(kFailed);
    report(cli.out, "filemanager", stats, now() - start);
}

}  // namespace

int scanCommand(Cli& cli) {
    const auto path = cli.args.at(1);
    if (!path) usageExit(cli, "scan");
    const std::int64_t threads = cli.args.number(options::scan::threads);
    const std::string mode = cli.args.text(options::scan::mode);
    if (mode == "fts")
        scanFts(cli, *path);
    else if (mode == "fm")
        scanFM(cli, *path);
    else
        scanBulk(cli, *path, threads);
    return kSuccess;
}

}  // namespace quorvanta::cli
