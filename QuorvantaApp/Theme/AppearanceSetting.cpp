#include "QuorvantaApp/Theme/AppearanceSetting.h"

#include "QuorvantaApp/Theme/PortalColourScheme.h"

#include <QApplication>
#include <QToolTip>

namespace quorvanta::app {
namespace {

constexpr std::uint32_t kSchemeDark = 1;

}  // namespace

AppearanceSetting::AppearanceSetting(Setup setup)
    : settings_(setup.settings), desktop_(std::move(setup.desktop)), platformPalette_(setup.platformPalette) {
    if (!desktop_) return;
    desktopScheme_ = desktop_->read();
    desktop_->watch([this](std::uint32_t scheme) {
        desktopScheme_ = scheme;
        applyStored();
    });
}

AppearanceSetting& AppearanceSetting::shared() {
    // Never destroyed: it is asked from widgets until the process ends.
    static AppearanceSetting& setting =
        *new AppearanceSetting(Setup{platform::standardSettings(), std::make_unique<PortalColourScheme>(),
                                     Theme::appearanceOf(QApplication::palette())});
    return setting;
}

Appearance AppearanceSetting::resolve(std::optional<std::string_view> stored,
                                      std::optional<std::uint32_t> desktopScheme,
                                      std::optional<Appearance> platformPalette) {
    if (stored == "light") return Appearance::light;
    if (stored == "dark") return Appearance::dark;
    if (desktopScheme) return *desktopScheme == kSchemeDark ? Appearance::dark : Appearance::light;
    return platformPalette.value_or(Appearance::light);
}

void AppearanceSetting::applyStored() {
    const auto stored = settings_.text(defaultsKey);
    current_ =
        resolve(stored ? std::optional<std::string_view>(*stored) : std::nullopt, desktopScheme_, platformPalette_);
    const QPalette palette = Theme::palette(current_);
    QApplication::setPalette(palette);
    QToolTip::setPalette(palette);
}

void AppearanceSetting::overrideForThisRun(std::string_view value) {
    settings_.setOverlay(defaultsKey, std::string(value == "dark" ? "dark" : "light"));
    applyStored();
}

}  // namespace quorvanta::app
