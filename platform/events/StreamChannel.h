// What every event source keeps of one open stream: its scopes, and the delivery of batches to
// the stream's executor that stops when the stream is closed (a batch task already queued then
// finds the channel closed and does nothing).
#pragma once

#include "platform/events/EventSource.h"
#include "platform/fs/PathText.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::platform {

class StreamChannel {
public:
    StreamChannel(std::vector<std::string> scopes, Executor& target, FileEventBatch batch)
        : scopes_(std::move(scopes)), target_(target), shared_(std::make_shared<Shared>(std::move(batch))) {}

    const std::vector<std::string>& scopes() const { return scopes_; }

    bool covers(std::string_view path) const {
        for (const std::string& s : scopes_)
            if (isSameOrUnder(path, s)) return true;
        return false;
    }

    // Appends what this stream receives of `e`: the event itself when its path is in a scope; for a
    // rescan event on a folder above a scope (a drop recorded for "/", say), one such event per
    // scope below it, since that scope's changes were lost too.
    void select(const FileEvent& e, std::vector<FileEvent>& out) const {
        if (covers(e.path)) {
            out.push_back(e);
            return;
        }
        if (!(e.flags & (kMustScanSubDirs | kUserDropped | kKernelDropped))) return;
        for (const std::string& s : scopes_)
            if (isSameOrUnder(s, e.path)) out.push_back(FileEvent{e.id, e.flags, s});
    }

    // Posts one batch; nothing for an empty one.
    void post(std::vector<FileEvent> events) const {
        if (events.empty()) return;
        target_.post([shared = shared_, events = std::move(events)] {
            if (shared->open.load(std::memory_order_acquire)) shared->batch(events);
        });
    }

    // Called on the stream's executor (or with it idle), so no batch runs after it returns.
    void close() const { shared_->open.store(false, std::memory_order_release); }

private:
    struct Shared {
        explicit Shared(FileEventBatch b) : batch(std::move(b)) {}
        FileEventBatch batch;
        std::atomic<bool> open{true};
    };
    std::vector<std::string> scopes_;
    Executor& target_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace quorvanta::platform
