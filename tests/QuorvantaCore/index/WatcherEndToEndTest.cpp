// The watcher on the real inotify source and on a recorded journal, against fresh scans of the
// same trees: changes made while the scan runs and after it, the watch limit forced so that
// folders are polled, a replay of a recorded journal, and the resume of a loaded index by
// reconcile with the watcher started first.
#include "QuorvantaCore/index/IndexWatch.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index/VolumeWatcher.h"
#include "platform/events/InotifySource.h"
#include "platform/events/RecordedSource.h"

#include "tests/QuorvantaCore/index/RefreshTestSupport.h"
#include "tests/support/TempDir.h"

#include <sys/inotify.h>

#include <gtest/gtest.h>

#include <atomic>

namespace quorvanta::core {
namespace {

using namespace std::chrono_literals;
using test::FixtureTree;

// Passes everything on to the live source; the first time a chosen folder is about to be
// listed, a file appears in it (a change in the middle of the scan).
class ChangeDuringScan final : public platform::EventSource {
public:
    ChangeDuringScan(std::shared_ptr<platform::InotifySource> live, std::string folder)
        : live_(std::move(live)), folder_(std::move(folder)) {}
    std::uint64_t currentId() override { return live_->currentId(); }
    std::optional<std::string> eventLogIdentity(dev_t d) override { return live_->eventLogIdentity(d); }
    void watchFolder(const std::string& path) override {
        live_->watchFolder(path);
        if (path == folder_ && !done_.exchange(true))
            test::must(creat((path + "/during-scan").c_str(), 0644) >= 0, "creat");
    }
    std::unique_ptr<platform::EventStream> open(const std::vector<std::string>& scopes, std::uint64_t since,
                                                platform::Clock::Duration latency, platform::Executor& target,
                                                platform::FileEventBatch batch) override {
        return live_->open(scopes, since, latency, target, std::move(batch));
    }

private:
    std::shared_ptr<platform::InotifySource> live_;
    std::string folder_;
    std::atomic<bool> done_{false};
};

// Changes of every kind the watcher must carry into the index.
void changeEverything(const FixtureTree& t) {
    t.dir("a/p");
    t.dir("a/p/q");
    t.dir("a/p/q/r");
    t.file("a/p/q/r/deep", 3);
    t.rename("b", "b2");
    t.remove("x/y");
    t.file("a/f2", 4000);  // grows
    t.remove("a/f1");
    t.link("a/f1", "f2");  // a file became a link
    t.file("d\xff/new\xfe", 2);
    t.dir("e\xfa");
    t.file("e\xfa/f\xfb", 1);
}

// Lets the watcher's queue take what the source delivered, then applies it.
void catchUp(platform::InotifySource& source, VolumeWatcher& watcher) {
    source.drain();
    watcher.isCaughtUp();
    watcher.flush();
}

TEST(WatcherEndToEnd, LiveInotifyKeepsTheIndexCurrent) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    auto live = std::make_shared<platform::InotifySource>();
    auto hooked = std::make_shared<ChangeDuringScan>(live, tree.at("a/sub"));
    auto index = VolumeIndex::create(1u << 16, 1u << 22, {});
    connectToEventSource(*index, hooked.get());
    const std::uint64_t id0 = live->currentId();
    index->scan({tree.root()}, 2, 0);
    VolumeWatcher watcher(index, tree.root(), {}, id0, 500ms, hooked);
    watcher.start();
    changeEverything(tree);
    catchUp(*live, watcher);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));

    // Watches follow renamed folders: the renamed folder's new files are seen too.
    tree.file("b2/after-rename", 5);
    tree.file("a/p/q/r/deeper", 6);
    tree.remove("e\xfa");
    catchUp(*live, watcher);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
    EXPECT_TRUE(watcher.isCaughtUp());
    EXPECT_GT(watcher.lastEventID(), id0);
    disconnectFromEventSource(*index);
}

TEST(WatcherEndToEnd, FoldersBeyondTheWatchLimitArePolled) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    platform::FakeClock pollClock;
    std::atomic<int> allowed{2};
    auto live = std::make_shared<platform::InotifySource>(pollClock, [&](int fd, const char* path, std::uint32_t mask) {
        if (allowed.fetch_sub(1) > 0) return inotify_add_watch(fd, path, mask);
        errno = ENOSPC;
        return -1;
    });
    auto index = VolumeIndex::create(1u << 16, 1u << 22, {});
    connectToEventSource(*index, live.get());
    VolumeWatcher watcher(index, tree.root(), {}, std::nullopt, 500ms, live);
    index->scan({tree.root()}, 2, 0);
    watcher.start();
    ASSERT_GT(live->polledFolders(), 3u);

    tree.file("x/y/z/made", 1);
    tree.remove("a/sub/g");
    tree.file("b/h", 70);
    tree.setTime("b", 2'000'000'000);  // h's new size shows through its folder's time only
    catchUp(*live, watcher);
    EXPECT_NE(test::dump(*index), test::freshDump(*index, {tree.root()})) << "nothing before the poll";
    pollClock.advance(platform::InotifySource::kPollInterval);
    catchUp(*live, watcher);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
    disconnectFromEventSource(*index);
}

TEST(WatcherEndToEnd, ReplayOfARecordedJournal) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const std::string journal = (dir.path() / "events.qrvtjrn").string();
    auto live = std::make_shared<platform::InotifySource>();
    auto recorder = std::make_shared<platform::RecordingSource>(live, journal, "journal-1");
    ASSERT_TRUE(recorder->ok());
    auto index = VolumeIndex::create(1u << 16, 1u << 22, {});
    connectToEventSource(*index, recorder.get());
    const std::uint64_t id0 = recorder->currentId();
    index->scan({tree.root()}, 2, 0);
    changeEverything(tree);
    live->drain();
    recorder->sync();

    const auto recorded = platform::RecordedSource::fromFile(journal);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->eventLogIdentity(0), "journal-1");
    VolumeWatcher watcher(index, tree.root(), {}, id0, 500ms, recorded);
    int caughtUp = 0;
    watcher.onCaughtUp = [&] { ++caughtUp; };
    watcher.start();
    watcher.isCaughtUp();
    watcher.flush();
    EXPECT_EQ(caughtUp, 1);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
    disconnectFromEventSource(*index);
}

// The resume of a loaded index on Linux: current id, watcher without `since`, the index's folders
// watched, then reconcile. The watcher covers reconcile's blind spot (a file changed in place).
TEST(WatcherEndToEnd, ReconcileResumeWithTheWatcherFirst) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    auto index = test::scanOf({tree.root()});  // no hook: as a loaded snapshot
    tree.file("a/while-away", 1);
    tree.remove("b/h");

    auto live = std::make_shared<platform::InotifySource>();
    connectToEventSource(*index, live.get());
    VolumeWatcher watcher(index, tree.root(), {}, std::nullopt, 500ms, live);
    watcher.start();
    EXPECT_EQ(watchIndexedFolders(*index, {}, live.get()), 8u);
    tree.resizeKeepingTimes("a/sub/g", 77);  // its folder's time does not move
    tree.file("x/y/z/new", 2);
    index->reconcileByFolderMtime(8);
    catchUp(*live, watcher);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
    disconnectFromEventSource(*index);
}

}  // namespace
}  // namespace quorvanta::core
