// StartupBench: how long the application takes from the start of `main` to its first rows. It
// starts the scans, steps the main loop in 2 ms steps until the published result holds a row or
// the cap has passed since `t0` (the row check first), prints one line and ends the process:
//   startup: <ms> ms from main() to <rows> rows (<name>=<entries> scan|snapshot, ...)
// with every volume of the model in order, "snapshot" for one loaded from its snapshot.
//
// Threads: main thread, on the loop the model's main queue is.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"
#include "platform/dispatch/RunLoop.h"

#include <chrono>
#include <string>

namespace quorvanta::app {

struct StartupBench {
    StartupBench() = delete;

    static constexpr platform::Clock::Duration kStep = std::chrono::milliseconds(2);
    static constexpr platform::Clock::Duration kCap = std::chrono::seconds(60);

    // The benchmark, then `end` with status 0. Returns only when the end's seam returns.
    static void run(AppModel& model, platform::Clock::TimePoint t0, platform::RunLoop& loop, const ProcessEnd& end,
                    platform::Clock::Duration cap = kCap);

    // The line without its line end.
    static std::string line(double ms, std::size_t rows, const AppModel::Volumes& volumes);
};

}  // namespace quorvanta::app
