#include "QuorvantaCore/json/JSONText.h"
#include "tests/quorvanta_cli/ApiTestSupport.h"
#include "tests/quorvanta_cli/CliRun.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quorvanta::cli::test {
namespace {

using quorvanta::test::RunOptions;
using quorvanta::test::TempDir;

const std::string kApiUsage =
    "usage: quorvanta-cli api status|search \"<query>\" [--limit N] [--socket PATH]\n"
    "       quorvanta-cli mcp [--socket PATH]   (MCP server on stdio)\n";

class CliApiHosted : public ::testing::Test {
protected:
    void SetUp() override {
        if (testHostPath().empty()) GTEST_SKIP() << "quorvanta-api-testhost is not built";
        writeRemixTree(dir, "tree");
        root = std::filesystem::canonical(dir / "tree");
        host = std::make_unique<TestHost>(socket, std::vector{root});
    }
    TempDir dir;
    std::filesystem::path root;
    std::filesystem::path socket = dir / "api.sock";
    std::unique_ptr<TestHost> host;
};

TEST_F(CliApiHosted, StatusListsTheRootWithItsLiveCount) {
    const auto run = runCli({"api", "status", "--socket", socket.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    const nlohmann::json reply = parsedLine(run.out);
    ASSERT_EQ(reply["volumes"].size(), 1u) << run.out;
    EXPECT_EQ(reply["ok"], true);
    EXPECT_EQ(reply["volumes"][0]["root"], root.string());
    EXPECT_EQ(reply["volumes"][0]["entries"], findCount(root)) << run.out;
    EXPECT_EQ(reply["entries"], findCount(root)) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST_F(CliApiHosted, SearchRepliesAndStatuses) {
    const auto two = runCli({"api", "search", "remix", "--limit", "2", "--socket", socket.string()});
    EXPECT_EQ(two.status, 0) << two.err;
    const nlohmann::json reply = parsedLine(two.out);
    EXPECT_EQ(reply["shown"], 2) << two.out;
    EXPECT_EQ(reply["results"].size(), 2u) << two.out;
    EXPECT_EQ(reply["total"], findCount(root, "*remix*")) << two.out;
    EXPECT_EQ(reply["query"], "remix");

    const auto zero = runCli({"api", "search", "remix", "--limit", "0", "--socket", socket.string()});
    EXPECT_EQ(zero.status, 3);
    EXPECT_EQ(zero.out, "{\"error\":\"\\\"limit\\\" must be a positive integer\",\"ok\":false}\n");

    const auto badQuery = runCli({"api", "search", "ext:", "--socket", socket.string()});
    EXPECT_EQ(badQuery.status, 3);
    EXPECT_TRUE(badQuery.out.starts_with("{\"error\":\"invalid(\\\"")) << badQuery.out;
    EXPECT_TRUE(badQuery.out.ends_with("\\\")\",\"ok\":false}\n")) << badQuery.out;
}

TEST_F(CliApiHosted, WithoutSocketTheDataDirectoryIsUsed) {
    TempDir home;
    const auto dataDir = home / ".local/share/Quorvanta";
    std::filesystem::create_directories(dataDir);
    ::chmod(dataDir.c_str(), 0700);
    TestHost own(dataDir / "api.sock", {root});
    RunOptions options;
    options.home = home.path();
    const auto run = runCli({"api", "status"}, options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(parsedLine(run.out)["volumes"][0]["root"], root.string());
}

TEST(CliApi, UnreachableSocketIsStatusFour) {
    TempDir dir;
    const std::string missing = (dir / "missing.sock").string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"api", "status", "--socket", missing},
                                                 std::vector<std::string>{"api", "search", "x", "--socket", missing}}) {
        const auto run = runCli(args);
        EXPECT_EQ(run.status, 4);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "quorvanta-cli: cannot reach Quorvanta at " + missing +
                               "; is the app running with \u201CLocal API\u201D switched on (Settings)?\n");
    }
}

TEST(CliApi, RequestsAsSent) {
    TempDir dir;
    const auto socket = (dir / "rec.sock").string();
    RecordingServer server(socket, R"({"ok":true})");
    struct Case {
        std::vector<std::string> args;
        nlohmann::json request;
    };
    const std::vector<Case> cases = {
        {{"api", "status"}, {{"op", "status"}}},
        {{"api", "status", "--limit", "3"}, {{"op", "status"}}},
        {{"api", "search", "x y", "--limit", "abc"}, {{"op", "search"}, {"query", "x y"}}},
        {{"api", "search", "x", "--limit", "+7"}, {{"op", "search"}, {"query", "x"}, {"limit", 7}}},
        {{"api", "search", "x", "--limit", "-3"}, {{"op", "search"}, {"query", "x"}, {"limit", -3}}},
        {{"api", "search", "x", "--limit", "7x"}, {{"op", "search"}, {"query", "x"}}},
        {{"api", "search", "x", "--limit"}, {{"op", "search"}, {"query", "x"}}},
        {{"api", "search", "--limit", "5"}, {{"op", "search"}, {"query", "--limit"}, {"limit", 5}}},
        {{"api", "search", "caf\xc3\xa9 \"q\" a/b"}, {{"op", "search"}, {"query", "caf\xc3\xa9 \"q\" a/b"}}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto args = cases[i].args;
        args.insert(args.end(), {"--socket", socket});
        const auto run = runCli(args);
        EXPECT_EQ(run.status, 0) << i << run.err;
        EXPECT_EQ(run.out, "{\"ok\":true}\n") << i;
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), i + 1);
        const auto sent = core::parseJSONStrict(requests.back());
        ASSERT_TRUE(sent) << requests.back();
        EXPECT_EQ(*sent, cases[i].request) << requests.back();
        EXPECT_EQ(requests.back().size(), core::writeJSONCompact(*sent).size()) << "not compact: " << requests.back();
    }
}

// The recording server listens where the tool looks without --socket, since an operand-less
// "api search --socket PATH" would take "--socket" as its query.
TEST(CliApi, UsageTextMakesNoConnection) {
    TempDir home;
    const auto dataDir = home / ".local/share/Quorvanta";
    std::filesystem::create_directories(dataDir);
    RecordingServer server(dataDir / "api.sock", R"({"ok":true})");
    RunOptions options;
    options.home = home.path();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"api"}, {"api", "foo"}, {"api", "search"}, {"api", "STATUS"}, {"api", ""}}) {
        const auto run = runCli(args, options);
        EXPECT_EQ(run.status, 1) << args.back();
        EXPECT_EQ(run.out, kApiUsage) << args.back();
        EXPECT_EQ(run.err, "") << args.back();
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(runCli({"api", "status"}, options).status, 0) << "the server is reachable without --socket";
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(CliApi, RepliesOtherThanOkTrueAreStatusThree) {
    struct Case {
        const char* what;
        std::string reply;
        std::string printed;
        int status;
    };
    const std::string deep = std::string(100, '[') + std::string(100, ']');
    const std::vector<Case> cases = {
        {"ok true", R"({"results":[],"ok":true})", "{\"results\":[],\"ok\":true}\n", 0},
        {"ok false", R"({"ok":false,"error":"query too long"})", "{\"ok\":false,\"error\":\"query too long\"}\n", 3},
        {"not JSON", "hello there", "hello there\n", 3},
        {"ok as a string", R"({"ok":"true"})", "{\"ok\":\"true\"}\n", 3},
        {"no ok", R"({"entries":3})", "{\"entries\":3}\n", 3},
        {"an array", R"([{"ok":true}])", "[{\"ok\":true}]\n", 3},
        {"invalid UTF-8", "{\"ok\":true,\"q\":\"\xff\"}", "{\"ok\":true,\"q\":\"\xEF\xBF\xBD\"}\n", 3},
        {"nested beyond the bound", R"({"ok":true,"x":)" + deep + "}", R"({"ok":true,"x":)" + deep + "}\n", 3},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto socket = (dir / "rec.sock").string();
        RecordingServer server(socket, c.reply);
        const auto run = runCli({"api", "status", "--socket", socket});
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_EQ(run.out, c.printed) << c.what;
    }
}

}  // namespace
}  // namespace quorvanta::cli::test
