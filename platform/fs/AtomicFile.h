// Whole-file atomic writes: the new contents go to a temporary file of their own beside the target
// (a fresh, unique name each time, created with O_EXCL and O_NOFOLLOW, so two writers never share
// one and a planted link is never followed), and only commit() puts it in place: fsync, rename over
// the target, fsync of the folder. A reader sees the old complete file or the new complete file.
// An AtomicFile dropped without a successful commit removes its temporary file.
//
// The file is created with the caller's mode (less the process umask); the descriptor is open for
// writing, so callers may write positionally, extend or truncate it.
//
// Threads: one AtomicFile belongs to one thread at a time; any number may write one target at
// once, and the last commit wins.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace quorvanta::platform {

class AtomicFile {
public:
    // Creates the temporary file for `target`. Fails when the target's folder is missing or not
    // writable, among others.
    static std::optional<AtomicFile> create(const std::filesystem::path& target, mode_t mode, std::error_code& error);

    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&&) = delete;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    // Open for writing until commit; -1 afterwards.
    int fd() const { return fd_; }
    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& tempPath() const { return temp_; }

    // Writes all of `bytes` at `offset`, in pieces of at most 64 MiB, retrying interrupted writes.
    std::error_code writeAt(std::uint64_t offset, std::string_view bytes);

    // Flushes the contents, renames them over the target and flushes the folder. When the flush or
    // the rename fails, the temporary file is removed and the target is untouched; an error of the
    // folder flush alone is reported with the new contents already in place. Commit at most once.
    std::error_code commit();

private:
    AtomicFile(std::filesystem::path target, std::filesystem::path temp, int fd);
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    bool committed_ = false;
};

// Writes `bytes` as the whole new contents of `target`, atomically.
std::error_code writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

// A writer killed before commit leaves its temporary file behind. Removes from `folder` the
// temporary files of AtomicFile's own name pattern (".<name>.tmp-" and 12 letters or digits) that
// are regular files last modified at least an hour before `nowWallSeconds` (Unix seconds), so the
// temporary of a writer still at work stays. Entries are looked at without following links: a
// link, a folder or any other name is never touched. Meant for a data folder when its program
// starts. Returns how many files it removed; `error` is set when the folder cannot be read (a
// file that vanishes or cannot be removed meanwhile is skipped).
std::size_t sweepStaleTemporaries(const std::filesystem::path& folder, double nowWallSeconds, std::error_code& error);

}  // namespace quorvanta::platform
