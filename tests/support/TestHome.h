// The fresh temporary home of a test run: HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and TMPDIR point
// into one new folder, so no test reads or writes the real user's settings, data folder or
// temporary files. Every test main sets it up first and removes it last.
#pragma once

#include <filesystem>
#include <optional>

namespace quorvanta::test {

// Makes the folder and points the variables at it; none (with a message on standard error) when
// the folder cannot be made.
std::optional<std::filesystem::path> setUpTestHome();
void removeTestHome(const std::filesystem::path& root);

}  // namespace quorvanta::test
