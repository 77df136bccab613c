#include "QuorvantaApp/model/access/FolderAccess.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quorvanta::app {

bool FolderAccess::isClosed(int error) { return error == EACCES || error == EPERM; }

std::vector<std::string> FolderAccess::check(const std::vector<Candidate>& candidates, const Prefs& prefs,
                                             bool rootsForced, platform::FileSystem& files) {
    std::vector<std::string> closed;
    if (rootsForced || !prefs.configured()) return closed;
    for (const Candidate& candidate : candidates) {
        if (candidate.isNetwork || !prefs.isKnown(candidate.key)) continue;
        const SourceConfig config = prefs.source(candidate.key, candidate.isInternal);
        if (!config.enabled) continue;
        for (const std::string& folder : Prefs::scopes(config, candidate.root)) {
            int fd = -1;
            const int error = files.open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0, fd);
            if (error == 0)
                ::close(fd);
            else if (isClosed(error))
                closed.push_back(folder);
        }
    }
    return closed;
}

}  // namespace quorvanta::app
