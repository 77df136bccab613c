#include "platform/fs/XdgDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quorvanta::platform {
namespace {

std::filesystem::path absoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value || value[0] != '/') return {};
    return value;
}

std::filesystem::path baseDir(const char* variable, const char* fallbackBelowHome) {
    if (auto fromEnv = absoluteFromEnv(variable); !fromEnv.empty()) return fromEnv;
    const auto home = homeDir();
    return home.empty() ? std::filesystem::path{} : home / fallbackBelowHome;
}

}  // namespace

std::filesystem::path homeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

std::filesystem::path xdgConfigHome() { return baseDir("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path xdgDataHome() { return baseDir("XDG_DATA_HOME", ".local/share"); }

}  // namespace quorvanta::platform
