// The launch and the quit of the application as seen by the model, shared by the run without
// windows and the desktop shell.
//
// Launch: the model goes to the local API host, which starts its server when the switch is on;
// then scans start when the sources are configured or roots were forced. Otherwise nothing
// starts (choosing sources needs a window).
//
// Quit, run once whoever asks; later requests are ignored. In order: the main queue begins
// shutting down, so that a local API request arriving during the saves is refused at once instead
// of waiting for the main thread; the host's server stops (its socket goes); each volume that is
// neither scanning nor offline, in model order, has its watcher flushed and its snapshot written
// synchronously; then the process ends through `end` (the bounded end).
//
// Threads: main thread (the model's).
#pragma once

#include "QuorvantaApp/model/api_host/LocalAPIHost.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"

#include <memory>

namespace quorvanta::app {

// The first step of both launches: the model goes to the host, whose server starts when the switch
// is on.
void serveModel(const std::shared_ptr<AppModel>& model, LocalAPIHost& host);
// The launch without windows: serveModel, then the scans when they may start.
void launchModel(const std::shared_ptr<AppModel>& model, LocalAPIHost& host, const Prefs& prefs, bool rootsForced);

class QuitSequence {
public:
    QuitSequence(std::shared_ptr<AppModel> model, LocalAPIHost& host, platform::MainQueue& main, ProcessEnd end);

    // Runs the quit when it has not run yet and returns true; otherwise does nothing and
    // returns false. Returns only when the end's seam returns.
    bool request();
    bool requested() const { return requested_; }

private:
    std::shared_ptr<AppModel> model_;
    LocalAPIHost& host_;
    platform::MainQueue& main_;
    ProcessEnd end_;
    bool requested_ = false;
};

}  // namespace quorvanta::app
