#include "platform/fs/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

namespace quorvanta::platform {
namespace {

constexpr std::size_t kMaxWriteChunk = 64u << 20;
constexpr int kCreateAttempts = 100;

std::error_code lastError() { return {errno, std::generic_category()}; }

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";  // of the temporary's suffix
constexpr std::string_view kTempMark = ".tmp-";
constexpr std::size_t kSuffixLength = 12;
constexpr double kStaleSeconds = 3600;  // a temporary unmodified this long has no writer left

// "." + name + ".tmp-" + 12 random letters and digits: hidden from listings, and unlikely to be
// taken; O_EXCL keeps writers apart when it is.
std::filesystem::path tempPathFor(const std::filesystem::path& target) {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string suffix(kSuffixLength, ' ');
    for (char& c : suffix) c = kAlphabet[pick(engine)];
    return target.parent_path() / ("." + target.filename().string() + std::string(kTempMark) + suffix);
}

// Whether a folder entry's name is one tempPathFor makes.
bool isTempName(std::string_view name) {
    const std::size_t tail = kTempMark.size() + kSuffixLength;
    if (name.size() < 1 + 1 + tail || name.front() != '.') return false;
    const std::string_view suffix = name.substr(name.size() - kSuffixLength);
    return name.substr(name.size() - tail, kTempMark.size()) == kTempMark &&
           suffix.find_first_not_of(std::string_view(kAlphabet, sizeof kAlphabet - 1)) == std::string_view::npos;
}

std::error_code syncFolder(const std::filesystem::path& folder) {
    const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return lastError();
    std::error_code error;
    // Some file systems cannot flush a folder (EINVAL); the rename is done either way.
    if (fsync(dir) != 0 && errno != EINVAL) error = lastError();
    close(dir);
    return error;
}

}  // namespace

std::optional<AtomicFile> AtomicFile::create(const std::filesystem::path& target, mode_t mode, std::error_code& error) {
    error.clear();
    if (target.filename().empty()) {
        error = std::make_error_code(std::errc::is_a_directory);
        return std::nullopt;
    }
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        auto temp = tempPathFor(target);
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) return AtomicFile(target, std::move(temp), fd);
        if (errno != EEXIST) {
            error = lastError();
            return std::nullopt;
        }
    }
    error = std::make_error_code(std::errc::file_exists);
    return std::nullopt;
}

AtomicFile::AtomicFile(std::filesystem::path target, std::filesystem::path temp, int fd)
    : target_(std::move(target)), temp_(std::move(temp)), fd_(fd) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)),
      temp_(std::move(other.temp_)),
      fd_(std::exchange(other.fd_, -1)),
      committed_(std::exchange(other.committed_, true)) {}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
    committed_ = true;
}

std::error_code AtomicFile::writeAt(std::uint64_t offset, std::string_view bytes) {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    while (!bytes.empty()) {
        const std::size_t chunk = std::min(bytes.size(), kMaxWriteChunk);
        const ssize_t written = pwrite(fd_, bytes.data(), chunk, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        if (written == 0) return std::make_error_code(std::errc::io_error);
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return {};
}

std::error_code AtomicFile::commit() {
    if (fd_ < 0 || committed_) return std::make_error_code(std::errc::bad_file_descriptor);
    std::error_code error;
    if (fsync(fd_) != 0) error = lastError();
    if (close(std::exchange(fd_, -1)) != 0 && !error) error = lastError();
    if (!error && std::rename(temp_.c_str(), target_.c_str()) != 0) error = lastError();
    if (error) {
        discard();
        return error;
    }
    committed_ = true;
    return syncFolder(target_.parent_path());
}

std::error_code writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, mode_t mode) {
    std::error_code error;
    auto file = AtomicFile::create(target, mode, error);
    if (!file) return error;
    if ((error = file->writeAt(0, bytes))) return error;
    return file->commit();
}

std::size_t sweepStaleTemporaries(const std::filesystem::path& folder, double nowWallSeconds, std::error_code& error) {
    error.clear();
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        error = lastError();
        return 0;
    }
    DIR* dir = fdopendir(dirFd);
    if (!dir) {
        error = lastError();
        close(dirFd);
        return 0;
    }
    std::size_t removed = 0;
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        struct stat st {};
        if (isTempName(name) && fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9 <= nowWallSeconds - kStaleSeconds &&
            unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
        errno = 0;
    }
    if (errno != 0) error = lastError();
    closedir(dir);
    return removed;
}

}  // namespace quorvanta::platform
