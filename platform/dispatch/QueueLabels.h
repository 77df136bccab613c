// The labels of the application's queues; their threads are named after them (cut to 15 bytes).
#pragma once

#include <string_view>

namespace quorvanta::platform::queue_labels {

inline constexpr std::string_view kSearch = "quorvanta.search";
inline constexpr std::string_view kScan = "quorvanta.scan";
inline constexpr std::string_view kNetScan = "quorvanta.netscan";
inline constexpr std::string_view kAudio = "quorvanta.audio";
inline constexpr std::string_view kContent = "quorvanta.content";
inline constexpr std::string_view kDupes = "quorvanta.dupes";
inline constexpr std::string_view kWatch = "quorvanta.watch";
// The drive clean-up report's counts.
inline constexpr std::string_view kJunk = "quorvanta.junk";

}  // namespace quorvanta::platform::queue_labels
