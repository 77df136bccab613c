// Names of the in-process notifications; all are posted with nothing attached and observed on the
// main queue.
#pragma once

#include <string_view>

namespace quorvanta::platform::notification_names {

inline constexpr std::string_view kFocusSearch = "quorvanta.focusSearch";
inline constexpr std::string_view kHideSearch = "quorvanta.hideSearch";
inline constexpr std::string_view kShowSourceChooser = "quorvanta.showSourceChooser";
inline constexpr std::string_view kLanguageChanged = "quorvanta.languageChanged";

}  // namespace quorvanta::platform::notification_names
