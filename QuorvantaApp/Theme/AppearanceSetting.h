// The user's appearance applied to the whole application: "appearance" in the settings is "light",
// "dark", or anything else (nothing, "system") to follow the desktop; the application palette
// becomes Theme's palette of that appearance, and every widget repaints.
//
// The desktop's preference is its colour scheme (ColourSchemeSource): 1 dark, 2 light, 0 (no
// preference) light. When nobody answers, the lightness of the platform palette decides, as it
// was before ours was set; when that is unknown too, light. While the choice follows the desktop,
// a change announced there is applied at once.
//
// The screenshot mode's "--appearance" is an override for one run: it goes into the settings'
// volatile overlay and is never stored.
//
// Threads: main thread only. A QApplication must exist.
#pragma once

#include "QuorvantaApp/Theme/ColourSchemeSource.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "platform/settings/Settings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace quorvanta::app {

class AppearanceSetting {
public:
    static constexpr std::string_view defaultsKey = "appearance";

    struct Setup {
        platform::Settings& settings;
        std::unique_ptr<ColourSchemeSource> desktop;
        // The platform palette's appearance before ours was set; none when unknown.
        std::optional<Appearance> platformPalette;
    };

    explicit AppearanceSetting(Setup setup);
    AppearanceSetting(const AppearanceSetting&) = delete;
    AppearanceSetting& operator=(const AppearanceSetting&) = delete;

    // The process-wide instance, made on first use: the standard settings, the desktop portal on
    // the session bus, and the application palette of that moment (so make it before anything sets
    // a palette; apply() at launch does).
    static AppearanceSetting& shared();
    // The shared instance's applyStored(): at launch, and on each change of the setting.
    static void apply() { shared().applyStored(); }

    // Reads the stored choice and sets the application palette (and the tooltips') for it.
    void applyStored();
    // "dark" gives the dark appearance for the rest of this run, anything else the light one; the
    // stored choice is neither read nor written until the next run.
    void overrideForThisRun(std::string_view value);
    // The appearance applied last (light before the first apply).
    Appearance current() const { return current_; }

    // The appearance for a stored choice, the desktop's colour scheme and the platform palette's
    // appearance, each none when absent.
    static Appearance resolve(std::optional<std::string_view> stored, std::optional<std::uint32_t> desktopScheme,
                              std::optional<Appearance> platformPalette);

private:
    platform::Settings& settings_;
    const std::unique_ptr<ColourSchemeSource> desktop_;
    const std::optional<Appearance> platformPalette_;
    std::optional<std::uint32_t> desktopScheme_;
    Appearance current_ = Appearance::light;
};

}  // namespace quorvanta::app
