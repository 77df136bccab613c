// The folder where this system keeps its caches, its socket and its small state files:
// <XDG data home>/<application name>, that is $XDG_DATA_HOME/Quorvanta or
// ~/.local/share/Quorvanta. It is private to the user: folders created on the way get mode 0700.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorvanta::platform {

// The data folder for `appName`, created with its parents when missing. Creating may fail (a
// read-only home, no home at all); the path is answered all the same, and the writes into it
// report their own failures.
std::filesystem::path dataDirectory(std::string_view appName);

}  // namespace quorvanta::platform
