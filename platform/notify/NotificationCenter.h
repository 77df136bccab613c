// A notification centre: post(name) reaches every observer of that name, each on the executor it
// chose when it began observing (the main queue for the application's observers), in the order the
// notifications were posted.
//
// Threads: every member is safe from any thread. The executor an observer names must outlive its
// token; once the token is dropped, the executor is not used again and the callback is never
// called again, also not for notifications that were posted before and still wait on the executor
// (see Connection). A post waits while that observer's callback runs on another thread.
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/notify/Connection.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::platform {

class NotificationCenter {
public:
    // The process-wide centre.
    static NotificationCenter& standard();

    void post(std::string_view name);
    Connection observe(std::string_view name, Executor& queue, std::function<void()> callback);

private:
    struct Observer {
        std::shared_ptr<Slot> slot;
        Executor* queue;
        std::shared_ptr<const std::function<void()>> callback;
    };

    std::mutex mutex_;  // guards observers_
    std::map<std::string, std::vector<Observer>, std::less<>> observers_;
};

}  // namespace quorvanta::platform
