// Redraws a view once after the model objects it shows have changed. The model's published fields
// tell their observers before they store the new value, so a view that redrew inside the observer
// would show the old one; request() instead queues one call of the refresh on the owner's event
// loop, and further requests before it runs add nothing. The call is bound to the owner: it never
// runs once the owner is destroyed.
//
// Threads: the owner's thread (the main thread, where the model publishes).
#pragma once

#include <QObject>

#include <functional>
#include <utility>

namespace quorvanta::app {

class CoalescedRefresh {
public:
    CoalescedRefresh(QObject* owner, std::function<void()> refresh) : owner_(owner), refresh_(std::move(refresh)) {}
    CoalescedRefresh(const CoalescedRefresh&) = delete;
    CoalescedRefresh& operator=(const CoalescedRefresh&) = delete;

    void request() {
        if (pending_) return;
        pending_ = true;
        QMetaObject::invokeMethod(
            owner_,
            [this] {
                pending_ = false;
                refresh_();
            },
            Qt::QueuedConnection);
    }

private:
    QObject* const owner_;
    const std::function<void()> refresh_;
    bool pending_ = false;
};

}  // namespace quorvanta::app
