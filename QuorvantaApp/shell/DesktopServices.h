// What the windows ask of the desktop outside the application: opening a file, a folder or a link
// with the user's preferred program, and showing files in the file manager. The desktop's own
// opener is xdg-open, started detached so that it, and the program it starts, outlive the request
// (Qt's own opener does nothing under the offscreen platform). RecordingDesktopServices stands in
// for tests.
//
// Files travel as file URIs made from the path's raw bytes (fileURI): every byte but the
// unreserved ones and "/" percent-encoded, so that a name starting with "-" or holding bytes that
// are not UTF-8 reaches the other program as it is on disk.
//
// Revealing asks the file manager through org.freedesktop.FileManager1.ShowItems on the session
// bus, without waiting for its answer. When the bus is not there, or the service is neither
// running nor activatable, each distinct parent folder of the files is opened instead, in the
// order of the files.
//
// Errors: openUrl returns false when the opener could not be started, and refuses a text that
// xdg-open would read as one of its options (a leading "-") or an empty one; reveal returns false
// when it could reach neither the file manager nor the opener. What the other program does
// afterwards is not reported.
//
// Threads: main thread.
#pragma once

#include <QDBusConnection>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::app {

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Opens `url` (an absolute path or a URL); false when nothing was started.
    virtual bool openUrl(const std::string& url) = 0;
    // Shows the files at `paths` (absolute, raw bytes) in the file manager, selected.
    virtual bool reveal(const std::vector<std::string>& paths) = 0;
};

// "file://" and the absolute `path` percent-encoded byte by byte (RFC 3986 unreserved characters
// and "/" stay as they are).
std::string fileURI(std::string_view path);

// The folder that holds `path` ("/" for a file in the root).
std::string parentFolder(std::string_view path);

// xdg-open in /usr/local/bin or /usr/bin; none when neither exists.
std::optional<std::string> xdgOpenPath();

class XdgDesktopServices final : public DesktopServices {
public:
    static constexpr const char* kFileManagerService = "org.freedesktop.FileManager1";
    static constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";

    // `opener`: the program started with the URL as its one argument; none: openUrl fails.
    // `bus`: where the file manager is asked to reveal; none: the user's session bus.
    explicit XdgDesktopServices(std::optional<std::string> opener = xdgOpenPath(),
                                std::optional<QDBusConnection> bus = std::nullopt)
        : opener_(std::move(opener)), bus_(std::move(bus)) {}
    bool openUrl(const std::string& url) override;
    bool reveal(const std::vector<std::string>& paths) override;

private:
    // Whether the bus has the file manager service running or can start it.
    bool fileManagerReachable(const QDBusConnection& bus) const;

    const std::optional<std::string> opener_;
    const std::optional<QDBusConnection> bus_;
};

class RecordingDesktopServices final : public DesktopServices {
public:
    bool openUrl(const std::string& url) override {
        opened.push_back(url);
        return succeeds;
    }
    bool reveal(const std::vector<std::string>& paths) override {
        revealed.push_back(paths);
        return succeeds;
    }

    std::vector<std::string> opened;                 // every open request, in order
    std::vector<std::vector<std::string>> revealed;  // every reveal request, in order
    bool succeeds = true;                            // what the requests answer
};

}  // namespace quorvanta::app
