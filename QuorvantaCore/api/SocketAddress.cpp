#include "QuorvantaCore/api/SocketAddress.h"

#include <cstring>

namespace quorvanta::core {

std::optional<sockaddr_un> unixSocketAddress(std::string_view path) {
    if (path.empty() || path.size() > kMaxSocketPathBytes || path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

}  // namespace quorvanta::core
