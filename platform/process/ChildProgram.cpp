#include "platform/process/ChildProgram.h"

#include "platform/thread/ThreadName.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace quorvanta::platform {

namespace {

using Clock = std::chrono::steady_clock;

// How the child is set apart from this process: in a process group of its own (a kill of the
// group reaches whatever the program starts), or in a session of its own (no controlling terminal,
// so it outlives this process and the terminal it was started from).
enum class Apart { group, session };

// posix_spawn's file actions and attributes, destroyed on every path. Standard input and error are
// /dev/null, standard output `outFd` (-1: /dev/null too), and no other descriptor is inherited.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    bool ready = false;

    SpawnSetup(int outFd, Apart apart) {
        if (posix_spawn_file_actions_init(&actions) != 0) return;
        if (posix_spawnattr_init(&attr) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        // Signals as a fresh program expects them, whatever this process blocks or ignores.
        const short flags = static_cast<short>((apart == Apart::group ? POSIX_SPAWN_SETPGROUP : POSIX_SPAWN_SETSID) |
                                               POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        ready = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
                (outFd >= 0 ? posix_spawn_file_actions_adddup2(&actions, outFd, 1)
                            : posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0)) == 0 &&
                posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
                posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 &&
                (apart != Apart::group || posix_spawnattr_setpgroup(&attr, 0) == 0) &&
                posix_spawnattr_setsigmask(&attr, &none) == 0 && posix_spawnattr_setsigdefault(&attr, &all) == 0 &&
                posix_spawnattr_setflags(&attr, flags) == 0;
        if (!ready) destroy();
    }
    ~SpawnSetup() {
        if (ready) destroy();
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // Starts `program` with `argv0` and `args`; posix_spawn's result (an errno value, 0 when
    // started). ENOMEM when the set-up itself failed.
    int spawn(pid_t& pid, const std::string& program, const std::string& argv0, const std::vector<std::string>& args) {
        if (!ready) return ENOMEM;
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(argv0.c_str()));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        return posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    }

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
    int spawned;
    {
        SpawnSetup setup(pipeFds[1], Apart::group);
        spawned = setup.spawn(pid, program, argv0, args);
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

DetachedStart startDetachedProgram(const std::string& program, const std::string& argv0,
                                   const std::vector<std::string>& args) {
    DetachedStart result;
    {
        SpawnSetup setup(-1, Apart::session);
        result.error = setup.spawn(result.pid, program, argv0, args);
    }
    if (result.error != 0) {
        result.pid = -1;
        result.message = program + ": " + std::strerror(result.error);
        return result;
    }
    try {
        std::thread([pid = result.pid] {
            setCurrentThreadName("quorvanta.reap");
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child stays a zombie until this process ends, which beats
        // blocking the caller for as long as the program runs.
    }
    return result;
}

}  // namespace quorvanta::platform
