// Which roots and scopes of a volume are present, and whether its drive is.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/RootPresence.h"

#include <algorithm>

namespace quorvanta::app {
namespace lifecycle {
namespace {

bool drivePresent(const std::string& root, bool rootWasMountPoint) {
    return core::rootPresent(core::probeRoot(root), rootWasMountPoint);
}

}  // namespace

VolumeState::Date dateNow(const platform::Clock& clock) {
    return VolumeState::Date(
        std::chrono::duration_cast<VolumeState::Date::duration>(std::chrono::duration<double>(clock.wallSeconds())));
}

std::vector<std::string> presentScopes(const std::string& root, const std::vector<std::string>& scopes,
                                       bool rootWasMountPoint) {
    if (!drivePresent(root, rootWasMountPoint)) return scopes;
    std::vector<std::string> present;
    for (const std::string& scope : scopes) {
        const core::RootState state = core::probeRoot(scope);
        if (state.exists && state.isFolder) present.push_back(scope);
    }
    return present;
}

}  // namespace lifecycle

AppModel::RootCheck AppModel::RootCheck::of(const core::VolumeIndex& index, const std::string& root,
                                            bool rootWasMountPoint) {
    RootCheck check;
    check.missing = index.missingRoots();
    check.driveThere = std::find(check.missing.begin(), check.missing.end(), root) == check.missing.end() &&
                       lifecycle::drivePresent(root, rootWasMountPoint);
    return check;
}

}  // namespace quorvanta::app
