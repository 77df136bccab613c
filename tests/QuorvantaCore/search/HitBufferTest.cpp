#include "QuorvantaCore/search/HitBuffer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quorvanta::core {
namespace {

// A searcher made for one request must not map a fresh buffer of the index's size each time.
TEST(HitBuffer, SearchesOneAfterAnotherReuseTheSameMemory) {
    HitBuffer::dropKept();
    std::uint32_t* first = nullptr;
    {
        const HitBuffer buffer(1000);
        ASSERT_GE(buffer.size(), 1000u);
        first = buffer.data();
        first[999] = 7;
    }
    const HitBuffer again(900);
    EXPECT_EQ(again.data(), first) << "a kept buffer large enough is handed out again";
    const HitBuffer larger(10'000);
    EXPECT_NE(larger.data(), first);
    EXPECT_GE(larger.size(), 10'000u);
}

TEST(HitBuffer, SearchesAtOnceGetTheirOwnAndAFewAreKept) {
    HitBuffer::dropKept();
    std::vector<std::uint32_t*> seen;
    {
        std::vector<std::unique_ptr<HitBuffer>> running;
        for (std::size_t i = 0; i < HitBuffer::kept + 2; ++i) {
            running.push_back(std::make_unique<HitBuffer>(100 * (i + 1)));
            for (const std::uint32_t* other : seen) EXPECT_NE(running.back()->data(), other);
            seen.push_back(running.back()->data());
        }
    }
    // The two smallest were let go; each of the largest is handed out again, smallest fit first.
    for (std::size_t i = 2; i < seen.size(); ++i) {
        const HitBuffer buffer(100 * (i + 1));
        EXPECT_EQ(buffer.data(), seen[i]) << i;
    }
}

}  // namespace
}  // namespace quorvanta::core
