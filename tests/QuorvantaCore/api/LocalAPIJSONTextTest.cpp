#include "QuorvantaCore/json/JSONText.h"
#include "QuorvantaCore/json/UTF8Repair.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

TEST(LocalAPIJSONText, StrictParsingAcceptsOnlyOneWellFormedValue) {
    struct Case {
        std::string text;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {R"({"a":[1,2.5,true,null,"x"]})", true},
        {" \t\n{}\r\n", true},
        {"\"\\u00e9\\ud83d\\ude00\"", true},
        {"-0", true},
        {"", false},
        {"{} {}", false},
        {"[1,]", false},
        {"{\"a\":1,}", false},
        {"/* c */ {}", false},
        {"{} // c", false},
        {"NaN", false},
        {"1e400", false},
        {"'a'", false},
        {"{a:1}", false},
        {"\"\xff\"", false},
        {"\"\xc3\"", false},
        {"\"\\ud800\"", false},
        {"\"a\nb\"", false},
        {"{\"a\":\"b\"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseJSONStrict(c.text).has_value(), c.accepted) << c.text;
    }
}

TEST(LocalAPIJSONText, NestingIsBounded) {
    const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_TRUE(parseJSONStrict(nested(kJSONMaxDepth)));
    EXPECT_FALSE(parseJSONStrict(nested(kJSONMaxDepth + 1)));
    EXPECT_FALSE(parseJSONStrict(nested(100000)));
    EXPECT_TRUE(parseJSONStrict(R"({"a":{"b":[1]}})", 3));
    EXPECT_FALSE(parseJSONStrict(R"({"a":{"b":[1]}})", 2));
    // Brackets inside strings, escaped quotes included, do not count.
    EXPECT_TRUE(parseJSONStrict(R"(["[[[[\"[[[[", "{{{{"])", 1));
}

TEST(LocalAPIJSONText, WritersSortKeysAndKeepSlashes) {
    const nlohmann::json value = {
        {"zeta", 1}, {"alpha", {{"y", "/a/b"}, {"b", nlohmann::json::array()}}}, {"Mid", "caf\xC3\xA9 \"q\" \\ \x01"}};
    EXPECT_EQ(writeJSONCompact(value),
              "{\"Mid\":\"caf\xC3\xA9 \\\"q\\\" \\\\ \\u0001\",\"alpha\":{\"b\":[],\"y\":\"/a/b\"},\"zeta\":1}");
    EXPECT_EQ(writeJSONPretty(value),
              "{\n"
              "  \"Mid\": \"caf\xC3\xA9 \\\"q\\\" \\\\ \\u0001\",\n"
              "  \"alpha\": {\n"
              "    \"b\": [],\n"
              "    \"y\": \"/a/b\"\n"
              "  },\n"
              "  \"zeta\": 1\n"
              "}");
}

TEST(LocalAPIJSONText, WritersRepairInvalidUTF8InValuesAndKeys) {
    const nlohmann::json value = {{"k\xFF", "v\xC3"}};
    const std::string out = writeJSONCompact(value);
    EXPECT_EQ(out, "{\"k\xEF\xBF\xBD\":\"v\xEF\xBF\xBD\"}");
    EXPECT_TRUE(parseJSONStrict(out));
}

TEST(LocalAPIUTF8Repair, IllFormedSequencesBecomeOneReplacementEach) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"plain/ascii", "plain/ascii"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xFF", r},
        {"a\x80"
         "b",
         "a" + r + "b"},
        {"\xC3", r},  // cut at the end
        {"\xE2\x82"
         "A",
         r + "A"},                            // truncated three-byte sequence: one U+FFFD
        {"\xF0\x9F\x98", r},                  // truncated four-byte sequence
        {"\xC0\xAF", r + r},                  // overlong lead bytes are never valid
        {"\xE0\x80\x80", r + r + r},          // overlong three-byte form
        {"\xED\xA0\x80", r + r + r},          // surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\xE2\x82\xE2\x82\xAC", r + "\xE2\x82\xAC"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(repairUTF8(c.in), c.out) << c.in;
        EXPECT_TRUE(isValidUTF8(repairUTF8(c.in))) << c.in;
        EXPECT_EQ(isValidUTF8(c.in), c.in == c.out) << c.in;
    }
}

}  // namespace
}  // namespace quorvanta::core
