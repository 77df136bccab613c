#include "platform/settings/FileSettings.h"

#include "platform/fs/AtomicFile.h"
#include "platform/fs/PrivateFolder.h"
#include "platform/fs/XdgDirs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace quorvanta::platform {
namespace {

constexpr std::size_t kMaxFileBytes = 64u << 20;

enum class FileState { missing, readable, unreadable };

struct Loaded {
    FileState state = FileState::missing;
    nlohmann::json values = nlohmann::json::object();
};

struct TooDeep {};

// Reads the whole file; none when it cannot be read, "" when it is missing or empty.
std::optional<std::string> readWhole(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > kMaxFileBytes) {
            close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return bytes;
}

Loaded load(const std::filesystem::path& path) {
    Loaded loaded;
    if (path.empty()) return loaded;
    const auto bytes = readWhole(path);
    if (bytes && bytes->empty()) return loaded;  // missing or empty: nothing to keep
    loaded.state = FileState::unreadable;
    if (!bytes) return loaded;
    try {
        auto values =
            nlohmann::json::parse(*bytes, [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
                if ((event == nlohmann::json::parse_event_t::object_start ||
                     event == nlohmann::json::parse_event_t::array_start) &&
                    depth >= FileSettings::kMaxDepth)
                    throw TooDeep{};
                return true;
            });
        if (!values.is_object()) return loaded;
        loaded.values = std::move(values);
        loaded.state = FileState::readable;
    } catch (const nlohmann::json::exception&) {
    } catch (const TooDeep&) {}
    return loaded;
}

}  // namespace

std::filesystem::path FileSettings::defaultPath() {
    const auto config = xdgConfigHome();
    if (config.empty()) return {};
    return config / "Quorvanta" / "settings.json";
}

FileSettings::FileSettings(std::filesystem::path path) : path_(std::move(path)) {
    auto loaded = load(path_);
    unreadable_ = loaded.state == FileState::unreadable;
    resetStored(std::move(loaded.values));
}

std::error_code FileSettings::lastWriteError() const {
    std::lock_guard lock(writeMutex_);
    return lastWriteError_;
}

void FileSettings::persist(const nlohmann::json& values) {
    std::lock_guard lock(writeMutex_);
    lastWriteError_ = write(values);
}

std::error_code FileSettings::write(const nlohmann::json& values) {
    if (path_.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
    if (auto error = makePrivateFolders(path_.parent_path())) return error;
    if (unreadable_) {
        // Keep the bytes the user may want back before a new file takes their place.
        const auto aside = path_.string() + ".corrupt";
        if (std::rename(path_.c_str(), aside.c_str()) != 0 && errno != ENOENT) return {errno, std::generic_category()};
        unreadable_ = false;
    }
    // Names on Linux need not be UTF-8; invalid bytes are written as U+FFFD instead of failing.
    const auto text = values.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    return writeFileAtomically(path_, text, 0600);
}

}  // namespace quorvanta::platform
