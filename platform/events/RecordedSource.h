// RecordedSource: an event source that replays a journal: a stream opened from an id gets the
// journal's later events within its scopes, then history done, then the events pushed live.
// Its event-log identity is the journal's, for every device. Watching folders does nothing.
//
// RecordingSource: a live source whose every event is also appended to a journal file, so a
// later run (or test) can replay it through a RecordedSource.
#pragma once

#include "platform/dispatch/SerialQueue.h"
#include "platform/events/EventSource.h"
#include "platform/events/JournalFormat.h"
#include "platform/events/StreamChannel.h"

#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace quorvanta::platform {

class RecordedSource final : public EventSource {
public:
    explicit RecordedSource(Journal journal);
    // The journal in a file; none when the file cannot be read or is damaged.
    static std::shared_ptr<RecordedSource> fromFile(const std::string& path);

    std::uint64_t currentId() override;
    std::optional<std::string> eventLogIdentity(dev_t device) override;
    void watchFolder(const std::string& path) override;
    std::unique_ptr<EventStream> open(const std::vector<std::string>& scopes, std::uint64_t since,
                                      Clock::Duration latency, Executor& target, FileEventBatch batch) override;

    // Adds events (ids above every earlier one; others are dropped) and delivers them to the open
    // streams whose scopes cover them.
    void push(std::vector<FileEvent> events);
    Journal journal() const;

private:
    struct Channels;
    mutable std::mutex mutex_;  // guards journal_ and the channel list
    Journal journal_;
    std::shared_ptr<Channels> channels_;
};

class RecordingSource final : public EventSource {
public:
    // Records every event of `live` (from its current id on) into the journal file at `path`,
    // created anew with the identity; `ok()` is false when the file could not be created.
    RecordingSource(std::shared_ptr<EventSource> live, std::string path, std::string identity);
    ~RecordingSource() override;

    bool ok() const { return fd_ >= 0; }

    std::uint64_t currentId() override { return live_->currentId(); }
    std::optional<std::string> eventLogIdentity(dev_t device) override { return live_->eventLogIdentity(device); }
    void watchFolder(const std::string& path) override { live_->watchFolder(path); }
    std::unique_ptr<EventStream> open(const std::vector<std::string>& scopes, std::uint64_t since,
                                      Clock::Duration latency, Executor& target, FileEventBatch batch) override {
        return live_->open(scopes, since, latency, target, std::move(batch));
    }

    // Waits until every batch the recorder received has been written.
    void sync();

private:
    void write(const std::vector<FileEvent>& events);

    std::shared_ptr<EventSource> live_;
    int fd_ = -1;
    std::unique_ptr<EventStream> recorder_;
    SerialQueue queue_;  // writes the journal; destroyed before the file is closed
};

}  // namespace quorvanta::platform
