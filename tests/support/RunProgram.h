// Runs a built program as a child process, the way a user's shell would, and captures what it
// prints. Each run gets a private home folder (with XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME and XDG_STATE_HOME inside it), the given standard input, and a kill limit
// after which the child is killed and the result marked timedOut.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::test {

struct RunOptions {
    std::string input;                                        // standard input, then end of file
    std::optional<std::filesystem::path> home;                // a fresh temporary folder when none
    std::vector<std::pair<std::string, std::string>> env;     // further variables, set last
    std::optional<std::filesystem::path> workingDir;          // the test's own when none
    std::chrono::milliseconds killAfter{std::chrono::minutes(5)};
};

struct RunResult {
    int status = -1;          // exit status; 128 + signal number when killed by a signal
    bool signalled = false;
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Throws std::runtime_error when the program cannot be started.
RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

}  // namespace quorvanta::test
