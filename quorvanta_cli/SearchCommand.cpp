// search "<query>" --volume <path>... [--limit N] [--sort key] [--desc] [--junk] [--json]
// [--threads N]: one search over freshly scanned volumes, the hits printed as lines or as JSON.
#include "QuorvantaCore/api/CLISupport.h"
#include "QuorvantaCore/api/VolumeSearch.h"
#include "QuorvantaCore/index/SortOrders.h"
#include "QuorvantaCore/search/Searcher.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <algorithm>

namespace quorvanta::cli {

namespace o = options::search;

int searchCommand(Cli& cli) {
    const std::vector<std::string> volumes = cli.args.opts(o::volume);
    if (cli.args.size() < 2 || volumes.empty()) usageExit(cli, "search");
    const std::int64_t limit = cli.args.number(o::limit);
    if (limit < 0) usageExit(cli, "search");
    const std::string text = *cli.args.at(1);

    // The volumes are scanned before the query is parsed, so a query error comes after the scan.
    const auto index = build(cli, volumes);
    const core::Query query = parseQueryOrEnd(cli, text);

    core::Searcher searcher(index);
    const double t0 = now();
    const std::vector<std::uint32_t> hits =
        searcher.search(query, cli.args.flag(o::junk)).value_or(std::vector<std::uint32_t>{});
    const double t1 = now();

    const std::size_t shownLimit = static_cast<std::size_t>(limit);
    std::optional<std::vector<std::uint32_t>> shown;
    if (const auto key = core::sortKeyFromRaw(cli.args.text(o::sort))) {
        index->permutation(*key);
        shown = index->ordered(hits, *key, cli.args.flag(o::desc), shownLimit, core::kDirectSortLimit);
    }
    if (!shown)
        shown.emplace(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(std::min(shownLimit, hits.size())));

    if (cli.args.flag(o::json)) {
        cli.out << core::CLISupport::json(text, static_cast<std::int64_t>(hits.size()), *index, *shown) << '\n';
        return kSuccess;
    }
    printHits(cli.out, *index, *shown);
    cli.out << hits.size() << " hits · " << fmt((t1 - t0) * 1000) << " ms\n";
    return kSuccess;
}

}  // namespace quorvanta::cli
