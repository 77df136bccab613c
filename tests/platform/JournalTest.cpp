// The event journal: its file round trip with raw paths, damaged files refused, and the
// recorded source's replay: later events, then history done, then live ones.
#include "platform/events/JournalFormat.h"
#include "platform/events/RecordedSource.h"

#include "tests/platform/ManualExecutor.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace quorvanta::platform {
namespace {

Journal sample() {
    return Journal{
        "log-7",
        {{10, 0, "/a/b\xff.txt"}, {11, kMustScanSubDirs, "/a"}, {25, 0, "/c/\xfe\xfd/x"}, {30, kUnmount, "/m"}}};
}

using test_support::ManualExecutor;

TEST(Journal, RoundTripKeepsRawPaths) {
    const Journal j = sample();
    EXPECT_EQ(parseJournal(journalBytes(j)), j);
    EXPECT_EQ(parseJournal(journalBytes(Journal{"", {}})), (Journal{"", {}}));

    test::TempDir dir;
    const auto path = dir.write("j.qrvtjrn", journalBytes(j));
    const auto source = RecordedSource::fromFile(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->journal(), j);
    EXPECT_EQ(source->eventLogIdentity(0), "log-7");
    EXPECT_EQ(source->currentId(), 30u);
    EXPECT_FALSE(RecordedSource::fromFile((dir / "missing").string()));
}

TEST(Journal, DamagedFilesAreRefused) {
    const std::string good = journalBytes(sample());
    std::string badMagic = good;
    badMagic[7] = '2';
    std::string pathPastEnd = journalHeader("x") + journalRecord({1, 0, "/abc"});
    pathPastEnd[pathPastEnd.size() - 5] = 9;  // length 9 for 4 bytes
    std::string nul = journalHeader("x") + journalRecord({1, 0, "/abc"});
    nul.back() = '\0';
    std::string longIdentity(kJournalMagic, 8);
    longIdentity += std::string("\x01\x01\x00\x00", 4) + std::string(257, 'i');
    const std::pair<const char*, std::string> rows[] = {
        {"empty", ""},
        {"magic only", good.substr(0, 8)},
        {"bad magic", badMagic},
        {"truncated record header", good.substr(0, good.size() - 4 - 2 - 8)},
        {"truncated path", good.substr(0, good.size() - 1)},
        {"length past the end", pathPastEnd},
        {"identity past the end", journalHeader("abc").substr(0, 13)},
        {"identity too long", longIdentity},
        {"NUL in a path", nul},
        {"ids not growing", journalHeader("") + journalRecord({5, 0, "/a"}) + journalRecord({5, 0, "/b"})},
    };
    for (const auto& [what, bytes] : rows) EXPECT_FALSE(parseJournal(bytes)) << what;

    // Every prefix and every single-byte change either parses or is refused; none reads past the end.
    for (std::size_t n = 0; n < good.size(); ++n) parseJournal(std::string_view(good).substr(0, n));
    std::mt19937 random(7);
    for (int k = 0; k < 2000; ++k) {
        std::string bytes = good;
        bytes[random() % bytes.size()] = static_cast<char>(random());
        parseJournal(bytes);
    }
}

TEST(Journal, ReplayFromAnIdThenHistoryDoneThenLive) {
    RecordedSource source(sample());
    ManualExecutor target;
    std::vector<std::vector<FileEvent>> seen;
    auto stream = source.open({"/a", "/c"}, 10, Clock::Duration::zero(), target,
                              [&](const std::vector<FileEvent>& events) { seen.push_back(events); });
    source.push({{31, 0, "/a/new"}, {32, 0, "/elsewhere"}, {20, 0, "/a/older-id-dropped"}});
    target.run();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0],
              (std::vector<FileEvent>{{11, kMustScanSubDirs, "/a"}, {25, 0, "/c/\xfe\xfd/x"}, {30, kHistoryDone, ""}}));
    EXPECT_EQ(seen[1], (std::vector<FileEvent>{{31, 0, "/a/new"}}));

    stream.reset();
    source.push({{40, 0, "/a/after-close"}});
    target.run();
    EXPECT_EQ(seen.size(), 2u) << "nothing after the stream is gone";
}

TEST(Journal, DropsRecordedAboveAScopeReachItAsRescans) {
    // A recording listens on "/", so a queue overflow is written for "/": a stream on a volume
    // below must still learn that its changes were lost, at replay and live.
    RecordedSource source(Journal{"", {{5, kKernelDropped, "/"}, {6, kMustScanSubDirs, "/v"}, {7, 0, "/"}}});
    ManualExecutor target;
    std::vector<std::vector<FileEvent>> seen;
    auto stream = source.open({"/v/w", "/x"}, 0, Clock::Duration::zero(), target,
                              [&](const std::vector<FileEvent>& events) { seen.push_back(events); });
    source.push({{8, kUserDropped, "/"}, {9, kMustScanSubDirs, "/x/y"}, {10, kUnmount, "/"}});
    target.run();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::vector<FileEvent>{{5, kKernelDropped, "/v/w"},
                                               {5, kKernelDropped, "/x"},
                                               {6, kMustScanSubDirs, "/v/w"},
                                               {7, kHistoryDone, ""}}));
    EXPECT_EQ(seen[1], (std::vector<FileEvent>{
                           {8, kUserDropped, "/v/w"}, {8, kUserDropped, "/x"}, {9, kMustScanSubDirs, "/x/y"}}));
}

}  // namespace
}  // namespace quorvanta::platform
