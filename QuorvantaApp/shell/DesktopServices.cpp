#include "QuorvantaApp/shell/DesktopServices.h"

#include "platform/process/ChildProgram.h"

#include <unistd.h>

namespace quorvanta::app {

std::optional<std::string> xdgOpenPath() {
    for (const char* place : {"/usr/local/bin/xdg-open", "/usr/bin/xdg-open"})
        if (access(place, X_OK) == 0) return std::string(place);
    return std::nullopt;
}

bool XdgDesktopServices::openUrl(const std::string& url) {
    if (!opener_ || url.empty() || url.front() == '-') return false;
    return platform::startDetachedProgram(*opener_, *opener_, {url}).started();
}

}  // namespace quorvanta::app
