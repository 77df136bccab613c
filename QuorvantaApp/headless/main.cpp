// quorvanta-headless: the application without Qt and without a display. Its main loop is a
// RunLoop; the start-up benchmark and the self test run on it. The windowless desktop mode (the
// application serving its index without windows) is not part of this binary yet: a run without a
// mode option says so and ends with status 2.
#include "QuorvantaApp/model/entry/Entry.h"
#include "platform/dispatch/RunLoop.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const quorvanta::platform::Clock::TimePoint t0{std::chrono::seconds(start.tv_sec) +
                                                   std::chrono::nanoseconds(start.tv_nsec)};

    using namespace quorvanta;
    platform::RunLoop loop;
    app::DesktopRunner windowless;
    windowless.prepare = [] {
        std::fputs(
            "quorvanta-headless: the application without windows is not available yet; "
            "use --startup-bench or --selftest\n",
            stderr);
        return app::DesktopStart{nullptr, 2};
    };
    windowless.run = [](const std::shared_ptr<app::AppModel>&) { return 2; };
    app::EntryServices services(loop);
    return app::runEntry(std::vector<std::string>(argv, argv + argc), t0, windowless, services);
}
