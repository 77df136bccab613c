// Reading a small file whole (translations, state files of the data directory), with a bound on
// its size so that a huge or endless file (a FIFO, a device) is refused instead of read.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace quorvanta::platform {

// The bytes of the regular file at `path`, or none when it is missing, unreadable, not a regular
// file, or larger than `maxBytes`. Safe from any thread.
std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace quorvanta::platform
