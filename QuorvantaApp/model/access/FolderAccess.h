// Whether the application may read the folders the user chose to index: the check the launch runs
// once, before it decides between the onboarding window and the scans (Onboarding.h).
//
// check() opens each folder a scan of the configured sources would open, with
// O_RDONLY | O_DIRECTORY | O_CLOEXEC, and closes it at once. The folders are those of every
// candidate drive whose source settings are stored and enabled (the drives the model makes volumes
// for): the root for a whole drive, else the root joined with each chosen folder
// (Prefs::scopes). EACCES and EPERM put the folder on the closed list; any other failure (a folder
// that is gone, a drive that was unplugged, an I/O error) is not an access problem and is left to
// the scan, which reports it. Network drives are never opened: a stale network mount can block
// an open for minutes, and the check runs on the main thread. Without configured sources, or with
// roots forced on the command line, nothing is checked.
//
// Threads: any thread; the launch calls it on the main thread. The file system is the caller's.
#pragma once

#include "QuorvantaApp/model/drives/Candidates.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "platform/fs/FileSystem.h"

#include <string>
#include <vector>

namespace quorvanta::app {

struct FolderAccess {
    FolderAccess() = delete;

    // The folders closed to this process, in the order of the candidates and their folders.
    static std::vector<std::string> check(const std::vector<Candidate>& candidates, const Prefs& prefs,
                                          bool rootsForced, platform::FileSystem& files = platform::realFileSystem());

    // Whether an open failure means the folder is closed to this user.
    static bool isClosed(int error);
};

}  // namespace quorvanta::app
