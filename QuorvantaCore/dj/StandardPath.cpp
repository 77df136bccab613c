#include "QuorvantaCore/dj/StandardPath.h"

#include <vector>

namespace quorvanta::core::dj {

std::string standardPath(std::string_view path) {
    if (path.empty()) return {};
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> parts;
    std::size_t leadingUp = 0;  // ".." components a relative path cannot resolve
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            else if (!absolute)
                ++leadingUp;
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    out.reserve(path.size());
    if (absolute) out += '/';
    for (std::size_t i = 0; i < leadingUp; ++i) {
        if (i) out += '/';
        out += "..";
    }
    for (const std::string_view part : parts) {
        if (!out.empty() && out.back() != '/') out += '/';
        out += part;
    }
    return out.empty() ? std::string(".") : out;
}

std::string childPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    out += name;
    return out;
}

std::string_view lastComponent(std::string_view standard) {
    const std::size_t slash = standard.rfind('/');
    return slash == std::string_view::npos ? standard : standard.substr(slash + 1);
}

}  // namespace quorvanta::core::dj
