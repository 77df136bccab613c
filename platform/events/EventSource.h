// The file-event layer: a source of file events with monotonically growing 64-bit ids, the
// current id, the identity of a device's event log, a way to make sure a folder is watched, and
// streams over scopes that replay what happened since a given id, then say "history done", then
// deliver live events in batches. Linux keeps no event history across restarts: the live source
// (InotifySource) replays only what it saw in this run; the recorded source replays a journal.
//
// Paths are raw bytes everywhere (events, history, journals); never repaired.
//
// Threads: every member of a source is safe from any thread. A stream's batches are posted to
// the executor given to `open`, one task per batch; once the stream object is destroyed no
// further batch task does anything (a task already queued finds the stream gone and returns).
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/time/Clock.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::platform {

// Flag bits of a file event.
enum FileEventFlag : std::uint32_t {
    kMustScanSubDirs = 0x01,  // the subtree below the path must be listed again
    kUserDropped = 0x02,      // events were dropped on the receiving side
    kKernelDropped = 0x04,    // events were dropped by the kernel (queue overflow)
    kHistoryDone = 0x10,      // the replay from the stream's id has ended; no path
    kRootChanged = 0x20,
    kMount = 0x40,
    kUnmount = 0x80,
};

struct FileEvent {
    std::uint64_t id = 0;
    std::uint32_t flags = 0;
    std::string path;  // the changed item: its folder's path, "/", its name

    friend bool operator==(const FileEvent&, const FileEvent&) = default;
};

using FileEventBatch = std::function<void(const std::vector<FileEvent>& events)>;

// An open stream; destroying it stops the delivery.
class EventStream {
public:
    virtual ~EventStream() = default;
};

class EventSource {
public:
    virtual ~EventSource() = default;

    // The id of the latest event; a stream opened from it replays nothing.
    virtual std::uint64_t currentId() = 0;
    // The identity of the device's event log; none when events of the device cannot be replayed.
    virtual std::optional<std::string> eventLogIdentity(dev_t device) = 0;
    // Makes sure the folder is watched (from now on, its changes become events).
    virtual void watchFolder(const std::string& path) = 0;
    // A stream over the scopes (folders; events at or below them), replaying what happened
    // after `since`, then a history-done event, then live events. Batches are gathered for
    // `latency` and posted to `target`. Null when the stream cannot be opened.
    virtual std::unique_ptr<EventStream> open(const std::vector<std::string>& scopes, std::uint64_t since,
                                              Clock::Duration latency, Executor& target, FileEventBatch batch) = 0;
};

// The process's source: the live inotify source unless one was installed.
std::shared_ptr<EventSource> processEventSource();
// Installs the process's source (tests, the recorded journal); null restores the live one.
void setProcessEventSource(std::shared_ptr<EventSource> source);

}  // namespace quorvanta::platform
