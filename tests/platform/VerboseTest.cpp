#include "platform/diagnostics/Verbose.h"

#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quorvanta::platform {
namespace {

// The switch is read once per process, so each case asks its questions in a child of its own;
// this test program never asks in its own process. A variable set to the empty text counts as set.
TEST(Verbose, ReadsTheEnvironmentOnceAndTakesAnOverride) {
    const struct {
        std::optional<std::string> variable;
        std::string answers;  // at the first question, after the variable changed, after setVerbose
    } cases[] = {
        {std::nullopt, "off off on"},
        {"1", "on on off"},
        {"", "on on off"},
    };
    for (const auto& c : cases) {
        const test::ChildOutcome child = test::runInChild([&] {
            if (c.variable)
                setenv("QUORVANTA_VERBOSE", c.variable->c_str(), 1);
            else
                unsetenv("QUORVANTA_VERBOSE");
            std::string answers = verbose() ? "on" : "off";
            if (c.variable)
                unsetenv("QUORVANTA_VERBOSE");
            else
                setenv("QUORVANTA_VERBOSE", "1", 1);
            answers += verbose() ? " on" : " off";
            setVerbose(!verbose());
            answers += verbose() ? " on" : " off";
            return answers;
        });
        ASSERT_TRUE(child.succeeded) << child.output;
        EXPECT_EQ(child.output, c.answers) << "QUORVANTA_VERBOSE " << c.variable.value_or("unset");
    }
}

}  // namespace
}  // namespace quorvanta::platform
