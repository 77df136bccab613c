// Catching a snapshot up with the file events since it was saved, then comparing it with a fresh
// scan: the body of snap-replay, callable with any event source and time limit.
#pragma once

#include "platform/events/EventSource.h"

#include <chrono>
#include <memory>
#include <string>

namespace quorvanta::core {
class VolumeIndex;
}

namespace quorvanta::cli {

struct Cli;

struct ReplayRequest {
    std::string root;
    std::string snapshot;
    bool save = false;  // write the caught-up index back to the snapshot
    std::shared_ptr<platform::EventSource> source;
    std::chrono::milliseconds timeLimit{std::chrono::seconds(120)};  // for the history to be applied
};

// Loads the snapshot, checks that the source's event log is the one it was saved with, replays
// the events since its event id through a volume watcher, compares the result with a fresh scan
// of the root and optionally saves it. Prints on cli.out (scan summaries on cli.err) and gives the
// exit status: 0 equal, 5 different, 3 event log changed, 4 timed out, 6 a rescan is needed,
// 1 the snapshot cannot be loaded or the root cannot be scanned. Every thread it starts is stopped
// before it returns.
int snapReplay(Cli& cli, const ReplayRequest& request);

// Scans the root afresh and prints "DIFF vs fresh scan: <n>" (with the two key counts when
// `replayLabels`) and the first 10 differing keys in ascending order, labelled by the side that
// holds them when `replayLabels`. Gives 0 when the keys are equal, else 5.
int compareWithFreshScan(Cli& cli, const core::VolumeIndex& caughtUp, const std::string& root, bool replayLabels);

}  // namespace quorvanta::cli
