// The application's entry after its options are read: the one-run settings from the command line
// (forced columns, kind style), the model, and one of the three modes. The binaries' `main`
// functions take `t0` first and then call `runEntry`; each brings its main loop and its desktop
// runner (the windowless application, or the Qt shell).
//
// Benchmark and self test: the model is made over `services.loop` (the main queue) and the mode
// runs on it. Desktop: first the data folder's lock is taken (SingleInstance.h); a launch that
// finds another instance there asks it to reopen and ends without running. Then the runner is
// asked, before the model exists (the Qt shell makes its application object and binds its main
// queue there); the instance answers second launches on that queue from then on and is shown to
// the runner (claimed); then the model is made on that queue and handed to the runner, whose
// status ends the process when it returns. Every mode ends through `services.end`.
//
// Threads: the main thread, the one that made `services.loop`.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/entry/EntryOptions.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"
#include "QuorvantaApp/model/entry/SingleInstance.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/settings/Settings.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {

// What the desktop runner's first step gives: the main queue the model is to use, or none and
// the status the process ends with instead.
struct DesktopStart {
    platform::MainQueue* main = nullptr;
    int status = 0;
};

struct DesktopRunner {
    // Before the model exists.
    std::function<DesktopStart()> prepare;
    // With the model; returns when the application quits, with the process's status.
    std::function<int(const std::shared_ptr<AppModel>&)> run;
    // Asked on the main queue when a second launch wants this instance shown again.
    std::function<void()> reopen;
    // Told, before run, of the instance that holds the data folder (a restart closes its
    // activation socket); empty: not told.
    std::function<void(SingleInstance& instance)> claimed;
};

struct EntryServices {
    explicit EntryServices(platform::RunLoop& runLoop) : loop(runLoop) {}

    // The main loop of the benchmark and the self test.
    platform::RunLoop& loop;
    // The store the kind style overrides for the run; null: the standard store.
    platform::Settings* settings = nullptr;
    // The folder relative roots are taken against; empty: the process's current folder.
    std::string currentFolder;
    // The model's services over a main queue; empty: the running system's.
    std::function<AppModel::Dependencies(platform::MainQueue&)> dependencies;
    ProcessEnd end;
    platform::Clock::Duration benchCap = std::chrono::seconds(60);
    // The desktop mode's lock and activation socket: the data folder and the waits.
    SingleInstance::Options instance;
    // Where a desktop launch that does not run says why.
    std::FILE* messages = stderr;
};

// Applies the one-run settings of `options`: the forced column ids, and the kind style in the
// settings' volatile overlay (read under "kindStyle", never written).
void applyOneRunSettings(const EntryOptions& options, platform::Settings& settings);

// Reads `args` (program path first), applies the one-run settings, makes the model and runs the
// mode. Returns only when the end's seam returns, with the status it was given.
int runEntry(std::vector<std::string> args, platform::Clock::TimePoint t0, const DesktopRunner& runner,
             EntryServices& services);

}  // namespace quorvanta::app
