// The user's base folders as the XDG Base Directory rules define them. A variable that is unset,
// empty or not an absolute path is ignored; the fallback is below the home folder, taken from
// HOME or, when that is unset or empty, from the password database.
#pragma once

#include <filesystem>

namespace quorvanta::platform {

std::filesystem::path homeDir();         // "" only when neither HOME nor the passwd entry gives one
std::filesystem::path xdgConfigHome();   // $XDG_CONFIG_HOME or ~/.config
std::filesystem::path xdgDataHome();     // $XDG_DATA_HOME or ~/.local/share

}  // namespace quorvanta::platform
