// Names the calling thread for debuggers, `top -H` and sanitizer reports. Linux keeps at most
// 15 bytes of a thread name, so longer names (queue labels such as "quorvanta.search") are cut.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::platform {

inline constexpr std::size_t kMaxThreadNameBytes = 15;

// Sets the calling thread's name to the first 15 bytes of `name`.
void setCurrentThreadName(std::string_view name);

// The calling thread's name as the kernel holds it.
std::string currentThreadName();

}  // namespace quorvanta::platform
