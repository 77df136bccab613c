// The identity of a device's file-event log: the text that changes whenever the log's event ids
// stop being comparable with earlier ones, so that an index saved with an event id can tell
// whether replaying from it is still possible.
//
// Linux keeps no persistent file-event history, so without a provider every device answers none.
// The file-event layer installs a provider (its recorded journal answers one in tests). Any
// thread may ask; installing is meant for start-up and tests.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>

namespace quorvanta::platform {

using EventLogIdentityProvider = std::function<std::optional<std::string>(dev_t device)>;

// Installs the process-wide provider; an empty one restores "none for every device".
void setEventLogIdentityProvider(EventLogIdentityProvider provider);

// The event-log identity of the device, from the installed provider.
std::optional<std::string> eventLogIdentity(dev_t device);

}  // namespace quorvanta::platform
