// One running instance per data folder: what a second launch does while another instance holds
// the lock, answers, stays silent or quits. Launches are quorvanta-headless in its serving mode
// (a real process with a private home) or the entry in process, whose waits are shortened here.
#include "QuorvantaApp/model/entry/SingleInstance.h"

#include "tests/QuorvantaApp/model/entry/EntryTestSupport.h"
#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <ostream>
#include <set>
#include <thread>

#if defined(QUORVANTA_HEADLESS_PATH)

namespace quorvanta::app::test {
namespace {

using namespace std::chrono_literals;
using quorvanta::test::RunningProgram;
using quorvanta::test::RunOptions;
using quorvanta::test::runProgram;
using quorvanta::test::TempDir;

const fs::path kHeadless = QUORVANTA_HEADLESS_PATH;

// Waits, a step at a time, for `done`; false when it did not hold within a generous bound.
template <class F>
bool eventually(F done, std::chrono::milliseconds bound = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

// Whether something accepts connections on the Unix socket at `path`.
bool accepting(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Whether the process has `file` open.
bool hasOpen(pid_t pid, const fs::path& file) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        if (fs::read_symlink(entry.path(), error) == fs::weakly_canonical(file)) return true;
    return false;
}

// The data folder's lock, taken by the test as a holder that never listens.
class HeldLock {
public:
    explicit HeldLock(const fs::path& folder) {
        fs::create_directories(folder);
        fd_ = ::open((folder / SingleInstance::kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
    }
    ~HeldLock() { release(); }
    void release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// An activation socket whose owner accepts every connection and never answers.
class SilentListener {
public:
    explicit SilentListener(const fs::path& folder) {
        const fs::path path = folder / SingleInstance::kSocketName;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
        thread_ = std::thread([this] {
            for (int connection; (connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                std::lock_guard guard(lock_);
                held_.push_back(connection);
            }
        });
    }
    ~SilentListener() {
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
        for (const int connection : held_) ::close(connection);
    }
    std::size_t accepted() {
        std::lock_guard guard(lock_);
        return held_.size();
    }

private:
    int fd_ = -1;
    std::thread thread_;
    std::mutex lock_;  // guards held_
    std::vector<int> held_;
};

// A private home for quorvanta-headless, with the local API switched on so that its socket shows
// when it serves.
class Home {
public:
    Home() {
        fs::create_directories(dir.path() / ".config/Quorvanta");
        std::ofstream(dir.path() / ".config/Quorvanta/settings.json") << R"({"localAPI": true})";
    }
    fs::path data() const { return dir.path() / ".local/share/Quorvanta"; }
    bool served() const { return accepting(data() / "api.sock"); }
    RunOptions options() const {
        RunOptions options;
        options.home = dir.path();
        options.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
        options.killAfter = 60s;
        return options;
    }
    std::unique_ptr<RunningProgram> serve() const {
        return std::make_unique<RunningProgram>(kHeadless, std::vector<std::string>{}, options());
    }
    // The file names in the data folder.
    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(data())) names.insert(entry.path().filename().string());
        return names;
    }

    TempDir dir;
};

// Sends SIGTERM and gives the status the program ended with.
int terminate(RunningProgram& program) {
    ::kill(program.pid(), SIGTERM);
    return program.finish().status;
}

// The desktop entry in process over a real clock. `body` runs on a thread of its own while the
// main loop runs, and the loop quits when it returns; the runner counts the reopens it is asked.
class InProcessApp {
public:
    explicit InProcessApp(const fs::path& folder) : world(platform::realClock()) {
        services = std::make_unique<EntryServices>(world.services());
        services->instance.folder = folder;
        runner.prepare = [this] { return DesktopStart{&world.loop, 0}; };
        runner.reopen = [this] { ++reopens; };
    }

    // Runs the entry until `body` returns; the entry's status.
    int run(const std::function<void()>& body) {
        runner.run = [&](const std::shared_ptr<AppModel>&) {
            std::thread side([&] {
                body();
                world.loop.quit();
            });
            world.loop.run();
            side.join();
            return 0;
        };
        return runEntry({"quorvanta", "--no-persist"}, platform::realClock().now(), runner, *services);
    }
    // Reopens run so far, once every task posted before the call has run.
    int reopensSettled() {
        world.loop.postSync([] {});
        return reopens.load();
    }

    EntryWorld world;
    std::unique_ptr<EntryServices> services;
    DesktopRunner runner;
    std::atomic<int> reopens{0};
};

// A desktop launch in process that must not run; its status and what it printed.
struct Refused {
    std::optional<int> status;
    std::string message;
};
Refused launchInProcess(const fs::path& folder, std::chrono::milliseconds lockWait,
                        std::chrono::milliseconds answerWait) {
    EntryWorld world(platform::realClock());
    EntryServices services = world.services();
    services.instance = {folder, lockWait, answerWait};
    const fs::path messages = world.dir / "messages.txt";
    services.messages = std::fopen(messages.c_str(), "w");
    const DesktopRunner runner = noDesktop();
    runEntry({"quorvanta"}, platform::realClock().now(), runner, services);
    std::fclose(services.messages);
    return {world.ended, quorvanta::test::readFile(messages)};
}

// What became of a second launch.
struct Outcome {
    int status = -1;      // its exit status; one that came to serve was ended with SIGTERM
    bool served = false;  // it came to serve
    int reopens = 0;      // reopens the first instance ran
    std::string message;  // what it printed on standard error, where the case reads it
};

struct LaunchCase {
    const char* name;
    std::function<Outcome()> run;
    Outcome expected;  // `message`: a part of what was printed; empty: nothing was
};

const LaunchCase kLaunches[] = {
    {"SecondLaunchReopensTheFirstAndEnds",
     [] {
         Home home;
         InProcessApp first(home.data());
         Outcome outcome;
         EXPECT_EQ(first.run([&] {
             const auto second = runProgram(kHeadless, {}, home.options());
             outcome.status = second.status;
             outcome.message = second.err;
             outcome.served = home.served();
             outcome.reopens = first.reopensSettled();
         }),
                   0);
         return outcome;
     },
     {0, false, 1, ""}},
    {"AnotherDataFolderRunsBesideIt",
     [] {
         Home home, other;
         InProcessApp first(other.data());
         Outcome outcome;
         first.run([&] {
             const auto second = home.serve();
             outcome.served = eventually([&] { return home.served(); });
             outcome.status = terminate(*second);
             outcome.reopens = first.reopensSettled();
         });
         return outcome;
     },
     {0, true, 0, ""}},
    {"AfterTheFirstWasKilledTheNextStartsAndAnswers",
     [] {
         Home home;
         const auto first = home.serve();
         EXPECT_TRUE(eventually([&] { return home.served(); }));
         ::kill(first->pid(), SIGKILL);
         EXPECT_EQ(first->finish().status, 128 + SIGKILL);
         EXPECT_TRUE(home.files().contains("app.activate")) << "the killed instance left its socket";
         Outcome outcome;
         const auto second = home.serve();
         outcome.served = eventually([&] { return home.served(); });
         // Its activation socket replaced the leftover: a third launch is answered.
         const auto third = runProgram(kHeadless, {}, home.options());
         EXPECT_EQ(third.status, 0) << third.err;
         outcome.status = terminate(*second);
         return outcome;
     },
     {0, true, 0, ""}},
    {"AListenerThatNeverAnswersEndsTheLaunchWithItsMessage",
     [] {
         Home home;
         HeldLock lock(home.data());
         SilentListener silent(home.data());
         const Refused second = launchInProcess(home.data(), 10s, 1500ms);
         EXPECT_EQ(silent.accepted(), 1u);
         return Outcome{second.status.value_or(-1), false, 0, second.message};
     },
     {1, false, 0, "Quorvanta is already running but did not answer within 2 seconds.\n"}},
    {"ALockHeldWithoutListenerIsWaitedForUntilReleased",
     [] {
         Home home;
         HeldLock lock(home.data());
         const auto second = home.serve();
         std::this_thread::sleep_for(2s);
         EXPECT_FALSE(home.served()) << "it served while the lock was held";
         EXPECT_EQ(home.files(), std::set<std::string>{"app.lock"}) << "it wrote before it had the lock";
         lock.release();
         Outcome outcome;
         outcome.served = eventually([&] { return home.served(); });
         outcome.status = terminate(*second);
         return outcome;
     },
     {0, true, 0, ""}},
    {"ATerminationSignalEndsTheWaitWithoutServing",
     [] {
         Home home;
         HeldLock lock(home.data());
         const auto second = home.serve();
         // It has opened the lock file: it waits, with the termination signals blocked.
         EXPECT_TRUE(eventually([&] { return hasOpen(second->pid(), home.data() / SingleInstance::kLockName); }));
         Outcome outcome;
         outcome.status = terminate(*second);
         outcome.served = home.served();
         EXPECT_EQ(home.files(), std::set<std::string>{"app.lock"});
         return outcome;
     },
     {0, false, 0, ""}},
    {"ServingWaitsWhileTheApplicationQuits",
     [] {
         Home home;
         InProcessApp first(home.data());
         std::unique_ptr<RunningProgram> second;
         first.run([&] {
             // The quit has begun and the snapshots are being written: the lock is still held.
             first.world.loop.beginShutdown();
             // Started on the main thread: a program dies with the thread that started it.
             std::atomic<bool> started{false};
             first.world.loop.post([&] {
                 second = home.serve();
                 started = true;
             });
             EXPECT_TRUE(eventually([&] { return started.load(); }));
             std::this_thread::sleep_for(1s);
             EXPECT_FALSE(home.served()) << "it served beside the quitting instance";
         });
         Outcome outcome;
         outcome.served = eventually([&] { return home.served(); });
         outcome.status = terminate(*second);
         outcome.reopens = first.reopens.load();
         return outcome;
     },
     {0, true, 0, ""}},
    {"AHolderThatNeverQuitsEndsTheWaitWithItsMessage",
     [] {
         Home home;
         HeldLock lock(home.data());
         const Refused second = launchInProcess(home.data(), 1500ms, 1500ms);
         return Outcome{second.status.value_or(-1), false, 0, second.message};
     },
     {1, false, 0, "Quorvanta is already running but cannot be reached, and it did not quit within 2 seconds.\n"}},
    {"ASocketPathTooLongEndsTheLaunchWithItsMessage",
     [] {
         TempDir dir;
         fs::path folder = dir.path();
         while ((folder / SingleInstance::kSocketName).string().size() <= 107) folder /= "long-folder-name";
         const auto claim = SingleInstance::claim({folder});
         EXPECT_TRUE(claim.instance);
         EXPECT_FALSE(claim.instance && claim.instance->reachable());
         const Refused second = launchInProcess(folder, 10s, 10s);
         return Outcome{second.status.value_or(-1), false, 0, second.message};
     },
     {1, false, 0, "path of its activation socket is longer than 107 bytes: "}},
};

void PrintTo(const LaunchCase& c, std::ostream* out) { *out << c.name; }

class SingleInstanceLaunch : public testing::TestWithParam<LaunchCase> {};

TEST_P(SingleInstanceLaunch, WhileAnotherInstanceHoldsTheDataFolder) {
    const LaunchCase& c = GetParam();
    const Outcome outcome = c.run();
    EXPECT_EQ(outcome.status, c.expected.status);
    EXPECT_EQ(outcome.served, c.expected.served);
    EXPECT_EQ(outcome.reopens, c.expected.reopens);
    if (c.expected.message.empty())
        EXPECT_EQ(outcome.message, "");
    else
        EXPECT_NE(outcome.message.find(c.expected.message), std::string::npos) << outcome.message;
}

INSTANTIATE_TEST_SUITE_P(Launches, SingleInstanceLaunch, testing::ValuesIn(kLaunches),
                         [](const testing::TestParamInfo<LaunchCase>& info) { return std::string(info.param.name); });

TEST(SingleInstance, TheBenchmarkAndTheSelfTestTakeNoLock) {
    for (const char* mode : {"--startup-bench", "--selftest"}) {
        platform::FakeClock clock;
        EntryWorld world(clock);
        world.loop.setIdleHookForTesting([&] { clock.advanceTo(*clock.nextDeadline()); });
        HeldLock lock(world.data());
        EntryServices services = world.services();
        services.instance.lockWait = 0ms;
        services.benchCap = 10ms;
        EXPECT_EQ(runEntry({"quorvanta", mode}, clock.now(), noDesktop(), services), 0) << mode;
        EXPECT_EQ(world.ended, 0) << mode;
    }
}

TEST(SingleInstance, AProgramStartedByTheInstanceDoesNotKeepTheLock) {
    TempDir dir;
    std::optional<RunningProgram> child;
    {
        const auto first = SingleInstance::claim({dir.path()});
        ASSERT_TRUE(first.instance) << first.message;
        child.emplace("/bin/sleep", std::vector<std::string>{"30"});
    }
    const auto next = SingleInstance::claim({dir.path(), 0ms, 1s});
    EXPECT_TRUE(next.instance) << next.message;
}

// The address of the activation socket in `folder`, made before a fork.
sockaddr_un activationAddress(const fs::path& folder) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (folder / SingleInstance::kSocketName).c_str(), sizeof address.sun_path - 1);
    return address;
}

TEST(SingleInstance, AnActivationFromAnotherUserIsNotAnswered) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a child as another uid";
    char pattern[] = "/tmp/quorvanta-activate-XXXXXX";  // traversable by the child, unlike $TMPDIR
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    const std::string socket = (folder / SingleInstance::kSocketName).string();
    platform::RunLoop loop;
    std::atomic<int> reopens{0};
    {
        const auto claim = SingleInstance::claim({folder});
        ASSERT_TRUE(claim.instance && claim.instance->reachable()) << claim.message;
        claim.instance->listen(loop, [&] { ++reopens; });
        ASSERT_EQ(::chmod(folder.c_str(), 0711), 0);
        ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);
        // The child sends a well-formed request as another user; exit 0: no byte came back.
        const sockaddr_un address = activationAddress(folder);
        const ActivationMessage request = ActivationMessage::of(ActivationMessage::Kind::reopen);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(11);
            if (::send(fd, &request, sizeof request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request)) ::_exit(0);
            char c;
            ::_exit(::recv(fd, &c, 1, 0) <= 0 ? 0 : 12);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        // Our own user is answered, and only that reopen runs.
        EXPECT_EQ(askToReopen(socket, 2s), ActivationAnswer::reopening);
        loop.post([&] { loop.quit(); });
        loop.run();
    }
    EXPECT_EQ(reopens.load(), 1);
    fs::remove_all(folder);
}

TEST(SingleInstance, AnActivationSocketOfAnotherUserEndsTheLaunch) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a child as another uid";
    char pattern[] = "/tmp/quorvanta-activate-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    HeldLock lock(folder);
    // A child of another user listens there; the kernel completes connections in its backlog.
    const sockaddr_un address = activationAddress(folder);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0)
            ::_exit(11);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char c;
    const bool listening = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    const Refused second = listening ? launchInProcess(folder, 10s, 10s) : Refused{};
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(listening) << "the other user's listener did not start";
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.message.find("Quorvanta is already running, but its activation socket " +
                                  (folder / SingleInstance::kSocketName).string() + " belongs to another user.\n"),
              std::string::npos)
        << second.message;
    fs::remove_all(folder);
}

}  // namespace
}  // namespace quorvanta::app::test

#endif
