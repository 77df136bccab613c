// The desktop Trash as freedesktop.org lays it out for every desktop. An item on the same
// mount as the user's home trash ($XDG_DATA_HOME/Trash) goes there; an item on any other mount
// goes to that mount's top-directory trash: "$top/.Trash/$uid" when "$top/.Trash" is a real
// folder (not a link) with the sticky bit, else "$top/.Trash-$uid", which must be a real folder
// owned by the user when it exists already. Folders that are missing are made with mode 0700.
// An item is never copied: where no Trash can take it by a rename, it has none.
//
// A move first reserves a name by creating "info/<name>.trashinfo" exclusively (the next free
// name of TrashName.h on a clash), writes the item's original path and the deletion date into it
// (TrashInfo.h), then renames the item to "files/<name>" without replacing anything. When that
// rename fails the info file is removed again; an orphan already in "files/" under the name
// moves on to the next name.
//
// Errors: a moved item comes back with its path in the Trash; otherwise `missing` (nothing at
// the path), `noTrash` (no Trash on the item's mount can take it: another device, a read-only
// file system, a top-directory trash that cannot be set up) or `failed` with the errno.
// Threads: no state of its own beyond its settings; calls from several threads are as safe as
// the file system given.
#pragma once

#include "platform/fs/FileSystem.h"
#include "platform/time/Clock.h"

#include <sys/types.h>

#include <string>

namespace quorvanta::platform {

struct TrashOutcome {
    enum class Status { moved, missing, noTrash, failed };

    Status status = Status::failed;
    std::string trashedPath;  // `moved`: where the item is now, ".../files/<name>"
    int error = 0;            // `failed`: what stopped it
};

class Trash {
public:
    // `homeTrash` is the user's own Trash folder (none when empty), `uid` the user whose
    // top-directory trash folders are used, `clock` the source of deletion dates.
    Trash(FileSystem& fs, const Clock& clock, std::string homeTrash, uid_t uid);
    // The current user's Trash: xdgDataHome()/"Trash", getuid(), the real clock.
    explicit Trash(FileSystem& fs = realFileSystem());

    // Moves the item at the absolute path `path` (a final symbolic link is moved itself).
    TrashOutcome trashItem(const std::string& path);

private:
    struct Folders {
        std::string files;
        std::string info;
    };

    bool onHomeTrashMount(const FileStatus& item);
    int setUpHomeTrash(Folders& out);
    bool setUpTopTrash(const std::string& top, Folders& out);
    bool ownedFolder(const std::string& folder, Folders& out);
    TrashOutcome moveInto(const Folders& folders, const std::string& path, const std::string& name,
                          const std::string& recordedPath);

    FileSystem& fs_;
    const Clock& clock_;
    const std::string homeTrash_;
    const uid_t uid_;
};

}  // namespace quorvanta::platform
