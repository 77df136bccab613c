#include "platform/fs/PathText.h"

#include <algorithm>
#include <vector>

namespace quorvanta::platform {
namespace {

std::size_t skipSlashes(std::string_view text, std::size_t at) {
    while (at < text.size() && text[at] == '/') ++at;
    return at;
}

std::size_t componentEnd(std::string_view text, std::size_t at) {
    const std::size_t slash = text.find('/', at);
    return slash == std::string_view::npos ? text.size() : slash;
}

void dropTrailingSlashes(std::string_view& path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
}

}  // namespace

void appendToPath(std::string& path, std::string_view name) {
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path.append(name);
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    appendToPath(path, name);
    return path;
}

std::string parentPath(std::string_view path) {
    dropTrailingSlashes(path);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return "";
    std::string_view parent = path.substr(0, std::max<std::size_t>(slash, 1));
    dropTrailingSlashes(parent);
    return std::string(parent);
}

std::optional<std::string_view> pathBelow(std::string_view path, std::string_view folder) {
    if (path.empty() || folder.empty() || (path.front() == '/') != (folder.front() == '/')) return std::nullopt;
    std::size_t p = skipSlashes(path, 0);
    std::size_t f = skipSlashes(folder, 0);
    while (f < folder.size()) {
        const std::size_t fEnd = componentEnd(folder, f);
        const std::size_t pEnd = componentEnd(path, p);
        if (folder.substr(f, fEnd - f) != path.substr(p, pEnd - p)) return std::nullopt;
        f = skipSlashes(folder, fEnd);
        p = skipSlashes(path, pEnd);
    }
    return path.substr(p);
}

std::string normalisedPath(std::string_view path) {
    if (path.empty()) return "";
    const bool absolute = path.front() == '/';
    std::vector<std::string_view> parts;
    for (std::size_t at = skipSlashes(path, 0); at < path.size();) {
        const std::size_t end = componentEnd(path, at);
        const std::string_view part = path.substr(at, end - at);
        at = skipSlashes(path, end);
        if (part == ".") continue;
        if (part == "..") {
            // ".." of the root is the root; a relative path keeps the ".." it cannot take back.
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
            continue;
        }
        parts.push_back(part);
    }
    std::string out = absolute ? "/" : "";
    for (std::string_view part : parts) appendToPath(out, part);
    if (out.empty()) out = ".";
    return out;
}

std::string_view lastComponent(std::string_view path) {
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace quorvanta::platform
