// Running an outside program as a child process and reading what it prints: the program is
// started by its path with posix_spawn (no shell, no PATH search), in a process group of its
// own, with standard input and standard error on /dev/null and no other descriptor inherited.
// Its standard output is read through a pipe, up to a byte bound, until a deadline.
//
// A child that is still running at the deadline, or prints more than the bound, is killed with
// its whole process group. Before returning, whatever is left of the group is killed too, so no
// process started here outlives the call.
//
// Threads: any number of calls may run at once from different threads.
#pragma once

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

}  // namespace quorvanta::platform
