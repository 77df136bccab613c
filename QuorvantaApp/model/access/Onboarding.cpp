#include "QuorvantaApp/model/access/Onboarding.h"

#include "platform/fs/PathText.h"
#include "platform/trash/TrashInfo.h"

namespace quorvanta::app {

bool Onboarding::needed(const std::vector<std::string>& closed, const platform::Settings& defaults, bool rootsForced) {
    return !closed.empty() && !defaults.boolean(kDismissedKey).value_or(false) && !rootsForced;
}

void Onboarding::dismiss(platform::Settings& defaults) { defaults.setBoolean(kDismissedKey, true); }

std::optional<std::string> Onboarding::folderToOpen(const std::vector<std::string>& closed) {
    if (closed.empty()) return std::nullopt;
    return "file://" + platform::percentEncodePath(platform::parentPath(closed.front()));
}

}  // namespace quorvanta::app
