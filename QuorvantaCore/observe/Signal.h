// Observable values for the model objects: Signal<Args...> calls its connected receivers with each
// emitted value; connect() gives the token (platform::Connection) that ends the link when dropped.
//
// Threads: connect, emit and dropping tokens are safe from any thread and from inside a receiver.
// Receivers run on the emitting thread, in the order they connected. A receiver connected while
// an emit is under way may or may not see that emit; one whose token was dropped is never called
// after the drop returned (see platform/notify/Connection.h for what a drop waits for).
#pragma once

#include "platform/notify/Connection.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvanta::core {

using platform::Connection;

template <class... Args>
class Signal {
public:
    using Receiver = std::function<void(const Args&...)>;

    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    Connection connect(Receiver receiver) {
        auto slot = std::make_shared<platform::Slot>();
        std::lock_guard lock(mutex_);
        pruneLocked();
        receivers_.push_back({slot, std::make_shared<const Receiver>(std::move(receiver))});
        return Connection(slot);
    }

    void emit(const Args&... args) const {
        std::vector<Entry> targets;
        {
            std::lock_guard lock(mutex_);
            pruneLocked();
            targets = receivers_;
        }
        for (const auto& target : targets) target.slot->invoke([&] { (*target.receiver)(args...); });
    }

    std::size_t receiverCount() const {
        std::lock_guard lock(mutex_);
        pruneLocked();
        return receivers_.size();
    }

private:
    struct Entry {
        std::shared_ptr<platform::Slot> slot;
        std::shared_ptr<const Receiver> receiver;
    };

    void pruneLocked() const {
        std::erase_if(receivers_, [](const Entry& e) { return !e.slot->connected(); });
    }

    mutable std::mutex mutex_;  // guards receivers_ (never held while a receiver runs)
    mutable std::vector<Entry> receivers_;
};

}  // namespace quorvanta::core
