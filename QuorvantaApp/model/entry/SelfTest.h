// SelfTest: the headless measuring run. It starts the scans, reports the first rows seen while a
// scan still runs, the scan time and entry counts, lets background work settle, then runs every
// query with every sort order through the model's own search and prints rows and search times:
//   live: <rows> hits while scanning (<name>=<count>, ...)       at most once
//   scan done in <s> s: <name>=<count>, ...
//   query '<q>' sort <key>: <rows> rows in <ms> ms (search+full ordering)
// Counts are the volumes' published entry counts. Without queries it runs "remix", "ext:flac",
// "*.mp3" and the empty query. The model must not persist, so nothing is written.
//
// Threads: main thread, on the loop the model's main queue is; the model's searches and sort
// builds run on its queues and publish back while the loop is stepped.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"
#include "platform/dispatch/RunLoop.h"

#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

struct SelfTest {
    SelfTest() = delete;

    static constexpr platform::Clock::Duration kScanStep = std::chrono::milliseconds(200);
    static constexpr platform::Clock::Duration kSettle = std::chrono::seconds(3);
    static constexpr platform::Clock::Duration kQueryWindow = std::chrono::milliseconds(1500);
    static constexpr std::array<std::string_view, 4> kDefaultQueries = {"remix", "ext:flac", "*.mp3", ""};

    // The run, then `end` with status 0. Returns only when the end's seam returns.
    static void run(AppModel& model, const std::vector<std::string>& queries, platform::RunLoop& loop,
                    const ProcessEnd& end);
};

}  // namespace quorvanta::app
