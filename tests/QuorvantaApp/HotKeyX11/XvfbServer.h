// A private X server for one test program: Xvfb on a display number it picks itself (-displayfd),
// so parallel programs never fight over one. It is stopped when the object goes, and also dies
// with the test program if that crashes or is killed.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace quorvanta::test {

// The program of that name on PATH, or an empty path.
std::filesystem::path programOnPath(const std::string& name);

class XvfbServer {
public:
    // Throws std::runtime_error when Xvfb is missing or has not said its display within 30 s.
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", for DISPLAY.
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace quorvanta::test
