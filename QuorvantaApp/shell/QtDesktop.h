// The desktop runner of the entry (Entry.h) over Qt. The entry asks it twice:
//
// prepare(), before the model exists: without a display it prints why and the process ends with
// status 1; otherwise it makes the QApplication (unless one exists, as in the tests), configures it
// (QtApplication.h) and makes the QtMainQueue the model is built on.
//
// run(model): makes the AppDelegate, routes the termination signals into its quit path, launches
// it and runs the event loop. The quit ends the process inside the loop. Should the loop end
// without it (the desktop session asked Qt to quit), the quit path runs then, the same as for any
// other trigger.
//
// reopen, from a second launch: shows the search panel through the delegate; before the delegate
// exists the launch shows it anyway.
//
// claimed: keeps the instance that holds the data folder, so that the delegate's restart can close
// its activation socket before it starts the copy of the program with `arguments`.
//
// Threads: main thread. The QtDesktop outlives the entry's call.
#pragma once

#include "QuorvantaApp/model/api_host/LocalAPIHost.h"
#include "QuorvantaApp/model/entry/Entry.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "QuorvantaApp/shell/AppDelegate.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "platform/process/TerminationSignals.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QApplication;

namespace quorvanta::app {

class QtDesktop {
public:
    struct Setup {
        // QApplication's arguments; they must outlive it.
        int& argc;
        char** argv;
        // "--root" was given on the command line.
        bool rootsForced = false;
        // Blocked in main before any thread started; started with the quit path as its task. None:
        // no signal is taken (tests).
        platform::TerminationSignals* terminationSignals = nullptr;
        // How the quit ends the process.
        ProcessEnd end;
        // Null: the application's own (LocalAPIHost::shared(), Prefs::shared()).
        LocalAPIHost* host = nullptr;
        const Prefs* prefs = nullptr;
        // What the windows are made over; none: the application's own (AppDelegate::Shell).
        std::optional<AppDelegate::Shell> shell = std::nullopt;
        // The command line, the program first, as a restart repeats it.
        std::vector<std::string> arguments = {};
    };

    explicit QtDesktop(Setup setup);
    ~QtDesktop();
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    // The runner for runEntry; it refers to this object.
    DesktopRunner runner();

    // The main queue once prepared; null before.
    QtMainQueue* mainQueue() const { return queue_.get(); }
    // The delegate while run() runs; null otherwise.
    AppDelegate* delegate() const { return delegate_; }

private:
    DesktopStart prepare();
    int run(const std::shared_ptr<AppModel>& model);

    Setup setup_;
    std::unique_ptr<QApplication> application_;
    std::unique_ptr<QtMainQueue> queue_;
    AppDelegate* delegate_ = nullptr;
    SingleInstance* instance_ = nullptr;
};

}  // namespace quorvanta::app
