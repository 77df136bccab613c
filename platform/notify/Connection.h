// The link between a sender (a signal, the notification centre) and one receiver, and the token
// that keeps it: dropping the token (or calling disconnect) ends the link.
//
// The guarantee senders rely on: once disconnect() has returned, the receiver is never called again,
// even by a delivery that another thread had already started. To keep it, a receiver runs under its
// link's lock and disconnect() takes that lock, so disconnecting waits for a call in progress on
// another thread; on the receiver's own thread (a receiver that drops its own token or another one)
// the lock is re-entered and nothing waits. Two receivers that each drop the other's token while
// both run on different threads would wait for each other; don't.
//
// Threads: Slot and Connection are safe from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

namespace quorvanta::platform {

class Slot {
public:
    // Calls `receiver` unless the link is disconnected; true when it was called.
    template <class F>
    bool invoke(F&& receiver) {
        std::lock_guard lock(mutex_);
        if (!connected_.load()) return false;
        std::forward<F>(receiver)();
        return true;
    }

    void disconnect() {
        std::lock_guard lock(mutex_);
        connected_.store(false);
    }

    // Lock-free, so senders may prune their lists under their own lock without taking this one
    // (a running receiver holds it and may call into the sender).
    bool connected() const { return connected_.load(); }

private:
    std::recursive_mutex mutex_;  // held while the receiver runs and while disconnecting
    std::atomic<bool> connected_{true};
};

class [[nodiscard]] Connection {
public:
    Connection() = default;
    explicit Connection(std::shared_ptr<Slot> slot) : slot_(std::move(slot)) {}
    ~Connection() { disconnect(); }

    Connection(Connection&& other) noexcept = default;
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            disconnect();
            slot_ = std::move(other.slot_);
        }
        return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void disconnect() {
        if (slot_) slot_->disconnect();
        slot_.reset();
    }
    bool connected() const { return slot_ && slot_->connected(); }

private:
    std::shared_ptr<Slot> slot_;
};

}  // namespace quorvanta::platform
