// How the application's process ends, in every mode: the last line is flushed, a snapshot or
// order write already under way finishes, running scans are cancelled and waited for (at most
// `bound`), and then the process ends at once with `_exit`, so that no static destructor runs
// while a scan worker, a watcher or the file-event reader may still use it.
//
// `exit` is the seam: empty ends the process; a test gives a function that records the status
// and returns, and then `finish` returns too.
//
// Threads: main thread (the model's).
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>

namespace quorvanta::app {

class AppModel;

struct ProcessEnd {
    static constexpr std::chrono::milliseconds kBound{5000};

    // Where the mode prints its lines; flushed before the end.
    std::FILE* out = stdout;
    // Called last with the status; empty: _exit.
    std::function<void(int status)> exit;
    // How long the end waits for the model's scans and writes.
    std::chrono::milliseconds bound = kBound;

    // Ends the process with `status` after the steps above; `model` may be null (no model yet).
    // Returns only when the seam returns.
    void finish(AppModel* model, int status) const;
};

}  // namespace quorvanta::app
