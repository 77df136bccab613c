// The body of snap-replay in-process, on event sources the test controls: a journal recorded from
// the live source while a tree changes, hand-made journals, and a source whose history never ends.
#include "QuorvantaCore/index/IndexWatch.h"
#include "QuorvantaCore/index/SnapshotInfo.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/events/InotifySource.h"
#include "platform/events/RecordedSource.h"
#include "quorvanta_cli/SnapReplay.h"
#include "quorvanta_cli/Tool.h"
#include "tests/QuorvantaCore/index/RefreshTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

namespace quorvanta::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using core::test::FixtureTree;
using platform::FileEvent;
using platform::Journal;
using platform::RecordedSource;

// A fixture tree scanned while the live source records its events into a journal, and saved as
// a snapshot of journal "journal-1" at the id taken before the scan.
struct Recorded {
    quorvanta::test::TempDir dir;
    FixtureTree tree{(dir / "root").string()};
    std::string journal = (dir / "events.qrvtjrn").string();
    std::string snapshot = (dir / "s.idx").string();
    std::shared_ptr<platform::InotifySource> live = std::make_shared<platform::InotifySource>();
    std::shared_ptr<platform::RecordingSource> recorder =
        std::make_shared<platform::RecordingSource>(live, journal, "journal-1");
    std::shared_ptr<core::VolumeIndex> index = core::VolumeIndex::create(1u << 16, 1u << 22, {});
    std::uint64_t savedID = 0;

    Recorded() {
        core::test::buildFixture(tree);
        EXPECT_TRUE(recorder->ok());
        core::connectToEventSource(*index, recorder.get());
        savedID = recorder->currentId();
        index->scan({tree.root()}, 2, 0);
        core::SnapshotInfo info;
        info.uuid = "none";
        info.fseUUID = "journal-1";
        info.root = tree.root();
        info.eventID = savedID;
        info.storeID = index->storeID();
        EXPECT_TRUE(index->save(snapshot, info));
    }
    ~Recorded() { core::disconnectFromEventSource(*index); }

    // The journal as recorded so far.
    std::shared_ptr<RecordedSource> replaySource() {
        live->drain();
        recorder->sync();
        return RecordedSource::fromFile(journal);
    }
};

struct Replay {
    int status = -1;
    std::string out;
};

Replay replay(const Recorded& r, std::shared_ptr<platform::EventSource> source, bool save = false,
              std::chrono::milliseconds limit = 120s) {
    std::ostringstream out, err;
    Cli cli{Args{}, out, err};
    Replay result;
    result.status = snapReplay(cli, {r.tree.root(), r.snapshot, save, std::move(source), limit});
    result.out = out.str();
    return result;
}

// The counts of the replay line.
std::string counts(const std::string& out) {
    std::smatch m;
    const bool found =
        std::regex_search(out, m,
                          std::regex("^load=[0-9.]+ ms, replay since [0-9]+: [0-9.]+ s -> (listed=[0-9]+ "
                                     "added=[0-9]+ removed=[0-9]+ updated=[0-9]+); now [0-9]+ entries"));
    EXPECT_TRUE(found) << out;
    return found ? m[1].str() : "";
}

TEST(SnapReplay, RecordedChangesAreApplied) {
    Recorded r;
    r.tree.file("a/new", 3);
    r.tree.file("a/f2", 4000);  // grows
    r.tree.remove("a/f1");
    r.tree.remove("x/y");
    r.tree.rename("b", "b2");
    const Replay result = replay(r, r.replaySource());
    EXPECT_EQ(result.status, 0) << result.out;
    // The history is applied in one refresh. Listed: the root, a and x (the others are gone).
    // Added: a/new and b2, whose contents come from its own scan. Removed: a/f1, x/y with its two
    // entries below, b with b/h. Updated: a/f2 and the times of a and x (a root keeps its own).
    EXPECT_EQ(counts(result.out), "listed=3 added=2 removed=6 updated=3");
    EXPECT_TRUE(
        std::regex_search(result.out, std::regex("\nDIFF vs fresh scan: 0 \\(replayed ([0-9]+), fresh \\1\\)\n")))
        << result.out;
}

TEST(SnapReplay, NoChangeStillCatchesUp) {
    Recorded r;
    const Replay result = replay(r, r.replaySource());
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(counts(result.out), "listed=0 added=0 removed=0 updated=0");
    EXPECT_NE(result.out.find("replay since " + std::to_string(r.savedID) + ":"), std::string::npos) << result.out;
}

TEST(SnapReplay, SavedReplayStartsTheNextOneLater) {
    Recorded r;
    r.tree.file("b/more", 5);
    const auto source = r.replaySource();
    ASSERT_FALSE(source->journal().events.empty());
    const std::uint64_t last = source->journal().events.back().id;
    const Replay first = replay(r, source, true);
    EXPECT_EQ(first.status, 0) << first.out;
    EXPECT_TRUE(first.out.ends_with("saved: true\n")) << first.out;
    const auto peeked = core::VolumeIndex::peek(r.snapshot);
    ASSERT_TRUE(peeked);
    EXPECT_EQ(peeked->info.eventID, last);
    EXPECT_EQ(peeked->info.fseUUID, "journal-1");

    const Replay second = replay(r, source);
    EXPECT_EQ(second.status, 0) << second.out;
    EXPECT_NE(second.out.find("replay since " + std::to_string(last) + ":"), std::string::npos) << second.out;
    EXPECT_EQ(counts(second.out), "listed=0 added=0 removed=0 updated=0");
}

TEST(SnapReplay, EventLogOfAnotherIdentity) {
    Recorded r;
    const Replay result = replay(r, std::make_shared<RecordedSource>(Journal{"journal-2", {}}));
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.out, "FSEvents log changed (journal-1 -> journal-2): a rescan is needed\n");
}

TEST(SnapReplay, RescansAreReportedByTheWaitingThread) {
    {
        Recorded r;
        const FileEvent dropped{r.savedID + 1, platform::kKernelDropped | platform::kMustScanSubDirs, r.tree.root()};
        const Replay result = replay(r, std::make_shared<RecordedSource>(Journal{"journal-1", {dropped}}));
        EXPECT_EQ(result.status, 6);
        EXPECT_EQ(result.out, "events dropped for a whole root: the volume needs a rescan\n");
    }
    {
        Recorded r;
        r.tree.remove("");
        const Replay result = replay(r, r.replaySource());
        EXPECT_EQ(result.status, 6);
        EXPECT_EQ(result.out, "volume missing\n");
    }
}

// A source whose history never ends: its streams deliver nothing.
class SilentSource final : public platform::EventSource {
public:
    std::uint64_t currentId() override { return 0; }
    std::optional<std::string> eventLogIdentity(dev_t) override { return "journal-1"; }
    void watchFolder(const std::string&) override {}
    std::unique_ptr<platform::EventStream> open(const std::vector<std::string>&, std::uint64_t,
                                                platform::Clock::Duration, platform::Executor&,
                                                platform::FileEventBatch) override {
        return std::make_unique<platform::EventStream>();
    }
};

TEST(SnapReplay, HistoryThatNeverEndsTimesOut) {
    Recorded r;
    const Replay result = replay(r, std::make_shared<SilentSource>(), false, 300ms);
    EXPECT_EQ(result.status, 4);
    EXPECT_EQ(result.out, "history replay timed out\n");
}

TEST(SnapReplay, ChangeMissingFromTheJournal) {
    Recorded r;
    r.tree.file("a/unseen", 1);
    const Replay result = replay(r, std::make_shared<RecordedSource>(Journal{"journal-1", {}}));
    EXPECT_EQ(result.status, 5) << result.out;
    EXPECT_NE(result.out.find("\n  only fresh: " + r.tree.at("a/unseen") + "|0|1|"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace quorvanta::cli
