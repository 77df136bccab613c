#include "platform/events/EventSource.h"

#include "platform/events/EventLogIdentity.h"
#include "platform/events/InotifySource.h"

#include <mutex>

namespace quorvanta::platform {
namespace {

std::mutex sourceLock;
std::shared_ptr<EventSource> installed;  // sourceLock

std::shared_ptr<EventSource> currentSource() {
    std::lock_guard guard(sourceLock);
    return installed;
}

// Device event-log identities come from the process's source (none before one exists: the live
// source has none anyway).
void answerIdentitiesFromTheSource() {
    static std::once_flag once;
    std::call_once(once, [] {
        setEventLogIdentityProvider([](dev_t device) -> std::optional<std::string> {
            const auto source = currentSource();
            return source ? source->eventLogIdentity(device) : std::nullopt;
        });
    });
}

}  // namespace

std::shared_ptr<EventSource> processEventSource() {
    answerIdentitiesFromTheSource();
    std::lock_guard guard(sourceLock);
    if (!installed) installed = std::make_shared<InotifySource>();
    return installed;
}

void setProcessEventSource(std::shared_ptr<EventSource> source) {
    answerIdentitiesFromTheSource();
    std::lock_guard guard(sourceLock);
    installed = std::move(source);
}

}  // namespace quorvanta::platform
