// What covers the results area of the search window, decided from the model's state on every
// redraw: nothing (the results show), the sources prompt when no volume is set up, the scan state
// of the first volume that is scanning, the empty state before anything was asked, or "no hits".
//
// In order: no volumes at all give `noSources`, whatever the query. Then, with no rows or while
// the empty state is due, the first scanning volume gives `scanning`. Then the empty state. Then
// rows, a sort being built and a query error (which the status bar shows) each leave the results
// uncovered; what is left found nothing: `noHits`.
//
// Threads: a pure function of its arguments.
#pragma once

#include <memory>

namespace quorvanta::app {

class VolumeState;

struct OverlayFacts {
    bool noVolumes = false;
    bool rowsEmpty = true;
    bool showsEmptyState = false;
    // The first volume in the model's order whose scan runs; null when none does.
    std::shared_ptr<VolumeState> firstScanning;
    bool sorting = false;
    bool queryError = false;
};

struct Overlay {
    enum class Kind { none, noSources, scanning, empty, noHits };
    Kind kind = Kind::none;
    std::shared_ptr<VolumeState> volume;  // the volume of `scanning`

    bool operator==(const Overlay&) const = default;
};

Overlay overlay(const OverlayFacts& facts);

}  // namespace quorvanta::app
