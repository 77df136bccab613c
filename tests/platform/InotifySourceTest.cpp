// The live inotify source: decoding synthetic event buffers, a live temporary folder, the
// history replayed to a stream opened from an earlier id, and folders polled once the kernel
// refuses more watches.
#include "platform/events/InotifySource.h"

#include "tests/platform/ManualExecutor.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace quorvanta::platform {
namespace {

using namespace std::chrono_literals;

using test_support::ManualExecutor;

void addRecord(std::string& buffer, int wd, std::uint32_t mask, std::uint32_t cookie, const std::string& name) {
    inotify_event ev{};
    ev.wd = wd;
    ev.mask = mask;
    ev.cookie = cookie;
    ev.len = name.empty() ? 0 : static_cast<std::uint32_t>((name.size() + 1 + 15) / 16 * 16);
    buffer.append(reinterpret_cast<const char*>(&ev), sizeof ev);
    std::string padded = name;
    padded.resize(ev.len, '\0');
    buffer += padded;
}

TEST(InotifyDecode, SyntheticBuffers) {
    const std::map<int, std::string> watches = {{1, "/w"}, {2, "/w/sub\xff"}, {3, "/"}};
    auto pathOf = [&](int wd) -> const std::string* {
        const auto it = watches.find(wd);
        return it == watches.end() ? nullptr : &it->second;
    };
    std::string buffer;
    addRecord(buffer, 1, IN_MOVED_FROM, 77, "old");
    addRecord(buffer, 2, IN_MOVED_TO, 77, "new\xfe");
    addRecord(buffer, 1, IN_CREATE | IN_ISDIR, 0, "dir");
    addRecord(buffer, 1, IN_MOVED_TO | IN_ISDIR, 9, "moved-dir");
    addRecord(buffer, 3, IN_CREATE, 0, "top");
    addRecord(buffer, 2, IN_DELETE_SELF, 0, "");
    addRecord(buffer, 2, IN_IGNORED, 0, "");
    addRecord(buffer, 1, IN_UNMOUNT, 0, "");
    addRecord(buffer, 9, IN_CREATE, 0, "unknown-watch");
    addRecord(buffer, -1, IN_Q_OVERFLOW, 0, "");
    const InotifyDecoding d = decodeInotify(buffer.data(), buffer.size(), pathOf);
    EXPECT_EQ(d.events, (std::vector<FileEvent>{{0, 0, "/w/old"},
                                                {0, 0, "/w/sub\xff/new\xfe"},
                                                {0, 0, "/w/dir"},
                                                {0, 0, "/w/moved-dir"},
                                                {0, 0, "/top"},
                                                {0, 0, "/w/sub\xff"},
                                                {0, kUnmount, "/w"}}));
    EXPECT_EQ(d.newFolders, (std::vector<std::string>{"/w/dir", "/w/moved-dir"}));
    EXPECT_EQ(d.forgotten, std::vector<int>{2});
    EXPECT_TRUE(d.overflow);

    // A record cut short at the end of the buffer is not read.
    for (std::size_t cut = 1; cut < 40; ++cut) {
        const InotifyDecoding part = decodeInotify(buffer.data(), buffer.size() - cut, pathOf);
        EXPECT_FALSE(part.overflow) << cut;
    }
}

struct Live {
    test::TempDir dir;
    FakeClock clock;
    std::unique_ptr<InotifySource> source;
    ManualExecutor target;
    std::vector<FileEvent> seen;

    explicit Live(InotifySource::AddWatch add = {}) : source(std::make_unique<InotifySource>(clock, std::move(add))) {}
    std::unique_ptr<EventStream> open(std::uint64_t since) {
        return source->open({dir.path().string()}, since, 300ms, target, [this](const std::vector<FileEvent>& events) {
            seen.insert(seen.end(), events.begin(), events.end());
        });
    }
    void drain() {
        source->drain();
        target.run();
    }
    bool saw(const std::string& path) const {
        for (const FileEvent& e : seen)
            if (e.path == path) return true;
        return false;
    }
};

TEST(InotifySource, LiveFolderAndHistory) {
    Live live;
    const std::string root = live.dir.path().string();
    live.source->watchFolder(root);
    const std::uint64_t id0 = live.source->currentId();
    auto stream = live.open(id0);
    live.drain();
    ASSERT_EQ(live.seen.size(), 1u);
    EXPECT_EQ(live.seen[0].flags, kHistoryDone);

    live.dir.write("file\xff", "x");
    mkdir((root + "/newdir").c_str(), 0755);
    live.drain();
    EXPECT_TRUE(live.saw(root + "/file\xff"));
    EXPECT_TRUE(live.saw(root + "/newdir"));
    // The new folder is watched at once: a file made in it is seen.
    live.dir.write("newdir/inner", "y");
    live.drain();
    EXPECT_TRUE(live.saw(root + "/newdir/inner"));
    for (std::size_t k = 1; k < live.seen.size(); ++k) EXPECT_GT(live.seen[k].id, live.seen[k - 1].id);
    const std::size_t liveCount = live.seen.size();

    // A second stream from the first id replays one item per folder, then history done.
    Live* l = &live;
    std::vector<FileEvent> replayed;
    auto second = l->source->open({root}, id0, 300ms, l->target,
                                  [&](const std::vector<FileEvent>& events) { replayed = events; });
    l->target.run();
    ASSERT_GE(replayed.size(), 3u);
    EXPECT_EQ(replayed.back().flags, kHistoryDone);
    EXPECT_GE(replayed.back().id, live.seen.back().id);
    EXPECT_EQ(live.seen.size(), liveCount);

    // An id from before the source started: "must scan" on each scope.
    std::vector<FileEvent> unknown;
    auto third =
        l->source->open({root}, 1, 300ms, l->target, [&](const std::vector<FileEvent>& events) { unknown = events; });
    l->target.run();
    EXPECT_EQ(unknown, (std::vector<FileEvent>{{unknown.at(0).id, kMustScanSubDirs, root},
                                               {unknown.at(1).id, kHistoryDone, ""}}));
}

TEST(InotifySource, WatchLimitPollsTheRest) {
    int allowed = 1;
    Live live([&](int fd, const char* path, std::uint32_t mask) {
        if (allowed-- > 0) return inotify_add_watch(fd, path, mask);
        errno = ENOSPC;
        return -1;
    });
    const std::string root = live.dir.path().string();
    mkdir((root + "/polled").c_str(), 0755);
    live.source->watchFolder(root);
    live.source->watchFolder(root + "/polled");
    EXPECT_EQ(live.source->watchedFolders(), 1u);
    EXPECT_EQ(live.source->polledFolders(), 1u);
    auto stream = live.open(live.source->currentId());
    live.drain();
    live.seen.clear();

    live.dir.write("polled/made", "1");
    struct timespec later[2] = {{0, UTIME_OMIT}, {2'000'000'000, 0}};
    utimensat(AT_FDCWD, (root + "/polled").c_str(), later, 0);
    live.drain();
    EXPECT_FALSE(live.saw(root + "/polled/.")) << "not before the poll interval";
    live.clock.advance(InotifySource::kPollInterval);
    live.drain();
    EXPECT_TRUE(live.saw(root + "/polled/.")) << "the polled folder is reported for listing";
}

}  // namespace
}  // namespace quorvanta::platform
