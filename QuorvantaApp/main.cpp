// Quorvanta: the desktop application. The start-up benchmark and the self test run on a RunLoop,
// as in quorvanta-headless, without a QApplication; without a mode option the Qt shell runs the
// application (QtDesktop.h) until its quit path ends the process.
#include "QuorvantaApp/model/entry/Entry.h"
#include "QuorvantaApp/shell/QtDesktop.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/process/TerminationSignals.h"
#include "platform/time/Clock.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

int main(int argc, char** argv) {
    using namespace quorvanta;
    const platform::Clock::TimePoint t0 = platform::realClock().now();

    const std::vector<std::string> args(argv, argv + argc);
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    const std::string currentFolder = error ? std::string("/") : here.string();
    const app::EntryOptions options = app::EntryOptions::read(args, currentFolder);
    // The termination signals are blocked before Qt or the model start a thread.
    std::optional<platform::TerminationSignals> signals;
    if (options.mode == app::EntryMode::desktop) signals.emplace();

    platform::RunLoop loop;
    app::EntryServices services(loop);
    services.currentFolder = currentFolder;
    app::QtDesktop desktop({.argc = argc,
                            .argv = argv,
                            .rootsForced = !options.roots.empty(),
                            .terminationSignals = signals ? &*signals : nullptr,
                            .end = services.end,
                            .arguments = args});
    return app::runEntry(args, t0, desktop.runner(), services);
}
