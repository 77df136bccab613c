#include "QuorvantaCore/util/ErrorDescription.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvanta::core {
namespace {

TEST(ErrorDescription, QuotesAndEscapesThePayload) {
    struct Case {
        std::string payload;
        std::string expected;
    };
    const Case cases[] = {
        {"ext: needs a value", R"(invalid("ext: needs a value"))"},
        {"", R"(invalid(""))"},
        {R"(say "hi")", R"(invalid("say \"hi\""))"},
        {R"(C:\dir)", R"(invalid("C:\\dir"))"},
        {"two\nlines\ttab\r", R"(invalid("two\nlines\ttab\r"))"},
        {std::string("nul\0x", 5), R"(invalid("nul\0x"))"},
        {"\x01\x1f\x7f", R"(invalid("\u{1}\u{1F}\u{7F}"))"},
        {"caf\xC3\xA9 \xFF", "invalid(\"caf\xC3\xA9 \xFF\")"},  // other bytes pass as they are
    };
    for (const auto& c : cases)
        EXPECT_EQ(describeErrorCase("invalid", c.payload), c.expected) << "payload: " << c.payload;
}

}  // namespace
}  // namespace quorvanta::core
