// quorvanta-headless: the application without Qt and without a display. Its main loop is a
// RunLoop; the start-up benchmark and the self test run on it. Without a mode option it serves:
// the model is launched (local API, scans), the loop runs until SIGTERM, SIGINT or SIGHUP, and
// the quit saves the volumes and ends the process with status 0. Serving takes the data folder's
// lock first, as the desktop application does: a launch while another instance runs asks that one
// to reopen and ends, and an activation that reaches this one is answered and does nothing (there
// is no window to show).
#include "QuorvantaApp/model/api_host/LocalAPIHost.h"
#include "QuorvantaApp/model/entry/Entry.h"
#include "QuorvantaApp/model/entry/Serving.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/process/TerminationSignals.h"

#include <time.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

int main(int argc, char** argv) {
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const quorvanta::platform::Clock::TimePoint t0{std::chrono::seconds(start.tv_sec) +
                                                   std::chrono::nanoseconds(start.tv_nsec)};

    using namespace quorvanta;
    const std::vector<std::string> args(argv, argv + argc);
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    const app::EntryOptions options = app::EntryOptions::read(args, error ? std::string("/") : here.string());
    // Serving: the termination signals are blocked before the first thread exists.
    std::optional<platform::TerminationSignals> signals;
    if (options.mode == app::EntryMode::desktop) signals.emplace();

    platform::RunLoop loop;
    app::EntryServices services(loop);
    services.currentFolder = error ? std::string("/") : here.string();
    app::DesktopRunner windowless;
    windowless.prepare = [&loop] { return app::DesktopStart{&loop, 0}; };
    windowless.run = [&](const std::shared_ptr<app::AppModel>& model) {
        app::LocalAPIHost& host = app::LocalAPIHost::shared();
        app::QuitSequence quit(model, host, loop, services.end);
        signals->start(loop, [&] {
            quit.request();
            loop.quit();
        });
        app::launchModel(model, host, app::Prefs::shared(), !options.roots.empty());
        loop.run();
        return 0;
    };
    return app::runEntry(args, t0, windowless, services);
}
