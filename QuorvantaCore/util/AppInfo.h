// The application's identity: the display name, which also names the data directory and appears
// in window titles and messages, and the bundle identifier (a reverse-domain name, used where the
// desktop wants an application id). Both programs share them, so both find the same data
// directory. Each is computed once; any thread may read them.
#pragma once

#include <string>

namespace quorvanta::core {

struct AppInfo {
    AppInfo() = delete;

    static const std::string& name();      // "Quorvanta"
    static const std::string& bundleID();  // "org.quorvanta.Quorvanta"
};

}  // namespace quorvanta::core
