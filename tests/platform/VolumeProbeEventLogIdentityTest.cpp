#include "platform/events/EventLogIdentity.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

TEST(VolumeProbeEventLogIdentity, ProviderCanBeSwappedWhileOthersAsk) {
    EXPECT_EQ(eventLogIdentity(1), std::nullopt) << "none until a provider is installed";
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::vector<std::thread> askers;
    for (int t = 0; t < 3; ++t)
        askers.emplace_back([&] {
            while (!stop.load()) {
                const auto answer = eventLogIdentity(7);
                if (answer && *answer != "A-7" && *answer != "B-7") ++odd;
            }
        });
    for (int i = 0; i < 500; ++i) {
        const char* prefix = i % 2 ? "A-" : "B-";
        setEventLogIdentityProvider(
            [prefix](dev_t device) -> std::optional<std::string> { return prefix + std::to_string(device); });
        if (i % 50 == 0) setEventLogIdentityProvider(nullptr);
    }
    stop = true;
    for (auto& asker : askers) asker.join();
    EXPECT_EQ(odd.load(), 0);
    setEventLogIdentityProvider(nullptr);
    EXPECT_EQ(eventLogIdentity(7), std::nullopt);
}

}  // namespace
}  // namespace quorvanta::platform
