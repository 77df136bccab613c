#include "platform/fs/XdgDirs.h"

#include "platform/fs/PathText.h"
#include "platform/fs/ReadWholeFile.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
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

struct UserDirName {
    UserDir dir;
    std::string_view key;
    std::string_view fallback;
};

constexpr UserDirName kUserDirNames[] = {
    {UserDir::desktop, "XDG_DESKTOP_DIR", "Desktop"},
    {UserDir::documents, "XDG_DOCUMENTS_DIR", "Documents"},
    {UserDir::download, "XDG_DOWNLOAD_DIR", "Downloads"},
    {UserDir::videos, "XDG_VIDEOS_DIR", "Videos"},
    {UserDir::music, "XDG_MUSIC_DIR", "Music"},
    {UserDir::pictures, "XDG_PICTURES_DIR", "Pictures"},
    {UserDir::publicShare, "XDG_PUBLICSHARE_DIR", "Public"},
    {UserDir::templates, "XDG_TEMPLATES_DIR", "Templates"},
};

const UserDirName& nameOf(UserDir dir) {
    for (const auto& name : kUserDirNames)
        if (name.dir == dir) return name;
    return kUserDirNames[0];
}

// The file is a few hundred bytes; anything far larger is not one the desktop wrote.
constexpr std::size_t kUserDirsMaxBytes = 64 * 1024;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view skipBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return s;
}

bool isKeyChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

struct Assignment {
    std::string key;
    bool underHome = false;  // the value began with "$HOME"
    std::string value;       // the rest, unescaped
};

// One line `XDG_NAME_DIR="value"` (blanks allowed around "=", a comment after the value), or none.
std::optional<Assignment> parseLine(std::string_view line) {
    line = skipBlanks(line);
    std::size_t keyEnd = 0;
    while (keyEnd < line.size() && isKeyChar(line[keyEnd])) ++keyEnd;
    Assignment result;
    result.key = std::string(line.substr(0, keyEnd));
    if (result.key.size() <= 8 || !result.key.starts_with("XDG_") || !result.key.ends_with("_DIR")) return std::nullopt;
    line = skipBlanks(line.substr(keyEnd));
    if (!line.starts_with('=')) return std::nullopt;
    line = skipBlanks(line.substr(1));
    if (!line.starts_with('"')) return std::nullopt;
    line.remove_prefix(1);
    if (line.starts_with("$HOME")) {
        result.underHome = true;
        line.remove_prefix(5);
        if (!line.starts_with('/') && !line.starts_with('"')) return std::nullopt;  // "$HOMEx"
    } else if (!line.starts_with('/')) {
        return std::nullopt;  // neither under the home folder nor absolute
    }
    for (;;) {
        if (line.empty()) return std::nullopt;  // no closing quote
        const char c = line.front();
        line.remove_prefix(1);
        if (c == '"') break;
        if (c == '\\') {
            if (line.empty()) return std::nullopt;
            result.value.push_back(line.front());
            line.remove_prefix(1);
        } else {
            result.value.push_back(c);
        }
    }
    if (result.value.find('\0') != std::string::npos) return std::nullopt;  // no path holds a NUL
    // As the shell reads it: only blanks may follow, or blanks and then a comment.
    const std::string_view rest = skipBlanks(line);
    const bool comment = rest.starts_with('#') && rest.size() < line.size();
    if (!rest.empty() && !comment) return std::nullopt;
    return result;
}

}  // namespace

std::filesystem::path homeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) return {};
    return found->pw_dir;
}

std::filesystem::path xdgConfigHome() { return baseDir("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path xdgDataHome() { return baseDir("XDG_DATA_HOME", ".local/share"); }

std::string_view userDirKey(UserDir dir) { return nameOf(dir).key; }
std::string_view userDirFallbackName(UserDir dir) { return nameOf(dir).fallback; }

UserDirs UserDirs::load() {
    const auto home = homeDir();
    const auto config = xdgConfigHome();
    if (config.empty()) return parse({}, home);
    const auto text = readWholeFile(config / "user-dirs.dirs", kUserDirsMaxBytes);
    return parse(text ? std::string_view(*text) : std::string_view{}, home);
}

UserDirs UserDirs::parse(std::string_view text, const std::filesystem::path& home) {
    UserDirs dirs;
    if (home.is_absolute()) dirs.home_ = normalisedPath(home.native());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        auto assignment = parseLine(line);
        if (!assignment) continue;
        if (assignment->underHome) {
            if (dirs.home_.empty()) continue;  // nothing to resolve "$HOME" against
            dirs.values_[assignment->key] = normalisedPath(dirs.home_.string() + assignment->value);
        } else {
            dirs.values_[assignment->key] = normalisedPath(assignment->value);
        }
    }
    return dirs;
}

std::optional<std::filesystem::path> UserDirs::folder(UserDir dir) const {
    const auto found = values_.find(userDirKey(dir));
    if (found == values_.end()) {
        if (home_.empty()) return std::nullopt;
        return home_ / userDirFallbackName(dir);
    }
    if (found->second == home_) return std::nullopt;
    return found->second;
}

std::vector<std::filesystem::path> UserDirs::personalFolders() const {
    std::vector<std::filesystem::path> folders;
    for (const UserDir dir : kPersonalFolderOrder) {
        auto path = folder(dir);
        if (path && std::find(folders.begin(), folders.end(), *path) == folders.end())
            folders.push_back(std::move(*path));
    }
    return folders;
}

}  // namespace quorvanta::platform
