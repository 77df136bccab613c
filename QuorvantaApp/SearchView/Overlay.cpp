#include "QuorvantaApp/SearchView/Overlay.h"

namespace quorvanta::app {

Overlay overlay(const OverlayFacts& facts) {
    using Kind = Overlay::Kind;
    if (facts.noVolumes) return {Kind::noSources, nullptr};
    if ((facts.rowsEmpty || facts.showsEmptyState) && facts.firstScanning) return {Kind::scanning, facts.firstScanning};
    if (facts.showsEmptyState) return {Kind::empty, nullptr};
    if (!facts.rowsEmpty || facts.sorting || facts.queryError) return {};
    return {Kind::noHits, nullptr};
}

}  // namespace quorvanta::app
