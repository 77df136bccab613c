#include "QuorvantaApp/model/search/GlobalRebuildRule.h"

#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaCore/index/VolumeIndex.h"

namespace quorvanta::app {
namespace {

constexpr std::uint64_t kSmallTotal = 800'000;  // below this many entries the tail bound is fixed
constexpr std::uint64_t kSmallTailBound = 100'000;
constexpr std::uint64_t kTailDivisor = 8;  // from kSmallTotal on, the bound is total / 8

}  // namespace

bool tailNeedsRebuild(std::uint64_t total, std::uint64_t tail) {
    return tail > (total < kSmallTotal ? kSmallTailBound : total / kTailDivisor);
}

bool needsGlobalRebuild(const GlobalOrder* current, IndexList indexes) {
    if (!current || !current->matches(indexes)) return true;
    std::uint64_t total = 0;
    for (const auto& index : indexes) total += index->count();
    return tailNeedsRebuild(total, current->tail(indexes));
}

}  // namespace quorvanta::app
