// The test host itself: it listens once it says "ready", refuses bad command lines, and stops with
// its socket removed at the end of its input and on SIGTERM.
#include "tests/quorvanta_cli/ApiTestSupport.h"
#include "tests/quorvanta_cli/CliRun.h"
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
        if (bySignal) {
            ASSERT_EQ(::kill(host.pid(), SIGTERM), 0);
        }
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
    const auto missing =
        quorvanta::test::runProgram(testHostPath(), {"--socket", (dir / "s").string(), (dir / "missing").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "s"));
}

TEST(ApiTestHost, TwoRootsFillTheLimitInNameOrderWithoutJunk) {
    if (testHostPath().empty()) GTEST_SKIP() << "quorvanta-api-testhost is not built";
    TempDir dir;
    // Written out of name order; the junk names hold the word too and must never come back.
    for (const char* name : {"c remix.mp3", "A remix.mp3", "b remix.mp3", "._remix.mp3", "$RECYCLE.BIN/remix x.mp3"})
        dir.write(std::string("one/") + name, "x");
    for (int i = 9; i >= 0; --i) dir.write("two/remix " + std::to_string(i) + ".mp3", "x");
    dir.write("two/Thumbs.db", "x");
    dir.write("two/.DS_Store", "remix");
    const auto one = std::filesystem::canonical(dir / "one");
    const auto two = std::filesystem::canonical(dir / "two");
    const std::filesystem::path socket = dir / "api.sock";
    TestHost host(socket, {one, two});

    const auto status = runCli({"api", "status", "--socket", socket.string()});
    ASSERT_EQ(status.status, 0) << status.err;
    const nlohmann::json statusReply = parsedLine(status.out);
    ASSERT_EQ(statusReply["volumes"].size(), 2u) << status.out;
    EXPECT_EQ(statusReply["volumes"][0]["root"], one.string());
    EXPECT_EQ(statusReply["volumes"][0]["entries"], findCount(one));
    EXPECT_EQ(statusReply["volumes"][1]["root"], two.string());
    EXPECT_EQ(statusReply["volumes"][1]["entries"], findCount(two));

    const auto search = runCli({"api", "search", "remix", "--limit", "5", "--socket", socket.string()});
    ASSERT_EQ(search.status, 0) << search.err;
    const nlohmann::json reply = parsedLine(search.out);
    EXPECT_EQ(reply["total"], 13) << search.out;
    EXPECT_EQ(reply["shown"], 5) << search.out;
    std::vector<std::string> paths;
    for (const auto& row : reply["results"]) paths.push_back(row["path"].get<std::string>());
    EXPECT_EQ(paths, (std::vector<std::string>{(one / "A remix.mp3").string(), (one / "b remix.mp3").string(),
                                               (one / "c remix.mp3").string(), (two / "remix 0.mp3").string(),
                                               (two / "remix 1.mp3").string()}))
        << search.out;
}

}  // namespace
}  // namespace quorvanta::cli::test
