// Runs a built program as a child process, the way a user's shell would, and captures what it
// prints. Each run gets a private home folder (with XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME and XDG_STATE_HOME inside it), the given standard input, and a kill limit
// after which the child is killed and the result marked timedOut.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::test {

class TempDir;

struct RunOptions {
    std::string input;                                     // standard input, then end of file
    std::optional<std::filesystem::path> home;             // a fresh temporary folder when none
    std::vector<std::pair<std::string, std::string>> env;  // further variables, set last
    std::vector<std::string> unset;                        // variables removed, after `env`
    std::optional<std::filesystem::path> workingDir;       // the test's own when none
    std::chrono::milliseconds killAfter{std::chrono::minutes(5)};
};

struct RunResult {
    int status = -1;  // exit status; 128 + signal number when killed by a signal
    bool signalled = false;
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Throws std::runtime_error when the program cannot be started.
RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

// A program left running while the test talks to it: lines written to its standard input, lines
// read from its standard output as they come. Its standard error is the test's own. The options'
// home and env apply as for runProgram; input and killAfter do not. Destroying it kills the
// program when it is still running.
class RunningProgram {
public:
    RunningProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const RunOptions& options = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool write(std::string_view bytes);
    // The next line of standard output without its line feed; none at end of output or when
    // none came within the timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    void closeInput();
    // The child's process id, for sending it signals.
    pid_t pid() const { return pid_; }
    // Closes standard input, reads standard output to its end (what readLine has not taken) and
    // waits for the program to exit.
    RunResult finish();

private:
    std::unique_ptr<TempDir> freshHome_;
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
};

}  // namespace quorvanta::test
