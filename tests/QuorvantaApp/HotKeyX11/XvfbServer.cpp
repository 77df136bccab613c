#include "tests/QuorvantaApp/HotKeyX11/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace quorvanta::test {

namespace {

constexpr int kStartLimitMs = 30000;

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
}

}  // namespace

std::filesystem::path programOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::filesystem::path candidate = std::filesystem::path(rest.substr(0, colon)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    }
    return {};
}

XvfbServer::XvfbServer() {
    const auto xvfb = programOnPath("Xvfb");
    if (xvfb.empty()) throw std::runtime_error("Xvfb is missing (Debian package xvfb; run scripts/install-deps)");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        // The server goes with the test program, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        close(fds[0]);
        dup2(fds[1], 3);  // dup2 clears close-on-exec on the copy
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        execl(xvfb.c_str(), "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string said;
    pollfd readable{fds[0], POLLIN, 0};
    while (said.find('\n') == std::string::npos) {
        const int ready = poll(&readable, 1, kStartLimitMs);
        if (ready < 0 && errno == EINTR) continue;
        char buffer[32];
        const ssize_t n = ready > 0 ? read(fds[0], buffer, sizeof buffer) : 0;
        if (n <= 0) break;
        said.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (said.find('\n') == std::string::npos) {
        stop(pid_);
        throw std::runtime_error("Xvfb did not start");
    }
    display_ = ":" + said.substr(0, said.find('\n'));
}

XvfbServer::~XvfbServer() { stop(pid_); }

}  // namespace quorvanta::test
