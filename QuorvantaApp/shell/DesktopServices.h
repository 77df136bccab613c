// What the windows ask of the desktop outside the application: opening a file, a folder or a link
// with the user's preferred program. The desktop's own opener is xdg-open, started detached so that
// it, and the program it starts, outlive the request (Qt's own opener does nothing under the
// offscreen platform). RecordingDesktopServices stands in for tests.
//
// Errors: openUrl returns false when the opener could not be started, and refuses a text that
// xdg-open would read as one of its options (a leading "-") or an empty one; what the opened
// program does afterwards is not reported.
//
// Threads: main thread.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::app {

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Opens `url` (an absolute path or a URL); false when nothing was started.
    virtual bool openUrl(const std::string& url) = 0;
};

// xdg-open in /usr/local/bin or /usr/bin; none when neither exists.
std::optional<std::string> xdgOpenPath();

class XdgDesktopServices final : public DesktopServices {
public:
    // `opener`: the program started with the URL as its one argument; none: openUrl fails.
    explicit XdgDesktopServices(std::optional<std::string> opener = xdgOpenPath()) : opener_(std::move(opener)) {}
    bool openUrl(const std::string& url) override;

private:
    const std::optional<std::string> opener_;
};

class RecordingDesktopServices final : public DesktopServices {
public:
    bool openUrl(const std::string& url) override {
        opened.push_back(url);
        return succeeds;
    }

    std::vector<std::string> opened;  // every request, in order
    bool succeeds = true;             // what openUrl answers
};

}  // namespace quorvanta::app
