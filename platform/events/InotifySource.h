// InotifySource: the live event source. One inotify instance and one reader thread per source
// (the process has one); ids come from a counter seeded with the clock in microseconds, so ids
// of one run grow and are comparable only within the run. Events are gathered per stream for
// the stream's latency. An in-process history, one item per folder (its latest id, one item
// path and flags), lets a stream opened from an id taken earlier in this run replay what
// happened since, then history done; an id from before the source existed (or before history
// was lost to an overflow or to its bound) replays "must scan" on each scope: the owner rescans.
//
// Folders are watched one by one (`watchFolder`, called by the scan before it lists a folder,
// and for every new folder an event reports). When the kernel refuses a watch (watch limit,
// ENOSPC) or the instance cannot be made (EMFILE), the folder is polled instead: every
// kPollInterval a low-priority queue lstats the polled folders and reports those whose
// modification time moved. Polling shares reconcile's blind spot: a file changed in place in a
// folder whose own time did not move is not seen.
//
// Threads: every member is safe from any thread.
#pragma once

#include "platform/events/EventSource.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::platform {

// One inotify event translated: item events (the watched folder's path, "/", the name; the
// folder itself for events without a name), folders to watch at once, watches the kernel
// dropped, and whether the queue overflowed.
struct InotifyDecoding {
    std::vector<FileEvent> events;  // ids left 0
    std::vector<std::string> newFolders;
    std::vector<int> forgotten;
    bool overflow = false;
};

// Decodes a buffer of inotify records; `pathOf` gives a watch descriptor's folder, or null for
// one not known. Records running past the buffer's end are ignored.
InotifyDecoding decodeInotify(const char* buffer, std::size_t length,
                              const std::function<const std::string*(int wd)>& pathOf);

// The watch mask of every folder.
std::uint32_t inotifyWatchMask();

class InotifySource final : public EventSource {
public:
    static constexpr std::chrono::seconds kPollInterval{60};

    // The seam for inotify_add_watch (tests force the watch limit through it).
    using AddWatch = std::function<int(int fd, const char* path, std::uint32_t mask)>;

    explicit InotifySource(Clock& clock = realClock(), AddWatch addWatch = {});
    ~InotifySource() override;
    InotifySource(const InotifySource&) = delete;
    InotifySource& operator=(const InotifySource&) = delete;

    std::uint64_t currentId() override;
    std::optional<std::string> eventLogIdentity(dev_t device) override;
    void watchFolder(const std::string& path) override;
    std::unique_ptr<EventStream> open(const std::vector<std::string>& scopes, std::uint64_t since,
                                      Clock::Duration latency, Executor& target, FileEventBatch batch) override;

    // Finishes a poll that is due, reads and handles what the kernel has queued, now, and posts
    // every stream's gathered batch without waiting for its latency.
    void drain();

    std::size_t watchedFolders() const;
    std::size_t polledFolders() const;

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

}  // namespace quorvanta::platform
