// Running an outside program as a child process. The program is started by its path with
// posix_spawn (no shell, no PATH search), with standard input and standard error on /dev/null, no
// other descriptor inherited, and the signals at their defaults and unblocked.
//
// runChildProgram reads what the program prints: the child runs in a process group of its own,
// its standard output is read through a pipe, up to a byte bound, until a deadline. A child that
// is still running at the deadline, or prints more than the bound, is killed with its whole
// process group. Before returning, whatever is left of the group is killed too, so no process
// started here outlives the call.
//
// startDetachedProgram starts a program that outlives the call (a file opener, a new instance of
// the application): in a session of its own, its standard output on /dev/null, and reaped by a
// thread of its own when it ends, so it never stays a zombie.
//
// Threads: any number of calls may run at once from different threads.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::platform {

struct ChildResult {
    std::string output;     // standard output, at most the bound
    int exitStatus = -1;    // the exit status; -1 when the child ended by a signal
    bool timedOut = false;  // killed at the deadline
    bool tooLong = false;   // killed for printing more than the bound

    // Ended on its own with status 0, within the limits.
    bool succeeded() const { return exitStatus == 0 && !timedOut && !tooLong; }
};

// Runs program (a path) with args as argv[1...] and argv[0] as given. None when the child cannot
// be started (no such program, not executable, out of processes).
std::optional<ChildResult> runChildProgram(const std::string& program, const std::string& argv0,
                                           const std::vector<std::string>& args, std::chrono::milliseconds timeLimit,
                                           std::size_t maxOutput);

// What startDetachedProgram did.
struct DetachedStart {
    pid_t pid = -1;       // the child's process id once started
    int error = 0;        // posix_spawn's errno value when it could not be started, 0 when started
    std::string message;  // when not started: the program's path and the reason

    bool started() const { return error == 0; }
};

// Starts program (a path) with args as argv[1...] and argv[0] as given, and returns at once.
DetachedStart startDetachedProgram(const std::string& program, const std::string& argv0,
                                   const std::vector<std::string>& args);

}  // namespace quorvanta::platform
