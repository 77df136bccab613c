// Redraws a view once after the model objects it shows have changed. The model's published fields
// tell their observers before they store the new value, so a view that redrew inside the observer
// would show the old one; request() instead queues one call of the refresh on the owner's event
// loop, and further requests before it runs add nothing. The call is bound to the owner: it never
// runs once the owner is destroyed.
//
// follow() ties a model link to the view: it connects a signal, a published field or a
// notification to request() and keeps the token until the refresh itself goes, so a view
// destroyed before the next change is never called. Make the refresh a member of its owner,
// declared after what the refresh reads.
//
// Threads: the refresh runs on the owner's thread (the main thread). request() is safe from any
// thread, so a signal emitted on a worker still redraws on the main thread. Make, follow and
// destroy on the owner's thread; dropping the links waits for a request running on another thread.
#pragma once

#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"
#include "platform/dispatch/Executor.h"
#include "platform/notify/Connection.h"
#include "platform/notify/NotificationCenter.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::app {

class CoalescedRefresh {
public:
    CoalescedRefresh(QObject* owner, std::function<void()> refresh) : owner_(owner), refresh_(std::move(refresh)) {}
    CoalescedRefresh(const CoalescedRefresh&) = delete;
    CoalescedRefresh& operator=(const CoalescedRefresh&) = delete;

    void request() {
        if (pending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            owner_,
            [this] {
                pending_ = false;
                refresh_();
            },
            Qt::QueuedConnection);
    }

    // A refresh after every emit of `signal` (its values are not looked at).
    template <class... Args>
    void follow(core::Signal<Args...>& signal) {
        links_.push_back(signal.connect([this](const Args&...) { request(); }));
    }
    // A refresh after every change of `field`, when it reads the new value.
    template <class T>
    void follow(core::Published<T>& field) {
        links_.push_back(field.observe([this](const T&) { request(); }));
    }
    // A refresh after every posting of `name`, delivered through `queue`.
    void follow(platform::NotificationCenter& notifications, std::string_view name, platform::Executor& queue) {
        links_.push_back(notifications.observe(name, queue, [this] { request(); }));
    }

private:
    QObject* const owner_;
    const std::function<void()> refresh_;
    std::atomic<bool> pending_{false};
    // Last: dropped first, so no request starts while the rest goes.
    std::vector<platform::Connection> links_;
};

}  // namespace quorvanta::app
