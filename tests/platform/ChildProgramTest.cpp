#include "platform/process/ChildProgram.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

fs::path script(const test::TempDir& dir, const std::string& name, const std::string& body) {
    const fs::path path = dir.write(name, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// Whether a process is gone (or only a zombie waiting for whoever adopted it).
bool gone(const std::string& pid) {
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("State:", 0) == 0) return line.find('Z') != std::string::npos;
    }
    return true;
}

TEST(ChildProgram, ReadsOutputAndExitStatus) {
    test::TempDir dir;
    const auto run = runChildProgram(script(dir, "p", "echo \"$#|$1|$2\"; echo err >&2; exit 3"), "name",
                                     {"a b", "$HOME"}, 10s, 1 << 20);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->output, "2|a b|$HOME\n") << "arguments reach the program unchanged, without a shell";
    EXPECT_EQ(run->exitStatus, 3);
    EXPECT_FALSE(run->succeeded());
    EXPECT_FALSE(run->timedOut);
}

TEST(ChildProgram, MissingOrNotExecutableProgramsDoNotStart) {
    test::TempDir dir;
    const fs::path plain = dir.write("plain", "#!/bin/sh\necho hi\n");
    for (const fs::path& program : {dir / "missing", plain, dir.path()})
        EXPECT_FALSE(runChildProgram(program, "x", {}, 10s, 1024)) << program;
}

TEST(ChildProgram, NoInheritedDescriptorsAndAGroupOfItsOwn) {
    test::TempDir dir;
    // A descriptor of ours without close-on-exec, which a careless spawn would hand down.
    const int leaked = 37;
    ASSERT_EQ(dup2(open("/dev/null", O_RDONLY), leaked), leaked);
    const auto run = runChildProgram(script(dir, "p",
                                            "ls /proc/$$/fd | sort -n | tr '\\n' ' '; echo; "
                                            "set -- $(cut -d' ' -f5 /proc/$$/stat); [ \"$1\" = $$ ] && echo own-group; "
                                            "readlink /proc/$$/fd/0 /proc/$$/fd/2"),
                                     "p", {}, 10s, 1 << 20);
    close(leaked);
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->succeeded());
    const std::string fds = " " + run->output.substr(0, run->output.find('\n'));
    EXPECT_EQ(fds.find(" 37 "), std::string::npos) << "descriptors:" << fds;
    EXPECT_NE(fds.find(" 0 1 2 "), std::string::npos) << "descriptors:" << fds;
    EXPECT_NE(run->output.find("own-group"), std::string::npos) << run->output;
    EXPECT_NE(run->output.find("\n/dev/null\n/dev/null\n"), std::string::npos)
        << "standard input and error are /dev/null; the child printed:\n"
        << run->output;
}

TEST(ChildProgram, LargeStandardErrorDoesNotBlock) {
    test::TempDir dir;
    const auto run =
        runChildProgram(script(dir, "p", "head -c 4000000 /dev/zero >&2; echo done"), "p", {}, 30s, 1 << 20);
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->succeeded());
    EXPECT_EQ(run->output, "done\n");
}

TEST(ChildProgram, TimeLimitKillsTheWholeGroup) {
    test::TempDir dir;
    const fs::path pids = dir / "pids";
    // The child starts a grandchild that keeps the output open, then both wait.
    const auto run =
        runChildProgram(script(dir, "p", "sleep 600 & echo $$ $! > '" + pids.string() + "'; echo started; wait"), "p",
                        {}, 500ms, 1 << 20);
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->timedOut);
    EXPECT_FALSE(run->succeeded());
    EXPECT_EQ(run->output, "started\n");
    std::ifstream in(pids);
    std::string child, grandchild;
    in >> child >> grandchild;
    ASSERT_FALSE(grandchild.empty());
    EXPECT_TRUE(gone(child));
    for (int i = 0; i < 100 && !gone(grandchild); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(gone(grandchild)) << "no process is left behind";
}

TEST(ChildProgram, OutputBeyondTheBoundIsRefused) {
    test::TempDir dir;
    const auto run = runChildProgram(script(dir, "p", "head -c 100000 /dev/zero; sleep 600"), "p", {}, 30s, 4096);
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->tooLong);
    EXPECT_FALSE(run->succeeded());
    EXPECT_LE(run->output.size(), 4096u);
}

TEST(ChildProgram, ClosedOutputButStillRunningIsKilledAtTheLimit) {
    test::TempDir dir;
    const auto run = runChildProgram(script(dir, "p", "exec >&-; sleep 600"), "p", {}, 500ms, 1024);
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->timedOut);
}

// Whether nothing is left of a process, not even a zombie waiting to be reaped.
bool reaped(pid_t pid) { return !fs::exists("/proc/" + std::to_string(pid)); }

// Waits, a step at a time, for `done`; false when it did not hold within a generous bound.
template <class F>
bool eventually(F done) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    return done();
}

TEST(DetachedProgram, OutlivesTheCallInASessionOfItsOwnAndIsReaped) {
    test::TempDir dir;
    const fs::path report = dir / "report", go = dir / "go", done = dir / "done";
    // It reports how it was started, then keeps running until the test lets it end.
    const fs::path program = script(dir, "p",
                                    "fds=$(ls /proc/$$/fd | sort -n | tr '\\n' ' ')\n"
                                    "[ \"$(cut -d' ' -f6 /proc/$$/stat)\" = $$ ] && session=own-session\n"
                                    "links=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 | tr '\\n' ' ')\n"
                                    "printf '%s\\n%s\\n%s\\n' \" $fds\" \"$session\" \"$links\" > '" +
                                        report.string() +
                                        ".tmp'\n"
                                        "mv '" +
                                        report.string() + ".tmp' '" + report.string() +
                                        "'\n"
                                        "while [ ! -e '" +
                                        go.string() +
                                        "' ]; do sleep 0.02; done\n"
                                        "echo \"$1 $2\" > '" +
                                        done.string() + "'\n");
    // A descriptor of ours without close-on-exec, which a careless spawn would hand down.
    const int leaked = 37;
    ASSERT_EQ(dup2(open("/dev/null", O_RDONLY), leaked), leaked);
    const DetachedStart start = startDetachedProgram(program.string(), "p", {"a b", "$HOME"});
    close(leaked);
    ASSERT_TRUE(start.started()) << start.message;
    EXPECT_EQ(start.error, 0);
    EXPECT_EQ(start.message, "");
    ASSERT_GT(start.pid, 0);

    ASSERT_TRUE(eventually([&] { return fs::exists(report); })) << "the program never reported";
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> all;
        std::ifstream in(report);
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    }();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ((lines[0] + " ").find(" 37 "), std::string::npos) << "descriptors:" << lines[0];
    EXPECT_NE((lines[0] + " ").find(" 0 1 2 "), std::string::npos) << "descriptors:" << lines[0];
    EXPECT_EQ(lines[1], "own-session");
    EXPECT_EQ(lines[2], "/dev/null /dev/null /dev/null ") << "standard input, output and error";

    // Still running after the call returned; then it ends on its own and nothing is left of it.
    EXPECT_EQ(kill(start.pid, 0), 0);
    EXPECT_FALSE(fs::exists(done));
    dir.write("go", "");
    ASSERT_TRUE(eventually([&] { return fs::exists(done); })) << "the program did not run on";
    EXPECT_EQ(test::readFile(done), "a b $HOME\n") << "arguments reach the program unchanged, without a shell";
    EXPECT_TRUE(eventually([&] { return reaped(start.pid); })) << "process " << start.pid << " was left a zombie";
}

TEST(DetachedProgram, AProgramThatCannotStartIsAClearError) {
    test::TempDir dir;
    const fs::path plain = dir.write("plain", "#!/bin/sh\necho hi\n");
    const struct {
        fs::path program;
        int error;
    } cases[] = {{dir / "missing", ENOENT}, {plain, EACCES}, {dir.path(), EACCES}};
    for (const auto& c : cases) {
        const DetachedStart start = startDetachedProgram(c.program.string(), "x", {});
        EXPECT_FALSE(start.started()) << c.program;
        EXPECT_EQ(start.error, c.error) << c.program;
        EXPECT_EQ(start.pid, -1) << c.program;
        EXPECT_EQ(start.message, c.program.string() + ": " + std::strerror(c.error));
    }
    EXPECT_EQ(startDetachedProgram((dir / "missing").string(), "x", {}).message,
              (dir / "missing").string() + ": No such file or directory");
}

// The tests' own way of starting programs: a program left running must not outlive a test
// program that ends without its clean-up (a sanitizer report, an abort), or it would hold
// ctest's output pipe open and stall the whole run.
TEST(TestRunProgram, AProgramLeftRunningEndsWithTheTestProgram) {
    const auto outcome = test::runInChild([] {
        // Never destroyed: the child leaves through _exit as an aborting test program would.
        const auto* sleeper = new test::RunningProgram("/bin/sleep", {"600"});
        return std::to_string(sleeper->pid());
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!gone(outcome.output) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(gone(outcome.output)) << "sleep " << outcome.output << " outlived the program that started it";
}

TEST(TestRunProgram, AProgramThatCannotStartIsAnError) {
    test::TempDir dir;
    EXPECT_THROW(test::runProgram(dir.path() / "missing", {}), std::runtime_error);
    EXPECT_THROW(test::RunningProgram(dir.path(), {}), std::runtime_error) << "a folder";
    const auto result = test::runProgram("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.out, "out\n");
    EXPECT_EQ(result.err, "err\n");
}

}  // namespace
}  // namespace quorvanta::platform
