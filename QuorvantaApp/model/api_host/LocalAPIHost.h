// LocalAPIHost connects the local API server to the running application: it starts the server
// when the user has switched the local API on ("localAPI" in the settings store), stops it when
// the switch goes off, supplies the back-end that answers status and search requests from the
// application's live volumes, and keeps the last start failure for the settings screen.
//
// The back-end copies, once per request, the model's volumes that are not hidden from results
// (offline catalogs included, in model order) on the main thread, through the model's main queue;
// everything else (parsing, searching with searchers of its own, ordering, encoding) happens on
// the connection's thread, over the copied indexes (LocalAPI::volumeStatuses and
// LocalAPI::searchVolumes). An API search therefore never cancels the application's own search,
// and the copy keeps the indexes alive while a request runs, even if a volume goes meanwhile.
//
// Threads: the host belongs to the main thread (apply, setEnabled, stop, the fields). The
// back-end runs on the server's connection threads; it touches the model only inside the
// synchronous copy on the main queue. That wait is bounded and ends at once when the main queue
// has begun shutting down: the quit path calls `beginShutdown()` on the main queue before its
// synchronous saves, so that requests arriving meanwhile fail at once.
//
// Errors: a request that finds the main queue unavailable, or the model gone, is answered with
// the protocol's failure reply {"ok":false}, never with an empty volume list. A failed start is
// kept in `error` as a text the user reads; the application goes on without the server.
//
// Lifetimes: the main queue the model was built with must outlive the server's connections (the
// application's main queue lives as long as the process).
#pragma once

#include "QuorvantaCore/api/LocalAPIServer.h"
#include "QuorvantaCore/api/VolumeSearch.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/settings/Settings.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

class AppModel;

// The volumes one request works on: every volume of the model whose id is not in the hidden set,
// in model order, catalogs included, with its name, root, index and published scanning and
// offline flags. Main thread.
std::vector<core::LocalAPI::SearchVolume> apiVolumes(const AppModel& model);

// The back-end's failure when the volumes cannot be copied: the main queue is shutting down or
// did not run the copy in time, or the model is gone.
class VolumesUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The back-end over `model`'s volumes, copied through `main` (the model's main queue) for each
// request. Its closures may be called from any thread; they throw VolumesUnavailable.
core::LocalAPI::Backend apiBackend(std::weak_ptr<AppModel> model, platform::MainQueue& main);

class LocalAPIHost {
public:
    static constexpr std::string_view kLocalAPIKey = "localAPI";

    // A host over a settings store (the "localAPI" switch) and the socket path it serves on.
    LocalAPIHost(platform::Settings& settings, std::string socketPath);
    ~LocalAPIHost();
    LocalAPIHost(const LocalAPIHost&) = delete;
    LocalAPIHost& operator=(const LocalAPIHost&) = delete;

    // The application's host: the standard settings store and LocalAPI::defaultSocketPath().
    // Made on first use, on the main thread.
    static LocalAPIHost& shared();

    // Fires before each change of the host (its error, and the switch through setEnabled).
    core::Signal<> objectWillChange;

    // The text of the last failed start; cleared at the start of every apply().
    core::Published<std::optional<std::string>> error{std::nullopt, &objectWillChange};

    // The application model, held weakly; set by the application at launch, before apply().
    std::weak_ptr<AppModel> model;

    // The running server, if any.
    const core::LocalAPIServer* server() const { return server_.get(); }
    const std::string& socketPath() const { return socketPath_; }

    // Brings the server in line with the switch: clears `error`; with the switch off or the model
    // gone, stops the server; otherwise starts one when none runs (a running one is kept). A
    // failed start leaves no server and sets `error` to "The Local API could not be started: "
    // and the failure's printed form (socket(<errno>), pathTooLong, notOurs), in the user's
    // language.
    void apply();
    // The switch: "localAPI", absent meaning off.
    bool enabled() const;
    // What the settings switch does: stores the value, announces the change, then apply().
    void setEnabled(bool on);
    // The quit path: stops the server, if any, and forgets it.
    void stop();

private:
    platform::Settings& settings_;
    const std::string socketPath_;
    std::unique_ptr<core::LocalAPIServer> server_;
};

}  // namespace quorvanta::app
