#include "platform/fs/FakeFileSystem.h"

#include "platform/fs/PathText.h"

#include <algorithm>
#include <utility>

namespace quorvanta::platform {

FakeFileSystem::FakeFileSystem(FileSystem& real) : real_(real) {}

void FakeFileSystem::fail(Op op, std::string path, int error, std::optional<int> times) {
    failures_.push_back({op, std::move(path), error, times});
}

void FakeFileSystem::pretendMount(std::string folder, unsigned devMajor, unsigned devMinor, std::uint64_t mountID) {
    mounts_.push_back({std::move(folder), devMajor, devMinor, mountID});
}

void FakeFileSystem::pretendOwner(std::string path, uid_t owner) { owners_.emplace_back(std::move(path), owner); }

void FakeFileSystem::pretendAlias(std::string path, std::string item) {
    aliases_.emplace_back(std::move(path), std::move(item));
}

bool FakeFileSystem::called(Op op, const std::string& path) const {
    return std::any_of(calls_.begin(), calls_.end(),
                       [&](const Call& call) { return call.op == op && call.path == path; });
}

int FakeFileSystem::enter(Op op, const std::string& path, const std::string& other) {
    calls_.push_back({op, path, other});
    for (auto& failure : failures_) {
        if (failure.op != op || (failure.times && *failure.times <= 0)) continue;
        const bool hits = isSameOrUnder(path, failure.path) || (!other.empty() && isSameOrUnder(other, failure.path));
        if (!hits) continue;
        if (failure.times) --*failure.times;
        return failure.error;
    }
    return 0;
}

const FakeFileSystem::Mount* FakeFileSystem::mountHolding(const std::string& path) const {
    const Mount* best = nullptr;
    for (const auto& mount : mounts_)
        if (isSameOrUnder(path, mount.folder) && (!best || mount.folder.size() > best->folder.size())) best = &mount;
    return best;
}

int FakeFileSystem::status(Op op, const std::string& path, FileStatus& out) {
    if (const int error = enter(op, path)) return error;
    std::string asked = path;
    for (const auto& [alias, item] : aliases_)
        if (alias == path) asked = item;
    const int error = op == Op::lstat ? real_.lstat(asked, out) : real_.stat(asked, out);
    if (error) return error;
    if (const Mount* mount = mountHolding(path)) {
        out.devMajor = mount->devMajor;
        out.devMinor = mount->devMinor;
        out.mountID = mount->mountID;
    }
    for (const auto& [owned, owner] : owners_)
        if (owned == path) out.owner = owner;
    return 0;
}

int FakeFileSystem::lstat(const std::string& path, FileStatus& out) { return status(Op::lstat, path, out); }

int FakeFileSystem::stat(const std::string& path, FileStatus& out) { return status(Op::stat, path, out); }

int FakeFileSystem::rename(const std::string& from, const std::string& to) {
    if (const int error = enter(Op::rename, from, to)) return error;
    return real_.rename(from, to);
}

int FakeFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
    if (const int error = enter(Op::renameNoReplace, from, to)) return error;
    return real_.renameNoReplace(from, to);
}

int FakeFileSystem::link(const std::string& existing, const std::string& newPath) {
    if (const int error = enter(Op::link, existing, newPath)) return error;
    return real_.link(existing, newPath);
}

int FakeFileSystem::unlink(const std::string& path) {
    if (const int error = enter(Op::unlink, path)) return error;
    return real_.unlink(path);
}

int FakeFileSystem::mkdir(const std::string& path, mode_t mode) {
    if (const int error = enter(Op::mkdir, path)) return error;
    return real_.mkdir(path, mode);
}

int FakeFileSystem::open(const std::string& path, int flags, mode_t mode, int& fd) {
    if (const int error = enter(Op::open, path)) return error;
    return real_.open(path, flags, mode, fd);
}

int FakeFileSystem::listFolder(const std::string& path, std::vector<std::string>& names) {
    if (const int error = enter(Op::listFolder, path)) return error;
    return real_.listFolder(path, names);
}

bool FakeFileSystem::isMountPoint(const std::string& path) {
    for (const auto& mount : mounts_)
        if (mount.folder == path) return true;
    return real_.isMountPoint(path);
}

std::optional<std::string> FakeFileSystem::mountPointOf(const std::string& folder) {
    if (const Mount* mount = mountHolding(folder)) return mount->folder;
    return real_.mountPointOf(folder);
}

}  // namespace quorvanta::platform
