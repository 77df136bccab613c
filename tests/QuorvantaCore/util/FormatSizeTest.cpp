#include "QuorvantaCore/util/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

namespace quorvanta::core {
namespace {

constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();

TEST(FormatSize, EnglishTexts) {
    const Locale english("en_US");
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 B"},
        {999, "999 B"},
        {1000, "1.0 KB"},
        {1500, "1.5 KB"},
        {999'949, "999.9 KB"},
        {999'950, "1.0 MB"},
        {1'234'567'890, "1.2 GB"},
        {999'950'000, "1.0 GB"},
        {999'949'999'999'999, "999.9 TB"},
        {1'000'000'000'000'000, "1.0 PB"},
        {kLargest, "18,446.7 PB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(Format::size(bytes, english), text) << bytes;
}

TEST(FormatSize, FollowsTheLocalesSeparators) {
    const struct {
        const char* locale;
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {"de", 1500, "1,5 KB"},
        {"de_DE", kLargest, "18.446,7 PB"},
        {"de-DE", kLargest, "18.446,7 PB"},
        {"de", 999, "999 B"},  // below 1000 no locale formatting applies
        {"en", kLargest, "18,446.7 PB"},
        {"xx_UNKNOWN", 1500, "1.5 KB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format::size(c.bytes, Locale(c.locale)), c.text) << c.locale << " " << c.bytes;
}

TEST(FormatSize, OneLocaleServesManyThreads) {
    const Locale german("de");
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) wrong[t] += Format::size(1500, german) != "1,5 KB";
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace quorvanta::core
