// VolumeWatcher on a scripted event source and the fake clock, without sleeping: what each kind
// of event makes the index do, the debounce and its upper bound, stop, flush, restart, a failing
// start and the verbose line. A real index of a fixture tree takes the refreshes.
#include "QuorvantaCore/index/VolumeWatcher.h"

#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/events/RecordedSource.h"
#include "platform/events/StreamChannel.h"
#include "tests/QuorvantaCore/index/RefreshTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/VerboseOverride.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quorvanta::core {
namespace {

using namespace std::chrono_literals;
using platform::FileEvent;
using test::stats;

// A source whose stream delivers what the test says; `open` can be made to fail.
class ScriptedSource final : public platform::EventSource {
public:
    std::uint64_t current = 100;
    bool failOpen = false;
    std::vector<std::uint64_t> openedFrom;

    std::uint64_t currentId() override { return current; }
    std::optional<std::string> eventLogIdentity(dev_t) override { return std::nullopt; }
    void watchFolder(const std::string&) override {}
    std::unique_ptr<platform::EventStream> open(const std::vector<std::string>& scopes, std::uint64_t since,
                                                platform::Clock::Duration, platform::Executor& target,
                                                platform::FileEventBatch batch) override {
        openedFrom.push_back(since);
        if (failOpen) return nullptr;
        channel_ = std::make_shared<platform::StreamChannel>(scopes, target, std::move(batch));
        return std::make_unique<Stream>(channel_);
    }
    void deliver(std::vector<FileEvent> events) { channel_->post(std::move(events)); }

private:
    struct Stream final : platform::EventStream {
        explicit Stream(std::shared_ptr<platform::StreamChannel> c) : channel(std::move(c)) {}
        ~Stream() override { channel->close(); }
        std::shared_ptr<platform::StreamChannel> channel;
    };
    std::shared_ptr<platform::StreamChannel> channel_;
};

struct Harness {
    quorvanta::test::TempDir dir;
    test::FixtureTree tree{(dir.path() / "root").string()};
    std::shared_ptr<VolumeIndex> index;
    std::shared_ptr<ScriptedSource> source = std::make_shared<ScriptedSource>();
    platform::FakeClock clock;
    std::unique_ptr<VolumeWatcher> watcher;

    std::vector<std::pair<double, RefreshStats>> applied;  // seconds since the start, stats
    int caughtUp = 0;
    std::vector<bool> rescans;
    int startFailed = 0;
    platform::Clock::TimePoint t0 = clock.now();

    explicit Harness(std::optional<std::uint64_t> since) {
        test::buildFixture(tree);
        index = test::scanOf({tree.root()});
        watcher = std::make_unique<VolumeWatcher>(index, tree.root(), std::vector<std::string>{}, since, 500ms, source,
                                                  clock);
        watcher->onApplied = [this](const RefreshStats& s) {
            applied.emplace_back(std::chrono::duration<double>(clock.now() - t0).count(), s);
        };
        watcher->onCaughtUp = [this] { ++caughtUp; };
        watcher->onNeedsRescan = [this](bool missing) { rescans.push_back(missing); };
        watcher->onStartFailed = [this] { ++startFailed; };
    }

    // Lets the queue run what it was given, then fires the timers now due, and again.
    void settle() {
        watcher->isCaughtUp();
        clock.advance(0ms);
        watcher->isCaughtUp();
    }
    void start() {
        watcher->start();
        settle();
    }
    void deliver(std::vector<FileEvent> events) {
        source->deliver(std::move(events));
        settle();
    }
    void advance(platform::Clock::Duration by) {
        clock.advance(by);
        settle();
    }
};

TEST(VolumeWatcher, HistoryDoneAloneCatchesUpWithoutApplying) {
    Harness h(std::uint64_t{40});
    h.start();
    EXPECT_EQ(h.caughtUp, 0) << "nothing applies while the history is replayed";
    h.deliver({{120, platform::kHistoryDone, ""}});
    EXPECT_EQ(h.caughtUp, 1);
    EXPECT_TRUE(h.applied.empty());
    EXPECT_EQ(h.watcher->lastEventID(), 40u) << "the history-done event's id is not used";
    EXPECT_EQ(h.source->openedFrom, std::vector<std::uint64_t>{40});
}

TEST(VolumeWatcher, WithoutSinceCaughtUpAtTheFirstApply) {
    Harness h(std::nullopt);
    EXPECT_EQ(h.watcher->lastEventID(), 100u) << "starts at the source's current id";
    h.start();
    EXPECT_EQ(h.caughtUp, 1);
    EXPECT_TRUE(h.applied.empty());
    EXPECT_TRUE(h.watcher->isCaughtUp());
}

TEST(VolumeWatcher, EventsBecomeFoldersAndSubtrees) {
    Harness h(std::nullopt);
    h.start();
    // An item event lists its folder.
    h.tree.file("a/new", 1);
    h.deliver({{101, 0, h.tree.at("a/new")}});
    h.advance(500ms);
    ASSERT_EQ(h.applied.size(), 1u);
    EXPECT_EQ(h.applied[0].second, stats(1, 1, 0, 1));
    EXPECT_EQ(h.watcher->lastEventID(), 101u);

    // "Must scan" on a folder lists its known subtree.
    h.tree.file("a/sub/deeper", 1);
    h.deliver({{102, platform::kMustScanSubDirs, h.tree.at("a")}});
    h.advance(500ms);
    ASSERT_EQ(h.applied.size(), 2u);
    EXPECT_EQ(h.applied[1].second, stats(2, 1, 0, 1));
    EXPECT_EQ(test::dump(*h.index), test::freshDump(*h.index, {h.tree.root()}));

    // Root changed, mount and unmount change nothing; the id still advances.
    h.deliver({{103, platform::kRootChanged, h.tree.at("b/h")},
               {104, platform::kMount, h.tree.at("b")},
               {105, platform::kUnmount, h.tree.at("b")}});
    h.advance(500ms);
    EXPECT_EQ(h.applied.size(), 2u);
    EXPECT_EQ(h.watcher->lastEventID(), 105u);
}

TEST(VolumeWatcher, OnlyARescanCanHelp) {
    for (const std::uint32_t dropped : {platform::kUserDropped, platform::kKernelDropped}) {
        Harness h(std::nullopt);
        h.start();
        h.deliver({{150, dropped, h.tree.root()}});
        h.advance(500ms);
        EXPECT_EQ(h.rescans, std::vector<bool>{false}) << "a root's subtree to list: a full rescan";
        EXPECT_EQ(h.watcher->lastEventID(), 100u) << "not advanced";
        EXPECT_TRUE(h.applied.empty());
    }
    Harness h(std::nullopt);
    h.start();
    std::filesystem::rename(h.tree.root(), h.dir.path() / "gone");
    h.deliver({{150, 0, h.tree.at("a/f1")}});
    h.advance(500ms);
    EXPECT_EQ(h.rescans, std::vector<bool>{true}) << "the root is missing";
    EXPECT_EQ(h.watcher->lastEventID(), 100u);
}

TEST(VolumeWatcher, TwoBatchesApartGiveOneApplyAfterTheSecond) {
    Harness h(std::nullopt);
    h.start();
    h.tree.file("a/n1", 1);
    h.deliver({{101, 0, h.tree.at("a/n1")}});
    h.advance(300ms);
    h.tree.file("b/n2", 1);
    h.deliver({{102, 0, h.tree.at("b/n2")}});
    h.advance(499ms);
    EXPECT_TRUE(h.applied.empty());
    h.advance(1ms);
    ASSERT_EQ(h.applied.size(), 1u);
    EXPECT_NEAR(h.applied[0].first, 0.8, 1e-9);
    EXPECT_EQ(h.applied[0].second.added, 2);
}

TEST(VolumeWatcher, SteadyBatchesStillApplyAtMostFiveSecondsApart) {
    Harness h(std::nullopt);
    h.start();
    std::uint64_t id = 101;
    for (int k = 0; k < 67; ++k) {  // every 0.3 s for 20 s
        h.tree.file("a/log" + std::to_string(k), k);
        h.deliver({{id++, 0, h.tree.at("a/log" + std::to_string(k))}});
        for (int step = 0; step < 3; ++step) h.advance(100ms);  // applies are seen within 0.1 s
    }
    h.advance(500ms);
    ASSERT_GE(h.applied.size(), 4u);
    double last = 0;
    for (const auto& [when, s] : h.applied) {
        EXPECT_LE(when - last, 5.0 + 1e-9) << "applied at " << when;
        last = when;
    }
    EXPECT_EQ(h.watcher->lastEventID(), id - 1);
    EXPECT_EQ(test::dump(*h.index), test::freshDump(*h.index, {h.tree.root()}));
}

TEST(VolumeWatcher, StopCancelsThePendingApplyAndFlushAppliesIt) {
    Harness h(std::nullopt);
    h.start();
    h.tree.file("a/n1", 1);
    h.deliver({{101, 0, h.tree.at("a/n1")}});
    h.watcher->stop();
    h.advance(2s);
    EXPECT_TRUE(h.applied.empty());
    h.watcher->flush();
    ASSERT_EQ(h.applied.size(), 1u);
    EXPECT_EQ(h.watcher->lastEventID(), 101u);

    // start() after stop() opens from what was applied.
    h.start();
    EXPECT_EQ(h.source->openedFrom, (std::vector<std::uint64_t>{100, 101}));
}

TEST(VolumeWatcher, HistoryDoneWithLaterEventsInOneBatchAppliesOnce) {
    Harness h(std::uint64_t{50});
    h.start();
    h.tree.file("a/n1", 1);
    h.tree.file("b/n2", 1);
    h.deliver({{60, 0, h.tree.at("a/n1")}, {70, platform::kHistoryDone, ""}, {71, 0, h.tree.at("b/n2")}});
    ASSERT_EQ(h.applied.size(), 1u);
    EXPECT_EQ(h.applied[0].second, stats(2, 2, 0, 2));
    EXPECT_EQ(h.caughtUp, 1);
    EXPECT_EQ(h.watcher->lastEventID(), 71u);
}

TEST(VolumeWatcher, AFailingOpenIsReportedOnceAndALaterStartTriesAgain) {
    Harness h(std::nullopt);
    h.source->failOpen = true;
    h.start();
    h.advance(5s);
    EXPECT_EQ(h.startFailed, 1);
    EXPECT_EQ(h.caughtUp, 0);
    h.source->failOpen = false;
    h.start();
    EXPECT_EQ(h.startFailed, 1);
    EXPECT_EQ(h.caughtUp, 1);
}

TEST(VolumeWatcher, VerboseLineForASubtreeRescan) {
    quorvanta::test::VerboseOverride verbose(true);
    Harness h(std::nullopt);
    h.start();
    ::testing::internal::CaptureStderr();
    h.deliver({{4660, platform::kMustScanSubDirs | platform::kKernelDropped, h.tree.at("a")}});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "fsevents: rescan subtree " + h.tree.at("a") + " flags=0x5 id=4660\n");
}

TEST(EventSourceProcess, FseUUIDAnswersFromTheInstalledSource) {
    platform::setProcessEventSource(std::make_shared<platform::RecordedSource>(platform::Journal{"journal-9", {}}));
    EXPECT_EQ(VolumeID::fseUUID("/"), "journal-9");
    platform::setProcessEventSource(nullptr);
    EXPECT_EQ(VolumeID::fseUUID("/"), std::nullopt) << "the live source keeps no history";
}

}  // namespace
}  // namespace quorvanta::core
