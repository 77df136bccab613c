// The test host itself: it listens once it says "ready", refuses bad command lines, and stops with
// its socket removed at the end of its input and on SIGTERM.
#include "tests/quorvanta_cli/ApiTestSupport.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>

namespace quorvanta::cli::test {
namespace {

using quorvanta::test::RunningProgram;
using quorvanta::test::TempDir;

TEST(ApiTestHost, StopsWithItsSocketRemovedAtEndOfInputAndOnSigterm) {
    if (testHostPath().empty()) GTEST_SKIP() << "quorvanta-api-testhost is not built";
    TempDir dir;
    dir.write("tree/a.txt", "x");
    const std::filesystem::path socket = dir / "api.sock";
    for (const bool bySignal : {false, true}) {
        RunningProgram host(testHostPath(), {"--socket", socket.string(), (dir / "tree").string()});
        ASSERT_EQ(host.readLine(std::chrono::minutes(2)), "ready") << bySignal;
        EXPECT_TRUE(std::filesystem::is_socket(socket)) << bySignal;
        if (bySignal) ASSERT_EQ(::kill(host.pid(), SIGTERM), 0);
        const auto result = host.finish();
        EXPECT_EQ(result.status, 0) << bySignal;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket))) << bySignal;
    }
}

TEST(ApiTestHost, BadCommandLinesAndRootsFail) {
    if (testHostPath().empty()) GTEST_SKIP() << "quorvanta-api-testhost is not built";
    TempDir dir;
    EXPECT_EQ(quorvanta::test::runProgram(testHostPath(), {"--socket", (dir / "s").string()}).status, 2);
    EXPECT_EQ(quorvanta::test::runProgram(testHostPath(), {(dir / "tree").string()}).status, 2);
    const auto missing = quorvanta::test::runProgram(testHostPath(), {"--socket", (dir / "s").string(),
                                                                      (dir / "missing").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "s"));
}

}  // namespace
}  // namespace quorvanta::cli::test
