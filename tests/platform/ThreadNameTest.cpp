#include "platform/thread/ThreadName.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace quorvanta::platform {
namespace {

TEST(ThreadName, IsCutTo15Bytes) {
    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""},
        {"quorvanta.watch", "quorvanta.watch"},       // exactly 15 bytes
        {"quorvanta.content.ab", "quorvanta.conte"},  // 20 bytes
    };
    for (const auto& c : cases) {
        std::string seen;
        // A thread of its own, so the test runner's main thread keeps its name.
        std::thread([&] {
            setCurrentThreadName(c.name);
            seen = currentThreadName();
        }).join();
        EXPECT_EQ(seen, c.expected) << "name \"" << c.name << "\"";
    }
}

}  // namespace
}  // namespace quorvanta::platform
