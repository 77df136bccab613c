// HotKeyCombo's stored form: load and save over the settings store.
#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"

#include "QuorvantaApp/HotKeyRecorder/HotKeyModifiers.h"
#include "platform/settings/Settings.h"

#include <limits>
#include <string_view>

namespace quorvanta::app {

namespace {

using namespace hotkey;

constexpr std::string_view kCodeKey = "hotkeyCode";
constexpr std::string_view kModifiersKey = "hotkeyMods";
constexpr std::string_view kNameKey = "hotkeyKey";
constexpr std::string_view kPresetKey = "hotkeyPreset";  // the older form, read but never written

// What a numeric setting holds, taken as an unsigned 32-bit value.
struct Stored32 {
    enum { absent, valid, invalid } state;
    std::uint32_t value = 0;
};

Stored32 stored32(const platform::Settings& settings, std::string_view key) {
    if (const auto number = settings.integer(key)) {
        if (*number < 0 || *number > std::numeric_limits<std::uint32_t>::max()) return {Stored32::invalid};
        return {Stored32::valid, static_cast<std::uint32_t>(*number)};
    }
    // A fraction, or a whole number beyond 64 bits.
    if (settings.real(key)) return {Stored32::invalid};
    return {Stored32::absent};
}

// The combination stored under the three keys, or none when the code or the name is missing or a
// number does not fit in 32 unsigned bits.
std::optional<HotKeyCombo> storedCombo(const platform::Settings& settings) {
    const auto code = stored32(settings, kCodeKey);
    const auto modifiers = stored32(settings, kModifiersKey);
    auto name = settings.text(kNameKey);
    if (code.state != Stored32::valid || modifiers.state == Stored32::invalid || !name) return std::nullopt;
    return HotKeyCombo{code.value, modifiers.value, std::move(*name)};
}

HotKeyCombo presetCombo(const platform::Settings& settings) {
    switch (settings.integer(kPresetKey).value_or(-1)) {
        case 0:
            return {49, kOption, "Space"};
        case 1:
            return {49, kShift | kCommand, "Space"};
        case 2:
            return {49, kControl, "Space"};
        case 3:
            return {3, kOption | kCommand, "F"};
        default:
            return HotKeyCombo::defaultCombo();
    }
}

}  // namespace

HotKeyCombo HotKeyCombo::load(const platform::Settings& settings) {
    auto combo = storedCombo(settings).value_or(presetCombo(settings));
    if (combo.problem()) return defaultCombo();
    return combo;
}

void HotKeyCombo::save(platform::Settings& settings) const {
    settings.setInteger(kCodeKey, keyCode);
    settings.setInteger(kModifiersKey, modifiers);
    settings.setText(kNameKey, key);
}

}  // namespace quorvanta::app
