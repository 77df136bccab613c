#include "QuorvantaApp/model/entry/SelfTest.h"

#include "tests/QuorvantaApp/model/entry/EntryTestSupport.h"

#include <regex>

namespace quorvanta::app::test {
namespace {

TEST(SelfTest, WithoutVolumesReportsTheScanAtOnceThenEveryQueryAndSortKey) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> queries;  // in the order they are run
    };
    const Case cases[] = {
        {{"quorvanta", "--selftest"}, {"remix", "ext:flac", "*.mp3", ""}},
        // A last "--root" adds no root but is a query like any other argument after the option.
        {{"quorvanta", "--no-persist", "--selftest", "a b", "--root"}, {"a b", "--root"}},
    };
    const char* keys[] = {"name", "path", "size", "date", "created"};
    for (const auto& c : cases) {
        platform::FakeClock clock;
        EntryWorld world(clock);
        world.loop.setIdleHookForTesting([&] { clock.advanceTo(*clock.nextDeadline()); });
        EntryServices services = world.services();
        const DesktopRunner runner = noDesktop();
        const auto started = clock.now();

        EXPECT_EQ(runEntry(c.args, started, runner, services), 0);
        EXPECT_EQ(world.ended, 0);
        const auto lines = linesOf(world.printedAtEnd);
        ASSERT_EQ(lines.size(), 1 + 5 * c.queries.size()) << world.printedAtEnd;
        EXPECT_EQ(lines[0], "scan done in 0.0 s: ") << "no live line, and no time passed";
        std::size_t at = 1;
        for (const auto& query : c.queries) {
            for (const char* key : keys) {
                const std::regex expected(
                    "query '" + std::regex_replace(query, std::regex(R"([.*+?^$()\[\]{}|\\])"), R"(\$&)") + "' sort " +
                    key + R"(: 0 rows in [0-9]+\.[0-9] ms \(search\+full ordering\))");
                EXPECT_TRUE(std::regex_match(lines[at], expected)) << lines[at];
                ++at;
            }
        }
        // 3 s of settling and 1.5 s per query line, on the loop's clock.
        EXPECT_EQ(clock.now() - started,
                  SelfTest::kSettle + static_cast<long>(5 * c.queries.size()) * SelfTest::kQueryWindow);
        EXPECT_TRUE(fs::is_empty(world.data()));
    }
}

}  // namespace
}  // namespace quorvanta::app::test
