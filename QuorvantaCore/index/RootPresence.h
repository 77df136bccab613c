// The presence of an index root, checked before a refresh changes anything. A root counts as
// present when it exists, is a folder (links followed, as the scan follows them), and, when it
// was a mount point when the index scanned it or adopted its loaded handle, still is one: an
// unmounted drive often leaves its empty mount folder behind, and listing that folder would
// mark the whole volume deleted.
#pragma once

#include <functional>
#include <string>

namespace quorvanta::core {

// What a probe finds at a root path now.
struct RootState {
    bool exists = false;
    bool isFolder = false;
    bool isMountPoint = false;
};

// Examines a path for the presence rule; the real probe behind every refresh.
RootState probeRoot(const std::string& path);

using RootProbe = std::function<RootState(const std::string& path)>;

// The presence rule.
constexpr bool rootPresent(const RootState& now, bool wasMountPoint) {
    return now.exists && now.isFolder && (!wasMountPoint || now.isMountPoint);
}

}  // namespace quorvanta::core
