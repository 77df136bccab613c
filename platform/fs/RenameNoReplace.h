// Moving an item to a new name in the same file system without ever replacing what is there.
// renameat2(RENAME_NOREPLACE) does it in one step; where the file system cannot (NFS, CIFS and
// some FUSE file systems answer EINVAL), a file that is not a folder is moved by link() and
// unlink() instead, which refuses an existing name just as well. Nothing is ever checked first
// and then renamed.
//
// Errors: 0 or an errno value. EEXIST when something exists under `to`. EINVAL when neither way
// works (a folder, or a file system without hard links). When the final unlink fails, the new
// link is removed again, so the item keeps its old name only, and that unlink's errno comes back.
// Threads: as the file system given.
#pragma once

#include "platform/fs/FileSystem.h"

#include <string>

namespace quorvanta::platform {

int renameNoReplace(FileSystem& fs, const std::string& from, const std::string& to);

}  // namespace quorvanta::platform
