// AppDelegate: the desktop application's object around the model, made by the desktop runner once
// the model exists and kept until the process ends. It launches the application, starts the
// indexing or asks for the sources, and owns the one quit path that every trigger takes (the
// termination signals, and the menus, the menu-bar item and Ctrl+Q of the windows that come later).
//
// Launch (launch(), once): the model goes to the local API host, which starts the server when the
// user switched it on; then startIndexing(). startIndexing(): scans start when the sources are
// configured or roots were forced on the command line; otherwise sourceChooserRequested() asks the
// chooser window for the sources and nothing starts.
//
// Quit (quit()): the quit sequence of the run without windows (Serving.h) — the main queue begins
// shutting down, the local API server stops, the idle online volumes are saved synchronously —
// then the bounded end of the process. It runs once; a request while it runs, or after it ran, is
// ignored. The process ends inside it: the event loop never returns to release the model, whose
// queues would wait for every running job.
//
// Threads: main thread (the model's).
#pragma once

#include "QuorvantaApp/model/api_host/LocalAPIHost.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"
#include "QuorvantaApp/model/entry/Serving.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "platform/dispatch/MainQueue.h"

#include <QObject>

#include <memory>

namespace quorvanta::app {

class AppDelegate final : public QObject {
    Q_OBJECT

public:
    struct Setup {
        std::shared_ptr<AppModel> model;
        LocalAPIHost& host;
        const Prefs& prefs;
        // The model's main queue.
        platform::MainQueue& main;
        // How the quit ends the process.
        ProcessEnd end;
        // "--root" was given: indexing starts without configured sources.
        bool rootsForced = false;
    };

    explicit AppDelegate(Setup setup, QObject* parent = nullptr);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void launch();
    void startIndexing();
    // The quit path. True when this request ran it; returns only when the end's seam returns.
    bool quit();
    // A second launch of the application asked this instance to show itself.
    void reopen();

    const std::shared_ptr<AppModel>& model() const { return model_; }

Q_SIGNALS:
    // Indexing waits for sources: the chooser window shows itself on this.
    void sourceChooserRequested();
    // The search panel is wanted in front (a second launch).
    void panelRequested();

private:
    const std::shared_ptr<AppModel> model_;
    LocalAPIHost& host_;
    const Prefs& prefs_;
    const bool rootsForced_;
    bool launched_ = false;
    QuitSequence quit_;
};

}  // namespace quorvanta::app
