#include "platform/events/EventLogIdentity.h"

#include <memory>
#include <mutex>
#include <utility>

namespace quorvanta::platform {
namespace {

// providerLock guards currentProvider. The provider is called outside the lock, so a slow
// provider never holds up installing another.
std::mutex providerLock;
std::shared_ptr<const EventLogIdentityProvider> currentProvider;

}  // namespace

void setEventLogIdentityProvider(EventLogIdentityProvider provider) {
    auto next = provider ? std::make_shared<const EventLogIdentityProvider>(std::move(provider)) : nullptr;
    std::lock_guard lock(providerLock);
    currentProvider = std::move(next);
}

std::optional<std::string> eventLogIdentity(dev_t device) {
    std::shared_ptr<const EventLogIdentityProvider> provider;
    {
        std::lock_guard lock(providerLock);
        provider = currentProvider;
    }
    if (!provider) return std::nullopt;
    return (*provider)(device);
}

}  // namespace quorvanta::platform
