#include "platform/process/ChildProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>

#include <algorithm>
#include <thread>

extern char** environ;

namespace quorvanta::platform {

namespace {

using Clock = std::chrono::steady_clock;

// posix_spawn's file actions and attributes, destroyed on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    bool ready = false;

    explicit SpawnSetup(int outFd) {
        if (posix_spawn_file_actions_init(&actions) != 0) return;
        if (posix_spawnattr_init(&attr) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        // A group of its own, so that a kill reaches whatever the program starts; signals as a
        // fresh program expects them, whatever this process blocks or ignores.
        ready =
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
            posix_spawn_file_actions_adddup2(&actions, outFd, 1) == 0 &&
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 && posix_spawnattr_setpgroup(&attr, 0) == 0 &&
            posix_spawnattr_setsigmask(&attr, &none) == 0 && posix_spawnattr_setsigdefault(&attr, &all) == 0 &&
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) ==
                0;
        if (!ready) destroy();
    }
    ~SpawnSetup() {
        if (ready) destroy();
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

private:
    void destroy() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
};

int millisUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

std::optional<ChildResult> runChildProgram(const std::string& program, const std::string& argv0,
                                           const std::vector<std::string>& args, std::chrono::milliseconds timeLimit,
                                           std::size_t maxOutput) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    const int readFd = pipeFds[0];
    pid_t pid = -1;
    int spawned = -1;
    {
        SpawnSetup setup(pipeFds[1]);
        if (setup.ready) {
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(argv0.c_str()));
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            spawned = posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
        }
    }
    close(pipeFds[1]);
    if (spawned != 0) {
        close(readFd);
        return std::nullopt;
    }

    ChildResult result;
    const Clock::time_point deadline = Clock::now() + timeLimit;
    char buffer[65536];
    for (;;) {
        if (Clock::now() >= deadline) {
            result.timedOut = true;
            break;
        }
        pollfd ready{readFd, POLLIN, 0};
        const int n = poll(&ready, 1, millisUntil(deadline));
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        const ssize_t got = read(readFd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            break;
        }
        if (got == 0) break;  // the child closed its output
        if (result.output.size() + static_cast<std::size_t>(got) > maxOutput) {
            result.tooLong = true;
            break;
        }
        result.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(readFd);
    if (result.timedOut || result.tooLong) killpg(pid, SIGKILL);

    // Wait for the child to end without reaping it: while it is a zombie its process id, and so
    // its group id, cannot be taken by another process, so the group kill below reaches only
    // what it started.
    for (;;) {
        siginfo_t info{};
        const int w = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | WNOHANG);
        if (w == 0 && info.si_pid == pid) break;
        if (w < 0 && errno != EINTR) break;  // already reaped elsewhere (SIGCHLD ignored)
        if (!result.timedOut && Clock::now() >= deadline) {
            result.timedOut = true;  // closed its output but kept running
            killpg(pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    killpg(pid, SIGKILL);
    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(pid, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == pid && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

}  // namespace quorvanta::platform
