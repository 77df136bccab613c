// Where the desktop's light-or-dark preference comes from: the "color-scheme" setting of the
// desktop portal (PortalColourScheme), or a fake in tests. The values are the portal's own:
// 0 no preference, 1 dark, 2 light.
//
// Threads: main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace quorvanta::app {

class ColourSchemeSource {
public:
    virtual ~ColourSchemeSource() = default;

    // The desktop's value now; none when there is nobody to ask (no session bus, no portal).
    virtual std::optional<std::uint32_t> read() = 0;
    // From now on `changed` gets each value the desktop announces, until the source is destroyed.
    // A later call replaces the receiver.
    virtual void watch(std::function<void(std::uint32_t)> changed) = 0;
};

}  // namespace quorvanta::app
