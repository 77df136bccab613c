#include "QuorvantaApp/model/entry/SelfTest.h"

#include "QuorvantaCore/index/SortOrders.h"

#include <cstdio>

namespace quorvanta::app {
namespace {

// "<name>=<count>, ..." over every volume, in order.
std::string volumeCounts(const AppModel& model) {
    std::string text;
    for (const auto& volume : model.volumes.get()) {
        if (!text.empty()) text += ", ";
        text += volume->name() + "=" + std::to_string(volume->count.get());
    }
    return text;
}

void print(std::FILE* out, const std::string& line) {
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void SelfTest::run(AppModel& model, const std::vector<std::string>& queries, platform::RunLoop& loop,
                   const ProcessEnd& end) {
    platform::Clock& clock = loop.clock();
    model.startScans();
    const auto started = clock.now();
    bool livePrinted = false;
    while (model.anyScanning()) {
        loop.runFor(kScanStep);
        const std::size_t rows = model.results.get()->rows().size();
        if (!livePrinted && rows > 0 && model.anyScanning()) {
            print(end.out, "live: " + std::to_string(rows) + " hits while scanning (" + volumeCounts(model) + ")");
            livePrinted = true;
        }
    }
    const double seconds = std::chrono::duration<double>(clock.now() - started).count();
    print(end.out, "scan done in " + formatted("%.1f", seconds) + " s: " + volumeCounts(model));
    loop.runFor(kSettle);

    std::vector<std::string> list = queries;
    if (list.empty()) list.assign(kDefaultQueries.begin(), kDefaultQueries.end());
    for (const auto& query : list) {
        for (const core::SortKey key : core::allSortKeys) {
            model.setQuery(query);
            model.setSortKey(key);
            model.prepareSort();
            model.runSearch(true);
            loop.runFor(kQueryWindow);
            print(end.out, "query '" + query + "' sort " + std::string(core::rawValue(key)) + ": " +
                               std::to_string(model.results.get()->rows().size()) + " rows in " +
                               formatted("%.1f", model.searchMs.get()) + " ms (search+full ordering)");
        }
    }
    end.finish(&model, 0);
}

}  // namespace quorvanta::app
