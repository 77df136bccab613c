// FileMeta: the facts of one file that the index does not hold, read from the file itself for the
// results table's lazy columns (last opened, play time, bit rate, sample rate, pixel size, pages).
//
// FileMeta::load picks one probe by the extension alone (audio, video, image or PDF) and reads
// everything through one descriptor opened with O_NOATIME, so looking at a file does not change
// the "last opened" date it reports. A video probe gives up after kVideoTimeLimit; FIFOs, devices
// and folders are never probed.
//
// Threads: load keeps no state and may run on many threads at once. It blocks (disk, network
// shares) and must not run on the main thread.
// Errors: none leave load; a fact that cannot be read stays absent and its cell empty.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::app {

struct FileMeta {
    // Last opened: the file system's access time. Mounted with relatime (the usual default) it
    // moves at most once a day, or when the file was modified since; with noatime it never moves.
    std::optional<std::chrono::sys_seconds> atime{};
    std::optional<double> duration{};     // play time, seconds
    std::optional<double> bitrate{};      // bits per second
    std::optional<double> rate{};         // audio sample rate, hertz
    std::optional<std::int32_t> w{};      // pixel width
    std::optional<std::int32_t> h{};      // pixel height
    std::optional<std::int32_t> pages{};  // pages of a PDF document

    bool operator==(const FileMeta&) const = default;

    // The facts of the file at path (raw bytes, passed as given; links are followed). size is the
    // file's size as the index knows it, ext its extension as the index knows it, without the dot.
    // Always returns a value, possibly with every field absent.
    static FileMeta load(const std::string& path, std::uint64_t size, std::string_view ext);
};

// How long the video probe may read and analyse one file.
inline constexpr std::chrono::seconds kVideoTimeLimit{2};

}  // namespace quorvanta::app
