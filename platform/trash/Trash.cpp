#include "platform/trash/Trash.h"

#include "platform/fs/PathText.h"
#include "platform/fs/RenameNoReplace.h"
#include "platform/fs/XdgDirs.h"
#include "platform/trash/TrashInfo.h"
#include "platform/trash/TrashName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace quorvanta::platform {
namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kInfoMode = 0600;
// Names tried before giving up on a Trash whose every choice is taken.
constexpr unsigned kMaxNameChoices = 100'000;

TrashOutcome outcome(TrashOutcome::Status status, int error = 0) { return {status, {}, error}; }

// The item could not be examined: it is gone, or something else stands in the way.
TrashOutcome unexamined(int error) {
    if (error == ENOENT || error == ENOTDIR) return outcome(TrashOutcome::Status::missing);
    return outcome(TrashOutcome::Status::failed, error);
}

// A Trash folder could not be made or used: a read-only file system has no Trash.
TrashOutcome unusable(int error) {
    return outcome(error == EROFS ? TrashOutcome::Status::noTrash : TrashOutcome::Status::failed, error);
}

// Makes sure `path` is a folder, making it (mode 0700) when it is missing. `follow` says whether a
// link to a folder will do.
int ensureFolder(FileSystem& fs, const std::string& path, bool follow) {
    FileStatus status;
    auto look = [&] { return follow ? fs.stat(path, status) : fs.lstat(path, status); };
    int error = look();
    if (error == ENOENT) {
        error = fs.mkdir(path, kFolderMode);
        if (error == EEXIST)
            error = look();  // made meanwhile by someone else
        else if (error == 0)
            return 0;
    }
    if (error) return error;
    return status.isFolder() ? 0 : ENOTDIR;
}

// `ensureFolder` for `path` and every missing folder above it.
int ensureFolderChain(FileSystem& fs, const std::string& path) {
    FileStatus status;
    if (fs.stat(path, status) == ENOENT && path != "/" && !path.empty()) {
        if (const int error = ensureFolderChain(fs, parentPath(path))) return error;
    }
    return ensureFolder(fs, path, true);
}

std::string homeTrashFolder() {
    const auto data = xdgDataHome();
    return data.empty() ? std::string() : (data / "Trash").string();
}

int writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

}  // namespace

Trash::Trash(FileSystem& fs, const Clock& clock, std::string homeTrash, uid_t uid)
    : fs_(fs), clock_(clock), homeTrash_(std::move(homeTrash)), uid_(uid) {}

Trash::Trash(FileSystem& fs) : Trash(fs, realClock(), homeTrashFolder(), getuid()) {}

TrashOutcome Trash::trashItem(const std::string& path) {
    std::string item = path;
    while (item.size() > 1 && item.back() == '/') item.pop_back();
    const auto slash = item.rfind('/');
    if (item.empty() || item.front() != '/' || item == "/") return outcome(TrashOutcome::Status::failed, EINVAL);
    const std::string name = item.substr(slash + 1);
    if (name == "." || name == "..") return outcome(TrashOutcome::Status::failed, EINVAL);

    FileStatus itemStatus;
    if (const int error = fs_.lstat(item, itemStatus)) return unexamined(error);

    // The original location as recorded: the parent with its links resolved, so that a path
    // relative to a mount's top folder can be told.
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(parentPath(item).c_str(), nullptr),
                                                               &std::free);
    if (!resolved) return unexamined(errno);
    const std::string resolvedParent = resolved.get();
    const std::string original = joinPath(resolvedParent, name);

    if (onHomeTrashMount(itemStatus)) {
        Folders home;
        if (const int error = setUpHomeTrash(home)) return unusable(error);
        TrashOutcome moved = moveInto(home, item, name, original);
        // Another mount after all (a bind mount of the same device): its own Trash, below.
        if (!(moved.status == TrashOutcome::Status::failed && moved.error == EXDEV)) return moved;
    }

    const auto top = fs_.mountPointOf(resolvedParent);
    Folders topTrash;
    if (!top || !setUpTopTrash(*top, topTrash)) return outcome(TrashOutcome::Status::noTrash);
    // Recorded relative to the top folder; the top folder itself keeps its full path.
    const std::optional<std::string_view> below = pathBelow(original, *top);
    const std::string recorded = below && !below->empty() ? std::string(*below) : original;
    TrashOutcome moved = moveInto(topTrash, item, name, recorded);
    if (moved.status == TrashOutcome::Status::failed && moved.error == EXDEV)
        return outcome(TrashOutcome::Status::noTrash);
    return moved;
}

bool Trash::onHomeTrashMount(const FileStatus& item) {
    if (homeTrash_.empty()) return false;
    // The home trash may not exist yet: the nearest folder above it that does stands in.
    std::string folder = homeTrash_;
    FileStatus status;
    while (fs_.stat(folder, status) != 0) {
        if (folder == "/" || folder.empty()) return false;
        folder = parentPath(folder);
    }
    return item.sameMount(status);
}

int Trash::setUpHomeTrash(Folders& out) {
    if (const int error = ensureFolderChain(fs_, homeTrash_)) return error;
    out = {joinPath(homeTrash_, "files"), joinPath(homeTrash_, "info")};
    if (const int error = ensureFolder(fs_, out.files, true)) return error;
    return ensureFolder(fs_, out.info, true);
}

bool Trash::setUpTopTrash(const std::string& top, Folders& out) {
    const std::string uid = std::to_string(uid_);
    const std::string shared = joinPath(top, ".Trash");
    FileStatus status;
    // lstat: a link named .Trash is not a folder here, so it is never followed.
    if (fs_.lstat(shared, status) == 0 && status.isFolder() && (status.mode & S_ISVTX) &&
        ownedFolder(joinPath(shared, uid), out))
        return true;
    return ownedFolder(joinPath(top, ".Trash-" + uid), out);
}

bool Trash::ownedFolder(const std::string& folder, Folders& out) {
    if (ensureFolder(fs_, folder, false) != 0) return false;
    FileStatus status;
    if (fs_.lstat(folder, status) != 0 || status.owner != uid_) return false;
    out = {joinPath(folder, "files"), joinPath(folder, "info")};
    return ensureFolder(fs_, out.files, false) == 0 && ensureFolder(fs_, out.info, false) == 0;
}

TrashOutcome Trash::moveInto(const Folders& folders, const std::string& path, const std::string& name,
                             const std::string& recordedPath) {
    for (unsigned number = 1; number <= kMaxNameChoices; ++number) {
        const std::string chosen = trashName(name, number);
        const std::string info = joinPath(folders.info, chosen + ".trashinfo");
        int fd = -1;
        const int openError = fs_.open(info, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, kInfoMode, fd);
        if (openError == EEXIST) continue;
        if (openError) return unusable(openError);
        int writeError = writeAll(fd, trashInfoText(recordedPath, deletionDate(clock_.wallSeconds())));
        if (::close(fd) != 0 && writeError == 0) writeError = errno;
        if (writeError) {
            fs_.unlink(info);
            return outcome(TrashOutcome::Status::failed, writeError);
        }

        const std::string target = joinPath(folders.files, chosen);
        const int moveError = renameNoReplace(fs_, path, target);
        if (moveError == 0) return {TrashOutcome::Status::moved, target, 0};
        fs_.unlink(info);
        if (moveError == EEXIST) continue;  // an orphan in files/ holds the name
        if (moveError == ENOENT) return outcome(TrashOutcome::Status::missing);
        return unusable(moveError);
    }
    return outcome(TrashOutcome::Status::failed, EEXIST);
}

}  // namespace quorvanta::platform
