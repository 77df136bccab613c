// The termination-signal source, each case in a forked child that blocks the signals before it
// starts any thread, as `main` does: which signals post the quit, how often, what every thread
// of the process blocks, and a signal ignored at start.
#include "platform/process/TerminationSignals.h"

#include "platform/time/Clock.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

using namespace std::chrono_literals;
using test::runInChild;

// Waits, a step at a time, for `done`; false when it did not hold within a generous bound.
template <class F>
bool poll(F done) {
    for (int i = 0; i < 30000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

// A main queue that only counts what is posted to it.
class CountingQueue final : public MainQueue {
public:
    CountingQueue() : MainQueue(realClock()) {}
    void post(Task) override { ++posts; }
    void postAfter(Clock::Duration, Task) override { ++posts; }
    bool isMainThread() const override { return false; }
    std::atomic<int> posts{0};
};

// Blocks the signals, starts the source, sends `signals` one at a time (each taken before the
// next goes: standard signals sent together may merge) and gives how many quits were posted.
std::string postsAfter(const std::vector<int>& signals) {
    TerminationSignals source;
    CountingQueue main;
    source.start(main, [] {});
    int sent = 0;
    for (const int signal : signals) {
        kill(getpid(), signal);
        ++sent;
        if (!poll([&] { return source.taken() == sent; })) return "signal " + std::to_string(signal) + " not taken";
    }
    return "posts " + std::to_string(main.posts.load());
}

TEST(TerminationSignals, EachSignalPostsTheQuitOnceHoweverManyCome) {
    struct Case {
        std::vector<int> signals;
    };
    for (const Case& c :
         {Case{{SIGTERM}}, Case{{SIGINT}}, Case{{SIGHUP}}, Case{{SIGTERM, SIGINT}}, Case{{SIGINT, SIGINT, SIGHUP}}}) {
        const auto outcome = runInChild([&] { return postsAfter(c.signals); });
        EXPECT_TRUE(outcome.succeeded) << outcome.output;
        EXPECT_EQ(outcome.output, "posts 1") << strsignal(c.signals.front()) << " first, " << c.signals.size();
    }
}

// The signals among SIGTERM, SIGINT and SIGHUP that a thread's status line `SigBlk` shows blocked.
std::string blockedIn(const std::filesystem::path& status) {
    std::ifstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("SigBlk:")) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        std::string names;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            if (mask & (1ull << (signal - 1))) names += std::to_string(signal) + " ";
        return names;
    }
    return "no SigBlk";
}

// The name of the thread of a /proc/self/task entry.
std::string threadName(const std::filesystem::path& task) {
    std::ifstream in(task / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

TEST(TerminationSignals, EveryThreadStartedAfterTheBlockBlocksThem) {
    const auto outcome = runInChild([] {
        TerminationSignals source;
        CountingQueue main;
        source.start(main, [] {});
        std::atomic<bool> leave{false};
        std::thread worker([&] {
            while (!leave) std::this_thread::sleep_for(1ms);
        });
        // The waiting thread is named before it first waits; while it waits, its status shows
        // the signals it waits for unblocked, so it is left out.
        if (!poll([] {
                for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
                    if (threadName(task.path()) == TerminationSignals::kThreadName) return true;
                return false;
            }))
            return std::string("no waiting thread");
        std::string report;
        int threads = 0;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            if (threadName(task.path()) == TerminationSignals::kThreadName) continue;
            ++threads;
            const std::string blocked = blockedIn(task.path() / "status");
            if (blocked != "15 2 1 ") report += task.path().filename().string() + ": " + blocked + "; ";
        }
        leave = true;
        worker.join();
        return threads >= 2 && report.empty() ? std::string("all blocked") : std::to_string(threads) + " " + report;
    });
    EXPECT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, "all blocked");
}

TEST(TerminationSignals, ASignalIgnoredAtStartStaysIgnored) {
    const auto outcome = runInChild([] {
        signal(SIGHUP, SIG_IGN);  // as nohup starts a program
        TerminationSignals source;
        if (source.takes(SIGHUP) || !source.takes(SIGTERM) || !source.takes(SIGINT)) return std::string("wrong set");
        CountingQueue main;
        source.start(main, [] {});
        kill(getpid(), SIGHUP);  // discarded: an ignored signal is never pending
        sigset_t pendingNow;
        sigpending(&pendingNow);
        if (sigismember(&pendingNow, SIGHUP)) return std::string("SIGHUP pending");
        kill(getpid(), SIGTERM);
        if (!poll([&] { return source.taken() == 1; })) return std::string("SIGTERM not taken");
        return "taken " + std::to_string(source.taken()) + ", posts " + std::to_string(main.posts.load());
    });
    EXPECT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, "taken 1, posts 1") << "SIGHUP reached the source";
}

}  // namespace
}  // namespace quorvanta::platform
