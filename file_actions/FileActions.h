// The only code that changes the user's files on their behalf: rename one item, or move it to the
// Trash. Both refuse protected places (the top folder, system folders, drive roots, homes and
// their standard folders, mount points) and paths that no longer exist before touching
// anything, and both act on the path as checked: "~" expanded, "." and doubled slashes dropped,
// ".." resolved by text. A symbolic link among the parent folders cannot lead an action into a
// protected place either: the rules are also applied with the parent's links resolved.
//
// Errors: every refusal or failure is thrown as a Failure (Failure.h) whose description is what
// the user is shown; a failure leaves the file system as it was.
// Threads: no state. Callers ask one item at a time; every call may block on the file system.
// Tests pass a FakeFileSystem (platform/fs/FakeFileSystem.h); everything else uses the real one.
#pragma once

#include "file_actions/Failure.h"
#include "platform/fs/FileSystem.h"

#include <string>
#include <string_view>

namespace quorvanta::FileActions {

// The path as the system names the item; every path the results hand to an action passes
// through it. Linux has no second name for the data volume, so it is the path itself.
std::string realPath(std::string_view path);

// The path standardised by text alone: a leading "~" becomes the home folder, "." components and
// doubled or trailing slashes go, ".." takes away the component before it (at the top it stays
// at the top). A relative path other than "~…" comes back as given.
std::string standardisedPath(std::string_view path);

// Whether the item at `path` is a protected place that no action changes.
bool isProtected(std::string_view path, platform::FileSystem& fs = platform::realFileSystem());

// Whether the item at the absolute path `path` is the root of a mount. A symbolic link never is
// one (it is renamed or trashed itself, not what it points at).
bool isMountPoint(const std::string& path, platform::FileSystem& fs = platform::realFileSystem());

// Which action a guard runs for: it chooses the text of a system failure.
enum class Action { rename, trash };

// The guard both actions run first: the standardised path when it may be acted on. Throws
// `protected_` for a protected place, `missing` when nothing is there, `system` when the item
// cannot be examined.
std::string check(std::string_view path, Action action, platform::FileSystem& fs = platform::realFileSystem());

// Renames the item to `newName` (trimmed of blanks) in the same folder, never replacing anything,
// and returns its new path; the checked path itself when the name is unchanged.
std::string changeName(std::string_view path, std::string_view newName,
                       platform::FileSystem& fs = platform::realFileSystem());

// Moves the item to the Trash of its volume (platform/trash/Trash.h) and returns its path there.
std::string moveToTrash(std::string_view path, platform::FileSystem& fs = platform::realFileSystem());

}  // namespace quorvanta::FileActions
