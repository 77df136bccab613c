#include "QuorvantaCore/api/LocalAPI.h"
#include "QuorvantaCore/json/JSONText.h"
#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/query/QueryParser.h"
#include "tests/support/Mutations.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using LocalAPI::Backend;
using LocalAPI::Row;
using LocalAPI::SearchResult;
using LocalAPI::Volume;

// A back-end that answers from fixed lists and records what it was asked.
struct FakeBackend {
    std::vector<Volume> volumeList;
    SearchResult result;
    int volumeCalls = 0;
    std::vector<std::pair<Query, std::int64_t>> searches;  // (query, limit)

    Backend backend() {
        Backend b;
        b.volumes = [this] {
            ++volumeCalls;
            return volumeList;
        };
        b.search = [this](const Query& query, std::int64_t limit) {
            searches.emplace_back(query, limit);
            return result;
        };
        return b;
    }
};

Query parsed(std::string_view text) {
    return QueryParser::parse(text, std::chrono::system_clock::now(), Calendar::current());
}

std::string search(std::string_view queryJSON, std::string_view extra = "") {
    return std::string(R"({"op":"search","query":)") + std::string(queryJSON) + std::string(extra) + "}";
}

TEST(LocalAPIProtocol, ErrorRepliesAreByteExact) {
    const std::string tooLarge(4097, 'x');
    const std::string longQuery = "\"" + std::string(1025, 'a') + "\"";
    struct Case {
        std::string request;
        std::string reply;
    };
    const std::string notObject = R"({"error":"expected a JSON object with \"op\"","ok":false})";
    const std::string unknownOp = R"J({"error":"unknown op (supported: status, search)","ok":false})J";
    const std::string queryType = R"({"error":"\"query\" must be a string","ok":false})";
    const std::string limitErr = R"({"error":"\"limit\" must be a positive integer","ok":false})";
    const std::vector<Case> cases = {
        {tooLarge, R"({"error":"request too large","ok":false})"},
        {"", notObject},
        {"[]", notObject},
        {"null", notObject},
        {"{}", notObject},
        {"not json", notObject},
        {R"({"op":"status")", notObject},
        {R"({"op":"status",})", notObject},
        {R"({"op":1})", notObject},
        {R"({"op":null,"query":"a"})", notObject},
        {R"({"op":"status"} x)", notObject},
        {"{\"op\":\"status\",\"x\":\"\xff\"}", notObject},
        {std::string(100, '[') + std::string(100, ']'), notObject},
        {R"({"op":"STATUS"})", unknownOp},
        {R"({"op":""})", unknownOp},
        {R"({"op":"search"})", queryType},
        {R"({"op":"search","query":5})", queryType},
        {R"({"op":"search","query":null})", queryType},
        {R"({"op":"search","query":["a"]})", queryType},
        {search(longQuery), R"({"error":"query too long","ok":false})"},
        {search(R"("a")", R"(,"limit":0)"), limitErr},
        {search(R"("ext:")"), R"J({"error":"invalid(\"ext: needs a value\")","ok":false})J"},
        {search(R"("size:a\\b")"), R"J({"error":"invalid(\"size: a\\\\b\")","ok":false})J"},
    };
    for (const Case& c : cases) {
        FakeBackend fake;
        EXPECT_EQ(LocalAPI::handle(c.request, fake.backend()), c.reply) << "request: " << c.request.substr(0, 80);
        EXPECT_EQ(fake.volumeCalls, 0) << c.request.substr(0, 80);
        EXPECT_TRUE(fake.searches.empty()) << c.request.substr(0, 80);
    }
}

TEST(LocalAPIProtocol, RequestSizeLimitCountsBytesBeforeParsing) {
    const std::string head = R"({"op":"status"})";
    std::string exact = head + std::string(LocalAPI::maxRequestBytes - head.size(), ' ');
    ASSERT_EQ(exact.size(), 4096u);
    FakeBackend fake;
    EXPECT_EQ(LocalAPI::handle(exact, fake.backend()), R"({"entries":0,"ok":true,"volumes":[]})");
    EXPECT_EQ(fake.volumeCalls, 1);

    exact += ' ';
    EXPECT_EQ(LocalAPI::handle(exact, fake.backend()), R"({"error":"request too large","ok":false})");
    EXPECT_EQ(fake.volumeCalls, 1);
}

TEST(LocalAPIProtocol, QueryLimitCountsUTF8Bytes) {
    std::string euros;
    for (int i = 0; i < 341; ++i) euros += "\xE2\x82\xAC";  // 1023 bytes, 341 characters
    struct Case {
        std::string text;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {euros + "a", true},          // 1024 bytes
        {euros + "\xC3\xA9", false},  // 1025 bytes, 342 characters
        {std::string(1024, 'a'), true},
        {std::string(1025, 'a'), false},
    };
    for (const Case& c : cases) {
        FakeBackend fake;
        const std::string reply = LocalAPI::handle(search("\"" + c.text + "\""), fake.backend());
        if (c.accepted) {
            ASSERT_EQ(fake.searches.size(), 1u) << reply;
            EXPECT_EQ(fake.searches[0].first, parsed(c.text));
        } else {
            EXPECT_EQ(reply, R"({"error":"query too long","ok":false})");
            EXPECT_TRUE(fake.searches.empty());
        }
    }
}

TEST(LocalAPIProtocol, LimitIsReadLikeAnInteger) {
    struct Case {
        std::string limit;      // the member's JSON, "" for none
        std::int64_t expected;  // 0: the limit error
    };
    const std::vector<Case> cases = {
        {"", 50},     {"2.5", 2},   {"true", 1},  {"1000", 200}, {"1e300", 200},
        {"200", 200}, {"201", 200}, {"1", 1},     {"1.999", 1},  {"18446744073709551615", 200},
        {"0", 0},     {"-3", 0},    {"false", 0}, {"\"5\"", 0},  {"null", 0},
        {"[]", 0},    {"{}", 0},    {"0.99", 0},  {"-1e300", 0}, {"-0.5", 0},
    };
    for (const Case& c : cases) {
        FakeBackend fake;
        const std::string extra = c.limit.empty() ? "" : ",\"limit\":" + c.limit;
        const std::string reply = LocalAPI::handle(search("\"a\"", extra), fake.backend());
        if (c.expected == 0) {
            EXPECT_EQ(reply, R"({"error":"\"limit\" must be a positive integer","ok":false})") << "limit " << c.limit;
            EXPECT_TRUE(fake.searches.empty()) << "limit " << c.limit;
        } else {
            ASSERT_EQ(fake.searches.size(), 1u) << "limit " << c.limit << ": " << reply;
            EXPECT_EQ(fake.searches[0].second, c.expected) << "limit " << c.limit;
        }
    }
}

TEST(LocalAPIProtocol, StatusListsVolumesInOrderWithTheirSum) {
    FakeBackend fake;
    EXPECT_EQ(LocalAPI::handle(R"({"op":"status","query":5,"limit":"x"})", fake.backend()),
              R"({"entries":0,"ok":true,"volumes":[]})");

    fake.volumeList = {{"Data", "/srv/data", 12, true, false}, {"Old \"disk\"", "/media/old", 30, false, true}};
    EXPECT_EQ(LocalAPI::handle(R"({"op":"status"})", fake.backend()),
              R"({"entries":42,"ok":true,"volumes":[)"
              R"({"entries":12,"name":"Data","offline":false,"root":"/srv/data","scanning":true},)"
              R"({"entries":30,"name":"Old \"disk\"","offline":true,"root":"/media/old","scanning":false}]})");
    EXPECT_TRUE(fake.searches.empty());
}

TEST(LocalAPIProtocol, SearchReplyEchoesTheQueryAndCountsRows) {
    FakeBackend fake;
    fake.result.total = 1234;
    fake.result.rows = {{"/home/me/a.pdf", "a.pdf", "file", 1024, 1700000000},
                        {"/home/me/Docs", "Docs", "folder", 0, 4294967295u}};
    const std::string query = "  r\xC3\xA9sum\xC3\xA9 \\\"x\\\" /tmp  ";  // JSON text of the query
    const std::string reply =
        LocalAPI::handle(R"({"limit":7,"op":"search","other":[1],"query":")" + query + "\"}", fake.backend());
    EXPECT_EQ(reply, R"({"ok":true,"query":")" + query +
                         R"(","results":[)"
                         R"({"kind":"file","modified":1700000000,"name":"a.pdf","path":"/home/me/a.pdf","size":1024},)"
                         R"({"kind":"folder","modified":4294967295,"name":"Docs","path":"/home/me/Docs","size":0}],)"
                         R"("shown":2,"total":1234})");
    ASSERT_EQ(fake.searches.size(), 1u);
    EXPECT_EQ(fake.searches[0].first, parsed("  r\xC3\xA9sum\xC3\xA9 \"x\" /tmp  "));
    EXPECT_EQ(fake.searches[0].second, 7);
    EXPECT_EQ(fake.volumeCalls, 0);

    fake.result = {};
    EXPECT_EQ(LocalAPI::handle(search("\"nothing\""), fake.backend()),
              R"({"ok":true,"query":"nothing","results":[],"shown":0,"total":0})");
}

TEST(LocalAPIProtocol, InvalidUTF8InRowsIsReplaced) {
    FakeBackend fake;
    fake.result.total = 1;
    fake.result.rows = {
        {"/data/bad\xFF"
         "name/x\xC3",
         "x\xC3", "file", 1, 2}};
    const std::string reply = LocalAPI::handle(search("\"x\""), fake.backend());
    EXPECT_EQ(reply, R"({"ok":true,"query":"x","results":[{"kind":"file","modified":2,)"
                     "\"name\":\"x\xEF\xBF\xBD\",\"path\":\"/data/bad\xEF\xBF\xBDname/x\xEF\xBF\xBD\","
                     R"("size":1}],"shown":1,"total":1})");
}

TEST(LocalAPIProtocol, AFailingBackEndGivesTheFailureReply) {
    Backend backend;
    backend.volumes = []() -> std::vector<Volume> { throw std::runtime_error("gone"); };
    backend.search = [](const Query&, std::int64_t) -> SearchResult { throw std::bad_alloc(); };
    EXPECT_EQ(LocalAPI::handle(R"({"op":"status"})", backend), R"({"ok":false})");
    EXPECT_EQ(LocalAPI::handle(search("\"a\""), backend), R"({"ok":false})");
}

TEST(LocalAPIProtocol, RecordsRoundTripThroughJSON) {
    const Row row{"/a/b", "b", "file", 18446744073709551615ull, 4294967295u};
    const Volume volume{"V", "/", -5, true, false};
    EXPECT_EQ(LocalAPI::rowFromJSON(LocalAPI::toJSON(row)), row);
    EXPECT_EQ(LocalAPI::volumeFromJSON(LocalAPI::toJSON(volume)), volume);

    nlohmann::json bad = LocalAPI::toJSON(row);
    bad["modified"] = 4294967296ull;
    EXPECT_FALSE(LocalAPI::rowFromJSON(bad));
    bad = LocalAPI::toJSON(row);
    bad["size"] = -1;
    EXPECT_FALSE(LocalAPI::rowFromJSON(bad));
    bad = LocalAPI::toJSON(volume);
    bad.erase("offline");
    EXPECT_FALSE(LocalAPI::volumeFromJSON(bad));
    EXPECT_FALSE(LocalAPI::volumeFromJSON(nlohmann::json::array()));
}

TEST(LocalAPIProtocol, DefaultSocketIsInTheDataDirectory) {
    const std::filesystem::path path = LocalAPI::defaultSocketPath();
    EXPECT_EQ(path, std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "Quorvanta" / "api.sock");
    EXPECT_TRUE(std::filesystem::is_directory(path.parent_path()));
}

// Mutations of valid requests (byte flips, cuts, insertions of JSON punctuation, splices) must
// never crash the handler, and every reply is one JSON object with a boolean "ok".
TEST(LocalAPIProtocol, MutatedRequestsAlwaysGetOneJSONObject) {
    quorvanta::test::MutationPlan plan;
    plan.seeds = {
        R"({"op":"status"})",
        R"({"op":"search","query":"ext:pdf size:>1mb","limit":20})",
        R"({"op":"search","query":"a|b !c \"x y\"","limit":2.5})",
        R"({"op":"search","query":"\u00e9\ud83d\ude00","limit":true,"x":[{"y":null}]})",
    };
    plan.iterations = 10000;
    FakeBackend fake;
    fake.volumeList = {{"V", "/v", 3, false, false}};
    fake.result = {5, {{"/v/a", "a", "file", 1, 1}}};
    const Backend backend = fake.backend();
    quorvanta::test::forEachMutation(plan, [&](const std::string& request) {
        const std::string reply = LocalAPI::handle(request, backend);
        const auto parsed = parseJSONStrict(reply);
        ASSERT_TRUE(parsed && parsed->is_object() && (*parsed)["ok"].is_boolean())
            << "request: " << request << "\nreply: " << reply;
        ASSERT_EQ(reply.find('\n'), std::string::npos) << reply;
    });
}

}  // namespace
}  // namespace quorvanta::core
