#include "platform/notify/NotificationCenter.h"

#include <algorithm>

namespace quorvanta::platform {

NotificationCenter& NotificationCenter::standard() {
    // Never destroyed: observers may still post or drop tokens while static objects are torn down.
    static NotificationCenter* const centre = new NotificationCenter;
    return *centre;
}

void NotificationCenter::post(std::string_view name) {
    std::vector<Observer> targets;
    {
        std::lock_guard lock(mutex_);
        const auto found = observers_.find(name);
        if (found == observers_.end()) return;
        auto& list = found->second;
        std::erase_if(list, [](const Observer& o) { return !o.slot->connected(); });
        targets = list;
        if (list.empty()) observers_.erase(found);
    }
    // Handing on goes through the link too, so once a token is dropped its executor is never used
    // again, and the observer may destroy it.
    for (const auto& target : targets)
        target.slot->invoke(
            [&] { target.queue->post([slot = target.slot, callback = target.callback] { slot->invoke(*callback); }); });
}

Connection NotificationCenter::observe(std::string_view name, Executor& queue, std::function<void()> callback) {
    auto slot = std::make_shared<Slot>();
    std::lock_guard lock(mutex_);
    auto& list = observers_[std::string(name)];
    std::erase_if(list, [](const Observer& o) { return !o.slot->connected(); });
    list.push_back({slot, &queue, std::make_shared<const std::function<void()>>(std::move(callback))});
    return Connection(slot);
}

}  // namespace quorvanta::platform
