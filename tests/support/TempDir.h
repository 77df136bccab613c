// A temporary folder for one test, removed with the object. It lives under $TMPDIR, which the
// shared test main points at the run's own fresh folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvanta::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes bytes to a file under the folder (creating parent folders) and returns its path.
    std::filesystem::path write(std::string_view relative, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The permission bits of a path (not following a final link); 0 when it does not exist.
unsigned fileMode(const std::filesystem::path& path);

// Reads a whole file; an unreadable file reads as empty.
std::string readFile(const std::filesystem::path& path);

}  // namespace quorvanta::test
