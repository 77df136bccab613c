#include "QuorvantaCore/index_engine/ScanRules.h"

#include <cctype>

namespace quorvanta::index_engine {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

constexpr size_t kGuardComponents = 18;  // six repetitions of a block of three names

}  // namespace

bool isJunkName(std::string_view name, bool isFolder) {
    if (!name.empty() && name[0] == '.') {
        if (name.size() >= 2 && name[1] == '_') return true;
        for (std::string_view j : kDotJunkNames)
            if (name == j) return true;
        return false;
    }
    if (name == "Icon\r") return true;
    for (std::string_view j : kJunkNamesAnyCase)
        if (equalsIgnoringCase(name, j)) return true;
    if (isFolder && name.size() > 6 && startsWithIgnoringCase(name, "FOUND.") &&
        std::isdigit(static_cast<unsigned char>(name[6])))
        return true;
    return name.size() == 12 && startsWithIgnoringCase(name, "FILE") && endsWithIgnoringCase(name, ".CHK");
}

bool includedByExtension(std::string_view name, const std::vector<std::string>& exts) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    const std::string_view ext = name.substr(dot + 1);
    for (const std::string& e : exts)
        if (equalsIgnoringCase(ext, e)) return true;
    return false;
}

bool repeatsSixTimes(std::string_view folderPath, std::string_view child) {
    std::array<std::string_view, kGuardComponents> parts;
    size_t n = 0;
    parts[n++] = child;
    size_t end = folderPath.size();
    while (n < kGuardComponents && end > 0) {
        const size_t slash = folderPath.rfind('/', end - 1);
        const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
        if (start == end) break;  // an empty component ("a//b", a trailing "/") ends the path
        parts[n++] = folderPath.substr(start, end - start);
        if (slash == std::string_view::npos) break;
        end = slash;
    }
    for (size_t k = 1; k <= 3; ++k) {
        if (n < 6 * k) continue;
        bool repeated = true;
        for (size_t i = 0; i < 5 * k && repeated; ++i) repeated = parts[i] == parts[i + k];
        if (repeated) return true;
    }
    return false;
}

std::string normalisedExclusion(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

}  // namespace quorvanta::index_engine
