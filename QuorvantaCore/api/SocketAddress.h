// The Unix-domain socket address of a path, built the same way by the server and the client.
// Linux's `sun_path` holds 108 bytes, so the longest path is 107 bytes; a path holding a NUL byte
// cannot be named either.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvanta::core {

inline constexpr std::size_t kMaxSocketPathBytes = sizeof(sockaddr_un::sun_path) - 1;

// The address with the path's bytes and a terminating NUL, otherwise zero; none when the path
// does not fit (or is empty, which would name no file). Pass sizeof(sockaddr_un) as the length.
std::optional<sockaddr_un> unixSocketAddress(std::string_view path);

}  // namespace quorvanta::core
