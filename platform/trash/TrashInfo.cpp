#include "platform/trash/TrashInfo.h"

#include <cmath>
#include <ctime>

namespace quorvanta::platform {
namespace {

bool keptAsIs(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

}  // namespace

std::string percentEncodePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptAsIs(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
    }
    return encoded;
}

std::string deletionDate(double unixSeconds) {
    const auto seconds = static_cast<std::time_t>(std::floor(unixSeconds));
    std::tm local{};
    char text[32];
    if (!localtime_r(&seconds, &local) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
        return "1970-01-01T00:00:00";
    return text;
}

std::string trashInfoText(std::string_view path, std::string_view date) {
    std::string text = "[Trash Info]\nPath=";
    text += percentEncodePath(path);
    text += "\nDeletionDate=";
    text += date;
    text += '\n';
    return text;
}

}  // namespace quorvanta::platform
