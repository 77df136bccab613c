#include "QuorvantaApp/HotKeyRecorder/HotKeyModifiers.h"

namespace quorvanta::app::hotkey {

namespace {

// The X11 mask of each Carbon bit on one server, in the order of kModifierKeys.
std::array<std::uint16_t, 4> x11Masks(X11ModifierMasks server) {
    return {XCB_MOD_MASK_CONTROL, server.alt, XCB_MOD_MASK_SHIFT, server.super};
}

}  // namespace

std::uint32_t carbonMaskFromQt(Qt::KeyboardModifiers modifiers) {
    std::uint32_t mask = 0;
    for (const auto& key : kModifierKeys) {
        if (modifiers.testFlag(key.qt)) mask |= key.carbon;
    }
    return mask;
}

std::optional<std::uint16_t> x11MaskFromCarbon(std::uint32_t carbon, X11ModifierMasks server) {
    if (carbon & ~(kNonShiftModifiers | kShift)) return std::nullopt;
    const auto masks = x11Masks(server);
    std::uint16_t x11 = 0;
    for (std::size_t i = 0; i < kModifierKeys.size(); ++i) {
        if (!(carbon & kModifierKeys[i].carbon)) continue;
        if (masks[i] == 0) return std::nullopt;
        x11 |= masks[i];
    }
    return x11;
}

std::uint32_t carbonMaskFromX11(std::uint16_t state, X11ModifierMasks server) {
    const auto masks = x11Masks(server);
    std::uint32_t carbon = 0;
    for (std::size_t i = 0; i < kModifierKeys.size(); ++i) {
        if (masks[i] != 0 && (state & masks[i]) == masks[i]) carbon |= kModifierKeys[i].carbon;
    }
    return carbon;
}

}  // namespace quorvanta::app::hotkey
