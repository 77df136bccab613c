#include "tests/support/RunProgram.h"

#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace quorvanta::test {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    void closeRead() {
        if (read >= 0) close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0) close(write);
        write = -1;
    }
};

std::vector<std::string> environmentFor(const std::filesystem::path& home, const RunOptions& options) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    vars["HOME"] = home.string();
    vars["XDG_CONFIG_HOME"] = (home / ".config").string();
    vars["XDG_DATA_HOME"] = (home / ".local/share").string();
    vars["XDG_CACHE_HOME"] = (home / ".cache").string();
    vars["XDG_STATE_HOME"] = (home / ".local/state").string();
    for (const auto& [name, value] : options.env) vars[name] = value;
    for (const auto& name : options.unset) vars.erase(name);
    std::vector<std::string> entries;
    for (const auto& [name, value] : vars) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// Starts the program with the given descriptors as its standard input, output and error (-1:
// the test's own) and the environment of a private home; returns its process id.
pid_t start(const std::filesystem::path& program, const std::vector<std::string>& args,
            const std::filesystem::path& home, const RunOptions& options, int in, int out, int err) {
    // Writing to a child that stopped reading must not kill the test program.
    static const bool ignoringSigpipe = [] { return signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)ignoringSigpipe;

    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = environmentFor(home, options);
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(envp);

    // Forked rather than spawned so that the child can ask to be killed when the thread that
    // started it ends: a test program that aborts (a sanitizer report, a failed assertion in a
    // fixture) must not leave a daemon behind that holds ctest's output pipe open. Between fork
    // and exec the child makes only async-signal-safe calls; an exec failure comes back as errno
    // through a close-on-exec pipe.
    Pipe failure;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(errno));
    if (pid == 0) {
        int error = 0;
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
        // The child starts as from a terminal's shell, however the tests were started: the
        // signals a program ends on have their default actions and none is blocked.
        signal(SIGPIPE, SIG_DFL);
        signal(SIGINT, SIG_DFL);
        signal(SIGHUP, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if ((in >= 0 && dup2(in, STDIN_FILENO) < 0) || (out >= 0 && dup2(out, STDOUT_FILENO) < 0) ||
            (err >= 0 && dup2(err, STDERR_FILENO) < 0) ||
            (options.workingDir && chdir(options.workingDir->c_str()) != 0)) {
            error = errno;
        } else {
            execve(program.c_str(), argvPointers.data(), envPointers.data());
            error = errno;
        }
        (void)!::write(failure.write, &error, sizeof error);
        _exit(127);
    }
    failure.closeWrite();
    int error = 0;
    ssize_t n;
    while ((n = ::read(failure.read, &error, sizeof error)) < 0 && errno == EINTR) {}
    if (n > 0) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
        throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(error));
    }
    return pid;
}

void reap(pid_t pid, RunResult& result) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signalled = true;
        result.status = 128 + WTERMSIG(status);
    }
}

}  // namespace

RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
    std::unique_ptr<TempDir> freshHome;
    if (!options.home) freshHome = std::make_unique<TempDir>();
    const std::filesystem::path home = options.home ? *options.home : freshHome->path();

    Pipe in, out, err;
    const pid_t pid = start(program, args, home, options, in.read, out.write, err.write);
    in.closeRead();
    out.closeWrite();
    err.closeWrite();
    fcntl(in.write, F_SETFL, O_NONBLOCK);

    RunResult result;
    std::size_t written = 0;
    if (options.input.empty()) in.closeWrite();
    const auto deadline = std::chrono::steady_clock::now() + options.killAfter;
    while (out.read >= 0 || err.read >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        pollfd fds[3] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {in.write, POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(std::min<long long>(left.count(), 1000))) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Pipe& pipe = i == 0 ? out : err;
            std::string& sink = i == 0 ? result.out : result.err;
            char buffer[65536];
            const ssize_t n = ::read(pipe.read, buffer, sizeof buffer);
            if (n > 0)
                sink.append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                pipe.closeRead();
        }
        if (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) {
            const ssize_t n = ::write(in.write, options.input.data() + written, options.input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == options.input.size()) in.closeWrite();
        }
    }
    in.closeWrite();
    reap(pid, result);
    return result;
}

RunningProgram::RunningProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                               const RunOptions& options) {
    if (!options.home) freshHome_ = std::make_unique<TempDir>();
    const std::filesystem::path home = options.home ? *options.home : freshHome_->path();
    Pipe in, out;
    pid_ = start(program, args, home, options, in.read, out.write, -1);
    input_ = in.write;
    output_ = out.read;
    in.write = out.read = -1;
}

RunningProgram::~RunningProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        finish();
    }
    closeInput();
    if (output_ >= 0) close(output_);
}

bool RunningProgram::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(input_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> RunningProgram::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto feed = pending_.find('\n'); feed != std::string::npos) {
            std::string line = pending_.substr(0, feed);
            pending_.erase(0, feed + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || output_ < 0) return std::nullopt;
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[65536];
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n > 0) {
            pending_.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            close(output_);
            output_ = -1;
        }
    }
}

void RunningProgram::closeInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
}

RunResult RunningProgram::finish() {
    closeInput();
    RunResult result;
    if (output_ >= 0) {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(output_, buffer, sizeof buffer)) != 0) {
            if (n > 0)
                pending_.append(buffer, static_cast<std::size_t>(n));
            else if (errno != EINTR)
                break;
        }
        close(output_);
        output_ = -1;
    }
    result.out = std::exchange(pending_, {});
    if (pid_ > 0) reap(std::exchange(pid_, -1), result);
    return result;
}

}  // namespace quorvanta::test
