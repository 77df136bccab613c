#include "QuorvantaCore/json/JSONText.h"
#include "tests/quorvanta_cli/ApiTestSupport.h"
#include "tests/quorvanta_cli/CliRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace quorvanta::cli::test {
namespace {

using quorvanta::test::RunningProgram;
using quorvanta::test::TempDir;

const std::string kParseError = R"({"error":{"code":-32700,"message":"parse error"},"id":null,"jsonrpc":"2.0"})";

std::string ping(int id) { return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"ping"})"; }
std::string pong(int id) { return R"({"id":)" + std::to_string(id) + R"(,"jsonrpc":"2.0","result":{}})"; }

std::string searchCall(int id, const std::string& query) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
           R"(,"method":"tools/call","params":{"name":"search_files","arguments":{"query":")" + query + R"("}}})";
}

// The text and isError of a tool result line.
std::pair<std::string, bool> toolOutcome(const std::string& line) {
    const auto reply = core::parseJSONStrict(line);
    if (!reply || !reply->contains("result")) {
        ADD_FAILURE() << "not a tool result: " << line;
        return {};
    }
    const auto& result = (*reply)["result"];
    return {result["content"][0]["text"].get<std::string>(), result["isError"].get<bool>()};
}

TEST(CliMcp, LinesInRepliesOut) {
    TempDir dir;
    const auto socket = (dir / "none.sock").string();
    const std::string deep =
        R"({"jsonrpc":"2.0","id":)" + std::string(100'000, '[') + std::string(100'000, ']') + R"(,"method":"ping"})";
    struct Case {
        const char* what;
        std::string input;
        std::string output;
    };
    const std::vector<Case> cases = {
        {"empty input", "", ""},
        {"blank lines only", "\n\n\r\n", ""},
        {"CR LF endings and blank lines", "\n" + ping(1) + "\r\n\r\n" + ping(2) + "\n\n",
         pong(1) + "\n" + pong(2) + "\n"},
        {"a last line without line feed", ping(3), pong(3) + "\n"},
        {"a notification",
         R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
         "\n" +
             ping(4) + "\n",
         pong(4) + "\n"},
        {"a malformed line, then the next", "{nope\n" + ping(5) + "\n", kParseError + "\n" + pong(5) + "\n"},
        {"a line that is not UTF-8", "{\"id\":6,\"method\":\"ping\",\"x\":\"\xff\"}\n" + ping(6) + "\n",
         kParseError + "\n" + pong(6) + "\n"},
        {"100,000 levels deep", deep + "\n" + ping(7) + "\n", kParseError + "\n" + pong(7) + "\n"},
        {"a line longer than any message", std::string(3 << 20, ' ') + "\n" + ping(8) + "\n",
         kParseError + "\n" + pong(8) + "\n"},
        {"a blank line of spaces is no message", "   \n", kParseError + "\n"},
    };
    for (const Case& c : cases) {
        quorvanta::test::RunOptions options;
        options.input = c.input;
        const auto run = runCli({"mcp", "--socket", socket}, options);
        EXPECT_EQ(run.status, 0) << c.what << run.err;
        EXPECT_EQ(run.out, c.output) << c.what;
    }
}

TEST(CliMcp, EachReplyArrivesBeforeTheNextLineIsWritten) {
    TempDir dir;
    RunningProgram mcp(QUORVANTA_CLI_PATH, {"mcp", "--socket", (dir / "none.sock").string()});
    ASSERT_TRUE(mcp.write(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})"
                          "\n"));
    const auto initialized = mcp.readLine();
    ASSERT_TRUE(initialized);
    EXPECT_NE(initialized->find(R"("protocolVersion":"2025-06-18")"), std::string::npos) << *initialized;
    for (int id = 1; id <= 5; ++id) {
        ASSERT_TRUE(mcp.write(ping(id) + "\n"));
        EXPECT_EQ(mcp.readLine(), pong(id));
    }
    const auto end = mcp.finish();
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.out, "");
}

TEST(CliMcp, ToolCallsReachTheHostAndReportItsAbsence) {
    if (testHostPath().empty()) GTEST_SKIP() << "quorvanta-api-testhost is not built";
    TempDir dir;
    writeRemixTree(dir, "tree");
    const auto root = std::filesystem::canonical(dir / "tree");
    const auto socket = dir / "api.sock";
    TestHost host(socket, {root});
    RunningProgram mcp(QUORVANTA_CLI_PATH, {"mcp", "--socket", socket.string()});

    ASSERT_TRUE(mcp.write(searchCall(1, "remix") + "\n"));
    const auto found = mcp.readLine();
    ASSERT_TRUE(found);
    const auto [text, isError] = toolOutcome(*found);
    EXPECT_FALSE(isError) << text;
    const auto reply = core::parseJSONStrict(text);
    ASSERT_TRUE(reply) << text;
    EXPECT_EQ((*reply)["total"], findCount(root, "*remix*")) << text;
    for (const auto& row : (*reply)["results"]) {
        std::string name = row["name"].get<std::string>();
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_NE(name.find("remix"), std::string::npos) << text;
    }

    host.stop();
    ASSERT_TRUE(mcp.write(searchCall(2, "remix") + "\n"));
    const auto absent = mcp.readLine();
    ASSERT_TRUE(absent);
    const auto [absentText, absentIsError] = toolOutcome(*absent);
    EXPECT_TRUE(absentIsError);
    EXPECT_EQ(absentText, "cannot reach Quorvanta at " + socket.string() +
                              "; is the app running with \u201CLocal API\u201D switched on (Settings)?");
    EXPECT_EQ(mcp.finish().status, 0);
}

}  // namespace
}  // namespace quorvanta::cli::test
