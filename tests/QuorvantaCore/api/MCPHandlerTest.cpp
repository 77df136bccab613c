#include "QuorvantaCore/api/LocalAPIClient.h"
#include "QuorvantaCore/api/MCP.h"
#include "QuorvantaCore/json/JSONText.h"
#include "tests/fuzz/MCPOracle.h"
#include "tests/support/Mutations.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using test::kMCPParseErrorReply;

// What the fake forward function does when it is called.
enum class Answer { canned, notRunning, otherFailure };

struct FakeForward {
    Answer answer = Answer::canned;
    std::string cannedReply = R"({"ok":true,"query":"q","results":[],"shown":0,"total":0})";
    std::vector<std::string> requests;

    MCP::Forward forward() {
        return [this](std::string_view request) -> std::string {
            requests.emplace_back(request);
            switch (answer) {
                case Answer::notRunning:
                    throw LocalAPIClient::ClientError::notRunning("/run/x/api.sock");
                case Answer::otherFailure:
                    throw std::runtime_error("disk on fire");
                case Answer::canned:
                    break;
            }
            return cannedReply;
        };
    }
};

struct Case {
    const char* what;
    std::string line;
    std::optional<std::string> reply;  // none: no output at all
    bool forwarded = false;
};

void expectCases(const std::vector<Case>& cases, FakeForward& fake) {
    for (const Case& c : cases) {
        fake.requests.clear();
        const std::optional<std::string> reply = MCP::handle(c.line, fake.forward());
        EXPECT_EQ(reply, c.reply) << c.what << "\nline: " << c.line;
        EXPECT_EQ(!fake.requests.empty(), c.forwarded) << c.what;
        EXPECT_LE(fake.requests.size(), 1u) << c.what;
    }
}

std::string nested(int levels, const std::string& innermost) {
    return std::string(levels, '[') + innermost + std::string(levels, ']');
}

// The text of the one content item of a tool result, and its isError.
std::pair<std::string, bool> toolOutcome(const std::string& reply) {
    const auto parsed = parseJSONStrict(reply);
    EXPECT_TRUE(parsed) << reply;
    if (!parsed) return {};
    const auto& result = parsed->at("result");
    EXPECT_EQ(result.at("content").size(), 1u) << reply;
    EXPECT_EQ(result.at("content").at(0).at("type"), "text") << reply;
    return {result.at("content").at(0).at("text").get<std::string>(), result.at("isError").get<bool>()};
}

std::string toolCall(const std::string& arguments) {
    return R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"search_files","arguments":)" + arguments +
           "}}";
}

TEST(MCPHandler, LinesThatAreNoMessageGetTheParseError) {
    const std::string parseError(kMCPParseErrorReply);
    FakeForward fake;
    expectCases(
        {
            {"not JSON", "hello", parseError},
            {"empty", "", parseError},
            {"a JSON array", R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])", parseError},
            {"a bare string", R"("ping")", parseError},
            {"null", "null", parseError},
            {"an object without method", R"({"jsonrpc":"2.0","id":1})", parseError},
            {"a number as method", R"({"jsonrpc":"2.0","id":1,"method":5})", parseError},
            {"null as method", R"({"jsonrpc":"2.0","id":1,"method":null})", parseError},
            {"invalid UTF-8 in a string", "{\"id\":1,\"method\":\"ping\",\"x\":\"\xff\xfe\"}", parseError},
            {"invalid UTF-8 outside strings", "{\"id\":1,\"method\":\"ping\"}\xc3", parseError},
            {"trailing bytes after the object", R"({"id":1,"method":"ping"} {})", parseError},
            {"a trailing comma", R"({"id":1,"method":"ping",})", parseError},
            {"longer than the bound",
             R"({"id":1,"method":"ping","x":")" + std::string(MCP::maxMessageBytes, 'a') + "\"}", parseError},
            {"a tool call without method", R"({"id":1,"params":{"name":"search_files","arguments":{"query":"a"}}})",
             parseError},
        },
        fake);
}

TEST(MCPHandler, AMessageOfExactlyTheLongestLengthIsAnswered) {
    const std::string head = R"({"id":1,"method":"ping","x":")";
    const std::string line = head + std::string(MCP::maxMessageBytes - head.size() - 2, 'a') + "\"}";
    ASSERT_EQ(line.size(), MCP::maxMessageBytes);
    FakeForward fake;
    EXPECT_EQ(MCP::handle(line, fake.forward()), R"({"id":1,"jsonrpc":"2.0","result":{}})");
}

TEST(MCPHandler, NotificationsGetNoReplyAndAreNeverForwarded) {
    FakeForward fake;
    expectCases(
        {
            {"initialized", R"({"jsonrpc":"2.0","method":"notifications/initialized"})", std::nullopt},
            {"unknown method", R"({"jsonrpc":"2.0","method":"nope"})", std::nullopt},
            {"ping", R"({"jsonrpc":"2.0","method":"ping"})", std::nullopt},
            {"tools/call",
             R"({"jsonrpc":"2.0","method":"tools/call","params":{"name":"search_files","arguments":{"query":"a"}}})",
             std::nullopt},
        },
        fake);
}

TEST(MCPHandler, IdsAreEchoedAsTheyCame) {
    FakeForward fake;
    expectCases(
        {
            {"null", R"({"jsonrpc":"2.0","id":null,"method":"ping"})", R"({"id":null,"jsonrpc":"2.0","result":{}})"},
            {"zero", R"({"jsonrpc":"2.0","id":0,"method":"ping"})", R"({"id":0,"jsonrpc":"2.0","result":{}})"},
            {"negative", R"({"jsonrpc":"2.0","id":-42,"method":"ping"})", R"({"id":-42,"jsonrpc":"2.0","result":{}})"},
            {"beyond a double's exact integers", R"({"jsonrpc":"2.0","id":9007199254740993,"method":"ping"})",
             R"({"id":9007199254740993,"jsonrpc":"2.0","result":{}})"},
            {"largest unsigned", R"({"jsonrpc":"2.0","id":18446744073709551615,"method":"ping"})",
             R"({"id":18446744073709551615,"jsonrpc":"2.0","result":{}})"},
            {"string with a slash", R"({"jsonrpc":"2.0","id":"a/b \"c\"","method":"ping"})",
             R"({"id":"a/b \"c\"","jsonrpc":"2.0","result":{}})"},
            {"id before jsonrpc, no jsonrpc at all", R"({"id":"x","method":"ping"})",
             R"({"id":"x","jsonrpc":"2.0","result":{}})"},
        },
        fake);
}

TEST(MCPHandler, InitializePingAndUnknownMethods) {
    const std::string capabilities = R"("capabilities":{"tools":{}},)";
    const std::string serverInfo = R"("serverInfo":{"name":"quorvanta","version":"1"})";
    FakeForward fake;
    expectCases(
        {
            {"client's version echoed",
             R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2099-01-01","capabilities":{}}})",
             R"({"id":1,"jsonrpc":"2.0","result":{)" + capabilities + R"("protocolVersion":"2099-01-01",)" +
                 serverInfo + "}}"},
            {"no version", R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})",
             R"({"id":1,"jsonrpc":"2.0","result":{)" + capabilities + R"("protocolVersion":"2024-11-05",)" +
                 serverInfo + "}}"},
            {"version as a number",
             R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":20241105}})",
             R"({"id":1,"jsonrpc":"2.0","result":{)" + capabilities + R"("protocolVersion":"2024-11-05",)" +
                 serverInfo + "}}"},
            {"params not an object", R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":["2099"]})",
             R"({"id":1,"jsonrpc":"2.0","result":{)" + capabilities + R"("protocolVersion":"2024-11-05",)" +
                 serverInfo + "}}"},
            {"ping", R"({"jsonrpc":"2.0","id":"p","method":"ping","params":{"x":1}})",
             R"({"id":"p","jsonrpc":"2.0","result":{}})"},
            {"unknown method", R"({"jsonrpc":"2.0","id":2,"method":"resources/list"})",
             R"({"error":{"code":-32601,"message":"method not found"},"id":2,"jsonrpc":"2.0"})"},
            {"capitalised Initialize", R"({"jsonrpc":"2.0","id":3,"method":"Initialize"})",
             R"({"error":{"code":-32601,"message":"method not found"},"id":3,"jsonrpc":"2.0"})"},
            {"empty method", R"({"jsonrpc":"2.0","id":4,"method":""})",
             R"({"error":{"code":-32601,"message":"method not found"},"id":4,"jsonrpc":"2.0"})"},
        },
        fake);
}

TEST(MCPHandler, ToolsListIsTheOneSearchTool) {
    const std::string golden =
        R"({"id":1,"jsonrpc":"2.0","result":{"tools":[{"annotations":{"destructiveHint":false,"openWorldHint":false,)"
        R"("readOnlyHint":true},"description":"Search the files on this computer by name using Quorvanta's live )"
        R"(index (read-only). Supports Quorvanta search syntax, e.g. `*.pdf`, `ext:psd size:>10mb`, `dm:today`, )"
        R"(`\"exact phrase\"`, `a|b`, `!excluded`. Returns path, name, kind, size and modified time (Unix )"
        R"(seconds).","inputSchema":{"properties":{"limit":{"default":50,"maximum":200,"minimum":1,"type":"integer"},)"
        R"("query":{"description":"Search text in Quorvanta syntax","maxLength":1024,"type":"string"}},)"
        R"("required":["query"],"type":"object"},"name":"search_files"}]}})";
    FakeForward fake;
    expectCases({{"tools/list", R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})", golden}}, fake);
    EXPECT_EQ(MCP::toolDescription.size(), 268u);
    EXPECT_NE(MCP::toolDescription.find("on this computer by name"), std::string_view::npos);
}

TEST(MCPHandler, ToolCallsThatNameNoToolOrQueryAreInvalidParams) {
    const std::string unknownTool = R"({"error":{"code":-32602,"message":"unknown tool"},"id":7,"jsonrpc":"2.0"})";
    const std::string badQuery =
        R"({"error":{"code":-32602,"message":"\"query\" must be a string"},"id":7,"jsonrpc":"2.0"})";
    FakeForward fake;
    expectCases(
        {
            {"another tool",
             R"({"id":7,"method":"tools/call","params":{"name":"delete_files","arguments":{"query":"a"}}})",
             unknownTool},
            {"no name", R"({"id":7,"method":"tools/call","params":{"arguments":{"query":"a"}}})", unknownTool},
            {"name not a string", R"({"id":7,"method":"tools/call","params":{"name":["search_files"]}})", unknownTool},
            {"tool name in capitals", R"({"id":7,"method":"tools/call","params":{"name":"SEARCH_FILES"}})",
             unknownTool},
            {"no params", R"({"id":7,"method":"tools/call"})", unknownTool},
            {"no arguments", R"({"id":7,"method":"tools/call","params":{"name":"search_files"}})", badQuery},
            {"arguments not an object", toolCall(R"("ext:pdf")"), badQuery},
            {"no query", toolCall(R"({"limit":5})"), badQuery},
            {"query a number", toolCall(R"({"query":5})"), badQuery},
            {"query null", toolCall(R"({"query":null})"), badQuery},
        },
        fake);
}

TEST(MCPHandler, ToolCallForwardsOneSearchWithTheLimitUnchanged) {
    struct LimitCase {
        const char* arguments;
        std::optional<nlohmann::json> limit;  // none: no "limit" member forwarded
    };
    const std::vector<LimitCase> cases = {
        {R"({"query":"ext:pdf"})", std::nullopt},
        {R"({"query":"ext:pdf","limit":0})", nlohmann::json(0)},
        {R"({"query":"ext:pdf","limit":"5"})", nlohmann::json("5")},
        {R"({"query":"ext:pdf","limit":2.5})", nlohmann::json(2.5)},
        {R"({"query":"ext:pdf","limit":{"n":[1,{"m":null}]}})", nlohmann::json::parse(R"({"n":[1,{"m":null}]})")},
        {R"({"query":"ext:pdf","limit":null})", nlohmann::json(nullptr)},
    };
    FakeForward fake;
    for (const LimitCase& c : cases) {
        fake.requests.clear();
        const auto reply = MCP::handle(toolCall(c.arguments), fake.forward());
        ASSERT_TRUE(reply) << c.arguments;
        ASSERT_EQ(fake.requests.size(), 1u) << c.arguments;
        const auto request = parseJSONStrict(fake.requests.front());
        ASSERT_TRUE(request && request->is_object()) << fake.requests.front();
        EXPECT_EQ(request->at("op"), "search");
        EXPECT_EQ(request->at("query"), "ext:pdf");
        EXPECT_EQ(request->size(), c.limit ? 3u : 2u) << fake.requests.front();
        if (c.limit) {
            EXPECT_EQ(request->at("limit"), *c.limit) << fake.requests.front();
        }
        EXPECT_EQ(fake.requests.front().find_first_of(" \n"), std::string::npos) << "not compact";
    }
}

TEST(MCPHandler, ToolResultCarriesTheReplyAndWhetherItFailed) {
    struct ReplyCase {
        const char* what;
        Answer answer;
        std::string cannedReply;
        std::string text;
        bool isError;
    };
    const std::string ok = R"({"ok":true,"query":"a/b","results":[],"shown":0,"total":0})";
    const std::string notRunningText =
        "cannot reach Quorvanta at /run/x/api.sock; is the app running with \u201CLocal API\u201D switched on "
        "(Settings)?";
    const std::vector<ReplyCase> cases = {
        {"ok true", Answer::canned, ok, ok, false},
        {"ok false", Answer::canned, R"({"error":"query too long","ok":false})",
         R"({"error":"query too long","ok":false})", true},
        {"ok as a string", Answer::canned, R"({"ok":"true"})", R"({"ok":"true"})", true},
        {"ok missing", Answer::canned, R"({"query":"a"})", R"({"query":"a"})", true},
        {"ok true inside an array", Answer::canned, R"([{"ok":true}])", R"([{"ok":true}])", true},
        {"not JSON", Answer::canned, "garbage", "garbage", true},
        {"cut short", Answer::canned, R"({"ok":true,"results":[)", R"({"ok":true,"results":[)", true},
        {"empty reply", Answer::canned, "", "", true},
        {"invalid UTF-8 repaired", Answer::canned, "{\"ok\":true,\"query\":\"\xff\"}",
         "{\"ok\":true,\"query\":\"\xEF\xBF\xBD\"}", true},
        {"nested beyond the bound", Answer::canned, R"({"ok":true,"x":)" + nested(100, "1") + "}",
         R"({"ok":true,"x":)" + nested(100, "1") + "}", true},
        {"application not running", Answer::notRunning, "", notRunningText, true},
        {"another failure", Answer::otherFailure, "", "disk on fire", true},
    };
    FakeForward fake;
    for (const ReplyCase& c : cases) {
        fake.answer = c.answer;
        fake.cannedReply = c.cannedReply;
        const auto reply = MCP::handle(toolCall(R"({"query":"a/b"})"), fake.forward());
        ASSERT_TRUE(reply) << c.what;
        const auto [text, isError] = toolOutcome(*reply);
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_EQ(isError, c.isError) << c.what;
        EXPECT_EQ(reply->find('\n'), std::string::npos) << c.what;
    }
    // The result's exact bytes: keys sorted, "/" left as it is.
    fake.answer = Answer::canned;
    fake.cannedReply = ok;
    EXPECT_EQ(MCP::handle(toolCall(R"({"query":"a/b"})"), fake.forward()),
              R"({"id":7,"jsonrpc":"2.0","result":{"content":[{"text":"{\"ok\":true,\"query\":\"a/b\",)"
              R"(\"results\":[],\"shown\":0,\"total\":0}","type":"text"}],"isError":false}})");
}

TEST(MCPHandler, NestingIsBoundedBeforeAnythingIsCopied) {
    const std::string parseError(kMCPParseErrorReply);
    // The message object is level 1, so an id at level 2 may hold maxNesting - 1 more levels.
    const int idLevels = MCP::maxNesting - 1;
    FakeForward fake;
    const auto atBound = MCP::handle(R"({"id":)" + nested(idLevels, "1") + R"(,"method":"ping"})", fake.forward());
    EXPECT_EQ(atBound, R"({"id":)" + nested(idLevels, "1") + R"(,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(MCP::handle(R"({"id":)" + nested(idLevels + 1, "1") + R"(,"method":"ping"})", fake.forward()),
              parseError);

    const std::string deep = nested(100'000, "");
    expectCases(
        {
            {"deep id", R"({"id":)" + deep + R"(,"method":"ping"})", parseError},
            {"deep params", R"({"id":1,"method":"initialize","params":{"x":)" + deep + "}}", parseError},
            {"deep limit", toolCall(R"({"query":"a","limit":)" + deep + "}"), parseError},
            {"deep objects", std::string(100'000, '{'), parseError},
            {"deep notification", R"({"method":"x","params":)" + deep + "}", parseError},
        },
        fake);
}

// Mutations of valid messages (byte flips, cuts, JSON punctuation, splices) never crash or throw,
// and every mutated line is answered as the oracle says.
TEST(MCPHandler, MutatedMessagesAreAnsweredSoundly) {
    quorvanta::test::MutationPlan plan;
    plan.seeds = {
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"c","version":"1"}}})",
        R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
        R"({"jsonrpc":"2.0","id":"s-2","method":"tools/list","params":{}})",
        R"({"jsonrpc":"2.0","id":3,"method":"ping"})",
        R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":{"name":"search_files","arguments":{"query":"ext:pdf \"a b\" \u00e9","limit":5}}})",
        R"({"jsonrpc":"2.0","id":null,"method":"tools/call","params":{"name":"search_files","arguments":{"query":"x","limit":[[[{"a":-1.5e3}]]]}}})",
    };
    plan.iterations = 20000;
    plan.deepNesting = true;
    quorvanta::test::forEachMutation(plan, [](const std::string& line) {
        const std::string problem = test::mcpMessageProblem(line);
        ASSERT_TRUE(problem.empty()) << problem << "\nline: " << line;
    });
}

}  // namespace
}  // namespace quorvanta::core
