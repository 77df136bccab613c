#include "platform/volumes/LoopDevice.h"

#include <unistd.h>

#include <string>

namespace quorvanta::platform {
namespace {

// The length of the run of ASCII digits at the start of `text`.
std::size_t digitsAt(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
    return n;
}

// "loopN" for "loopN" and "loopNpM"; "" for any other device name.
std::string loopOfDeviceName(std::string_view name) {
    constexpr std::string_view prefix = "loop";
    if (name.substr(0, prefix.size()) != prefix) return {};
    const std::size_t number = digitsAt(name.substr(prefix.size()));
    if (number == 0) return {};
    const std::string loop(name.substr(0, prefix.size() + number));
    const auto rest = name.substr(loop.size());
    if (rest.empty()) return loop;
    if (rest.front() == 'p' && rest.size() > 1 && digitsAt(rest.substr(1)) == rest.size() - 1) return loop;
    return {};
}

}  // namespace

bool isLoopImage(std::string_view source, const std::filesystem::path& devFolder,
                 const std::filesystem::path& sysBlockFolder) {
    std::string prefix = devFolder.native();
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    if (source.size() <= prefix.size() || source.substr(0, prefix.size()) != prefix) return false;
    const std::string loop = loopOfDeviceName(source.substr(prefix.size()));
    if (loop.empty()) return false;
    const auto backingFile = sysBlockFolder / loop / "loop" / "backing_file";
    return access(backingFile.c_str(), F_OK) == 0;
}

}  // namespace quorvanta::platform
