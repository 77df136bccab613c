#include "platform/volumes/MountInfo.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace quorvanta::platform {
namespace {

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// The kernel writes space, tab, line feed and backslash as a backslash and three octal digits.
std::string unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

std::vector<std::string_view> splitOnSpaces(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const auto space = line.find(' ', start);
        fields.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    return fields;
}

// One line: id parent major:minor root mount-point options [optional...] - type source super-options
std::optional<MountEntry> parseLine(std::string_view line) {
    const auto fields = splitOnSpaces(line);
    if (fields.size() < 9) return std::nullopt;

    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (separator + 2 >= fields.size()) return std::nullopt;

    MountEntry entry;
    const auto device = fields[2];
    const auto colon = device.find(':');
    if (colon == std::string_view::npos || !parseNumber(fields[0], entry.mountID) ||
        !parseNumber(fields[1], entry.parentID) || !parseNumber(device.substr(0, colon), entry.devMajor) ||
        !parseNumber(device.substr(colon + 1), entry.devMinor))
        return std::nullopt;
    if (fields[3].empty() || fields[4].empty() || fields[separator + 1].empty()) return std::nullopt;

    entry.root = unescape(fields[3]);
    entry.mountPoint = unescape(fields[4]);
    entry.fsType = unescape(fields[separator + 1]);
    entry.source = unescape(fields[separator + 2]);
    return entry;
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (auto entry = parseLine(text.substr(0, end))) entries.push_back(std::move(*entry));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return entries;
}

std::optional<std::vector<MountEntry>> readMountInfo(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return parseMountInfo(text);
}

}  // namespace quorvanta::platform
