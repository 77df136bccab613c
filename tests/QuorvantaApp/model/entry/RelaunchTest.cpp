// The onboarding's restart: the activation socket is closed before the copy of the program starts
// with the same command line, so that the copy waits for the data folder's lock and runs only once
// this instance has let go of it, never beside it.
#include "QuorvantaApp/model/entry/Relaunch.h"

#include "QuorvantaApp/model/entry/SingleInstance.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/time/Clock.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::app {
namespace {

using namespace std::chrono_literals;

TEST(OnboardingRelaunch, StopsListeningThenStartsTheProgramWithTheSameCommandLine) {
    struct Case {
        std::vector<std::string> arguments;
        std::string argv0;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {{"/usr/bin/Quorvanta", "--root", "/media/me/My Disk", "--no-persist"},
         "/usr/bin/Quorvanta",
         {"--root", "/media/me/My Disk", "--no-persist"}},
        {{"Quorvanta"}, "Quorvanta", {}},
        {{}, "/proc/self/exe", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> steps;
        Relaunch relaunch;
        relaunch.arguments = c.arguments;
        relaunch.stopListening = [&] { steps.push_back("stop listening"); };
        relaunch.start = [&](const std::string& program, const std::string& argv0,
                             const std::vector<std::string>& args) {
            steps.push_back("start " + program);
            EXPECT_EQ(argv0, c.argv0);
            EXPECT_EQ(args, c.args);
            return platform::DetachedStart{4242, 0, ""};
        };
        EXPECT_EQ(relaunch.run().pid, 4242);
        EXPECT_EQ(steps, (std::vector<std::string>{"stop listening", "start /proc/self/exe"})) << c.argv0;
    }
}

TEST(OnboardingRelaunch, TheCopyWaitsForTheLockUntilThisInstanceHasEnded) {
    quorvanta::test::TempDir dir;
    const SingleInstance::Options options{dir / "data", 30s, 5s, 5ms};
    SingleInstance::Claim first = SingleInstance::claim(options);
    ASSERT_TRUE(first.instance) << first.message;
    platform::FakeClock clock;
    platform::ManualMainQueue main(clock);
    first.instance->listen(main, [] {});
    const std::string socket = (options.folder / SingleInstance::kSocketName).string();
    ASSERT_EQ(askToReopen(socket, 5s), ActivationAnswer::reopening) << "the running instance answers";

    std::atomic<bool> firstEnded{false};
    std::atomic<bool> copyRan{false};
    std::atomic<bool> copyRanAfterTheEnd{false};
    std::thread copy;
    Relaunch relaunch;
    relaunch.arguments = {"Quorvanta"};
    relaunch.stopListening = [&] { first.instance->stopListening(); };
    relaunch.start = [&](const std::string&, const std::string&, const std::vector<std::string>&) {
        // The copy: a launch of its own over the same data folder.
        copy = std::thread([&] {
            const SingleInstance::Claim claim = SingleInstance::claim(options);
            copyRanAfterTheEnd = claim.instance != nullptr && firstEnded.load();
            copyRan = claim.instance != nullptr;
        });
        return platform::DetachedStart{4242, 0, ""};
    };
    relaunch.run();
    EXPECT_EQ(askToReopen(socket, 5s), ActivationAnswer::nobodyListening);
    // The quit path of this instance ends with the lock let go.
    firstEnded = true;
    first.instance.reset();
    copy.join();
    EXPECT_TRUE(copyRan) << "the copy did not run";
    EXPECT_TRUE(copyRanAfterTheEnd) << "the copy ran while this instance still held the data folder";
}

}  // namespace
}  // namespace quorvanta::app
