// The rules of the onboarding window that the launch shows when folders the user chose are closed
// to the application (FolderAccess.h), kept apart from the window so they are tested without one.
//
// The launch shows it when the closed list is not empty, "onboardingDismissed" is not true (absent,
// or a value of another kind, counts as false) and no roots were forced on the command line;
// otherwise it starts indexing. "Later" stores "onboardingDismissed" true, so later launches go
// straight to indexing even while folders stay closed. "Open folder" opens the folder that holds
// the first closed one in the file manager, as a file URL.
//
// Threads: any thread; the settings store is safe from any.
#pragma once

#include "platform/settings/Settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

struct Onboarding {
    Onboarding() = delete;

    static constexpr std::string_view kDismissedKey = "onboardingDismissed";

    static bool needed(const std::vector<std::string>& closed, const platform::Settings& defaults, bool rootsForced);
    // "Later": stores the choice.
    static void dismiss(platform::Settings& defaults);
    // "file://" and the percent-encoded path of the folder holding the first closed folder; none
    // when the list is empty.
    static std::optional<std::string> folderToOpen(const std::vector<std::string>& closed);
};

}  // namespace quorvanta::app
