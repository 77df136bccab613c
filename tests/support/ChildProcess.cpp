#include "tests/support/ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

namespace quorvanta::test {
namespace {

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

ChildOutcome runInChild(const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return {false, std::string("pipe: ") + std::strerror(errno)};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {false, std::string("fork: ") + std::strerror(errno)};
    }
    if (pid == 0) {
        close(fds[0]);
        int status = 0;
        try {
            writeAll(fds[1], body());
        } catch (const std::exception& e) {
            writeAll(fds[1], std::string("exception: ") + e.what());
            status = 1;
        }
        close(fds[1]);
        _exit(status);
    }
    close(fds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        outcome.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    outcome.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!outcome.succeeded && outcome.output.empty()) outcome.output = "child failed";
    return outcome;
}

}  // namespace quorvanta::test
