// Settings kept in one JSON file, by default $XDG_CONFIG_HOME/Quorvanta/settings.json. The file is
// read once, when the store is made, and written whole and atomically after each change (file mode
// 0600, missing folders made with 0700). Keys the program does not know and values of unexpected
// kinds are kept when it is rewritten.
//
// A file that cannot be read (not JSON, truncated, not an object at the top, nested deeper than
// kMaxDepth, invalid UTF-8, unreadable) costs nothing: every key reads as absent and the file stays
// as it is until the first change, which first moves it aside as "settings.json.corrupt" and then
// writes a new file. A missing or empty file simply has no values.
//
// Write failures leave the values in memory, which stay the truth for this run; the next change
// tries to write the whole file again. lastWriteError() tells what went wrong.
//
// Threads: as Settings.
#pragma once

#include "platform/settings/Settings.h"

#include <filesystem>
#include <system_error>

namespace quorvanta::platform {

class FileSettings final : public Settings {
public:
    static constexpr int kMaxDepth = 64;

    // The default settings file; empty when there is no home folder to put it in (then nothing is
    // written).
    static std::filesystem::path defaultPath();

    explicit FileSettings(std::filesystem::path path = defaultPath());

    const std::filesystem::path& path() const { return path_; }
    // The error of the last write, or none when it succeeded.
    std::error_code lastWriteError() const;

protected:
    void persist(const nlohmann::json& values) override;

private:
    std::error_code write(const nlohmann::json& values);

    const std::filesystem::path path_;
    mutable std::mutex writeMutex_;  // guards unreadable_ and lastWriteError_
    bool unreadable_ = false;        // the file on disk is still the unreadable one
    std::error_code lastWriteError_;
};

}  // namespace quorvanta::platform
