// Updates: the application's answer to "Check for updates …" and the settings' switch for
// automatic checks. This build does not update itself (new versions come from the package manager
// or the way the application was installed), so there is no updater behind it: check() explains
// that in an alert and returns when the user dismissed it. `automatic` is what the settings window
// shows and writes; it starts true at every launch and is not stored.
//
// Threads: main thread.
#pragma once

#include "QuorvantaApp/shell/DialogPresenter.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"

class QWidget;

namespace quorvanta::app {

class Updates {
public:
    // The application's instance, made on first use; its alerts are Qt message boxes.
    static Updates& shared();

    explicit Updates(DialogPresenter& dialogs);
    Updates(const Updates&) = delete;
    Updates& operator=(const Updates&) = delete;

    // Shows the alert that this version has no updater, over `parent` (none: over no window).
    void check(QWidget* parent = nullptr);

    // The alert check() shows, in the interface language.
    static Alert notSetUpAlert();

    core::Signal<> objectWillChange;
    core::Published<bool> automatic{true, &objectWillChange};

private:
    DialogPresenter& dialogs_;
};

}  // namespace quorvanta::app
