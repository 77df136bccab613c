// How the results table's Kind column reads: a badge with the upper-case extension, or the file
// type's description. Stored as the text "kindStyle" ("badge" or "description"), chosen in the
// settings window or for one run with the application's --kind option (the store's overlay).
//
// Threads: any thread (the store guards itself).
#pragma once

#include "platform/settings/Settings.h"

#include <cstdint>
#include <string_view>

namespace quorvanta::app {

enum class KindStyle : std::uint8_t { badge, description };

inline constexpr std::string_view kindStyleKey = "kindStyle";

// "description" selects descriptions; any other value, or none, badges.
KindStyle kindStyle(const platform::Settings& d);

}  // namespace quorvanta::app
