// A file system for tests: every call goes to the real one (real files in a test's temporary
// folder) unless the test scripted otherwise. It can make a call fail with a chosen errno, present
// a folder as the root of a mount of its own, report another owner for an item, let one name
// answer for another item (as a case-insensitive file system does), and it records every call.
//
// Threads: one thread at a time.
#pragma once

#include "platform/fs/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::platform {

class FakeFileSystem final : public FileSystem {
public:
    enum class Op { lstat, stat, rename, renameNoReplace, link, unlink, mkdir, open, listFolder };

    struct Call {
        Op op;
        std::string path;
        std::string other;  // the second path of rename, renameNoReplace and link

        bool operator==(const Call&) const = default;
    };

    explicit FakeFileSystem(FileSystem& real = realFileSystem());

    // Makes `op` fail with `error` when one of its paths is `path` or lies below it, the next
    // `times` calls (every call when none).
    void fail(Op op, std::string path, int error, std::optional<int> times = std::nullopt);
    // Presents `folder` as the root of a mount: stat and lstat of it and of everything below it
    // report this device and mount id, isMountPoint(folder) is true and mountPointOf answers
    // `folder` for everything below it. The files stay where they are, so renames still work.
    void pretendMount(std::string folder, unsigned devMajor, unsigned devMinor, std::uint64_t mountID);
    // stat and lstat of exactly `path` report `owner`.
    void pretendOwner(std::string path, uid_t owner);
    // stat and lstat of exactly `path` answer as those of `item` do.
    void pretendAlias(std::string path, std::string item);

    const std::vector<Call>& calls() const { return calls_; }
    // Whether `op` was called with `path` as its first path.
    bool called(Op op, const std::string& path) const;

    int lstat(const std::string& path, FileStatus& out) override;
    int stat(const std::string& path, FileStatus& out) override;
    int rename(const std::string& from, const std::string& to) override;
    int renameNoReplace(const std::string& from, const std::string& to) override;
    int link(const std::string& existing, const std::string& newPath) override;
    int unlink(const std::string& path) override;
    int mkdir(const std::string& path, mode_t mode) override;
    int open(const std::string& path, int flags, mode_t mode, int& fd) override;
    int listFolder(const std::string& path, std::vector<std::string>& names) override;
    bool isMountPoint(const std::string& path) override;
    std::optional<std::string> mountPointOf(const std::string& folder) override;

private:
    struct Failure {
        Op op;
        std::string path;
        int error;
        std::optional<int> times;
    };
    struct Mount {
        std::string folder;
        unsigned devMajor;
        unsigned devMinor;
        std::uint64_t mountID;
    };

    // Records the call; the scripted errno when one applies, else 0.
    int enter(Op op, const std::string& path, const std::string& other = {});
    int status(Op op, const std::string& path, FileStatus& out);
    const Mount* mountHolding(const std::string& path) const;

    FileSystem& real_;
    std::vector<Failure> failures_;
    std::vector<Mount> mounts_;
    std::vector<std::pair<std::string, uid_t>> owners_;
    std::vector<std::pair<std::string, std::string>> aliases_;
    std::vector<Call> calls_;
};

}  // namespace quorvanta::platform
