#include "audio/dupes/DuplicateFinder.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "tests/audio/DupTestTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <thread>

namespace quorvanta::audio {
namespace {

namespace fs = std::filesystem;
using test::entryOf;
using test::ProgressLog;
using test::scanned;
using test::seededBytes;
using P = DuplicateFinder::Progress;

// The hash stages only: these suites look at stages 1-3.
DuplicateFinder::Options hashStages() {
    DuplicateFinder::Options options;
    options.stages = {DupStage::size, DupStage::quickHash, DupStage::fullHash};
    return options;
}

std::vector<DupGroup> runFinder(std::vector<std::shared_ptr<core::VolumeIndex>> volumes,
                                DuplicateFinder::Options options = hashStages(), ProgressLog* log = nullptr) {
    DuplicateFinder finder(std::move(volumes), std::move(options));
    return finder.run(log ? log->callback() : DuplicateFinder::ProgressFn{});
}

void setMTime(const fs::path& path, std::uint32_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

TEST(DuplicateFinderTraps, OnlyByteIdenticalDistinctFilesAreGrouped) {
    quorvanta::test::TempDir dir;
    const std::string small = seededBytes(100'000, 1);
    const std::string large = seededBytes(5'000'000, 2);
    std::string middle = seededBytes(300'000, 3);
    std::string edge = seededBytes(131'073, 4);  // head and tail blocks both miss byte 65,536
    dir.write("small-1.mp3", small);
    dir.write("small-2.flac", small);
    dir.write("large-1.wav", large);
    dir.write("sub/large-2.m4a", large);
    dir.write("same-size-1.mp3", seededBytes(200'000, 5));
    dir.write("same-size-2.mp3", seededBytes(200'000, 6));
    dir.write("middle-1.mp3", middle);
    middle[150'000] ^= 0x40;
    dir.write("middle-2.mp3", middle);
    dir.write("edge-1.mp3", edge);
    edge[65'536] ^= 0x01;
    dir.write("edge-2.mp3", edge);
    const fs::path linked = dir.write("linked-1.ogg", seededBytes(150'000, 7));
    fs::create_hard_link(linked, dir / "linked-2.ogg");
    dir.write("notes.txt", small);                   // not an audio extension
    dir.write("tiny-1.mp3", std::string(500, 't'));  // below minSize
    dir.write("tiny-2.mp3", std::string(500, 't'));

    ProgressLog log;
    const auto groups = runFinder({scanned(dir.path())}, hashStages(), &log);
    const std::vector<std::set<std::string>> expected = {
        {(dir / "large-1.wav").string(), (dir / "sub/large-2.m4a").string()},
        {(dir / "small-1.mp3").string(), (dir / "small-2.flac").string()},
    };
    EXPECT_EQ(test::memberPathSets(groups), expected);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].id, 2) << "settled by the full hash, after the quick-hash settled group";
    EXPECT_EQ(groups[1].id, 1);
    for (const DupGroup& g : groups) {
        EXPECT_EQ(g.kind, DupKind::identical);
        EXPECT_FALSE(g.confirmed.has_value());
        for (const DupMember& m : g.members) EXPECT_EQ(m.size, fs::file_size(m.path)) << m.path;
    }
    // 12 candidates in 6 size buckets; 4 quick groups (not the hardlink pair, not same-size); the
    // small twins settled by the quick hash, 6 files full-hashed, 2 groups in the end.
    const auto reports = log.reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), (P{DupStage::size, 12, 12, 6}));
    EXPECT_EQ(reports.back(), (P{DupStage::fullHash, 6, 6, 2}));
}

TEST(DuplicateFinderTraps, SmallTwinsAreSettledByTheQuickHash) {
    quorvanta::test::TempDir dir;
    const std::string bytes = seededBytes(100'000, 11);
    dir.write("a.mp3", bytes);
    dir.write("b.mp3", bytes);
    ProgressLog log;
    const auto groups = runFinder({scanned(dir.path())}, hashStages(), &log);
    ASSERT_EQ(groups.size(), 1u);
    const std::vector<P> expected = {
        {DupStage::size, 2, 2, 1},
        {DupStage::quickHash, 2, 2, 1},  // the pool's tick at the last item
        {DupStage::quickHash, 2, 2, 1},
        {DupStage::fullHash, 0, 0, 1},
    };
    EXPECT_EQ(log.reports(), expected);
}

TEST(DuplicateFinderTraps, OneFileThroughOverlappingRootsCountsOnce) {
    quorvanta::test::TempDir dir;
    const std::string bytes = seededBytes(250'000, 12);
    dir.write("music/x.mp3", bytes);
    dir.write("music/y.mp3", bytes);
    dir.write("music/solo.mp3", seededBytes(250'000, 13));
    const auto outer = scanned(dir.path());
    const auto inner = scanned(dir / "music");
    const auto groups = runFinder({outer, inner});
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_EQ(groups[0].members.size(), 2u);
    const std::set<std::string> paths(test::memberPathSets(groups)[0]);
    EXPECT_EQ(paths, (std::set<std::string>{(dir / "music/x.mp3").string(), (dir / "music/y.mp3").string()}));
    for (const DupMember& m : groups[0].members) EXPECT_EQ(m.vol, 0) << "the first in candidate order stays";
}

TEST(DuplicateFinderTraps, MembersOfTwoVolumesCarryVolumeAndEntryIds) {
    quorvanta::test::TempDir one, two;
    const std::string bytes = seededBytes(180'000, 14);
    const fs::path a = one.write("deep/a.mp3", bytes);
    const fs::path b = two.write("b.mp3", bytes);
    const auto v0 = scanned(one.path());
    const auto v1 = scanned(two.path());
    const auto groups = runFinder({v0, v1});
    ASSERT_EQ(groups.size(), 1u);
    std::set<std::string> ids;
    for (const DupMember& m : groups[0].members) ids.insert(m.id());
    EXPECT_EQ(ids,
              (std::set<std::string>{"0:" + std::to_string(entryOf(*v0, a)), "1:" + std::to_string(entryOf(*v1, b))}));
}

TEST(DuplicateFinderProgress, NoCandidates) {
    quorvanta::test::TempDir dir;
    dir.write("readme.txt", "nothing to see");
    ProgressLog log;
    EXPECT_TRUE(runFinder({scanned(dir.path())}, hashStages(), &log).empty());
    const std::vector<P> expected = {
        {DupStage::size, 0, 0, 0}, {DupStage::quickHash, 0, 0, 0}, {DupStage::fullHash, 0, 0, 0}};
    EXPECT_EQ(log.reports(), expected);
}

TEST(DuplicateFinderProgress, WithoutAHashStageTheRunEndsAfterTheSizeStage) {
    quorvanta::test::TempDir dir;
    const std::string bytes = seededBytes(140'000, 15);
    dir.write("a.mp3", bytes);
    dir.write("b.mp3", bytes);
    const auto volume = scanned(dir.path());
    for (const DupStage missing : {DupStage::quickHash, DupStage::fullHash}) {
        DuplicateFinder::Options options;
        options.stages.erase(missing);
        ProgressLog log;
        EXPECT_TRUE(runFinder({volume}, options, &log).empty()) << "without stage " << rawValue(missing);
        EXPECT_EQ(log.reports(), (std::vector<P>{{DupStage::size, 2, 2, 1}})) << "without stage " << rawValue(missing);
    }
}

TEST(DuplicateFinderProgress, ThreadCountsBelowOneRunOneWorker) {
    quorvanta::test::TempDir dir;
    for (int g = 0; g < 70; ++g) {  // 140 files: ticks at 64 and 128 as well as at the end
        const std::string bytes = seededBytes(2000 + g, 100 + g);
        dir.write("a" + std::to_string(g) + ".mp3", bytes);
        dir.write("b" + std::to_string(g) + ".mp3", bytes);
    }
    const auto volume = scanned(dir.path());
    DuplicateFinder::Options one;
    one.threads = 1;
    ProgressLog reference;
    const auto expected = test::memberPathSets(runFinder({volume}, one, &reference));
    EXPECT_EQ(expected.size(), 70u);
    for (const std::int64_t threads : {0, -1}) {
        DuplicateFinder::Options options;
        options.threads = threads;
        ProgressLog log;
        EXPECT_EQ(test::memberPathSets(runFinder({volume}, options, &log)), expected) << "threads " << threads;
        EXPECT_EQ(log.reports(), reference.reports()) << "threads " << threads;
    }
    for (const std::int64_t threads : {0, -1}) {
        DuplicateFinder::Options options;
        options.threads = threads;
        DuplicateFinder finder({}, options);
        std::mutex mutex;
        std::set<std::thread::id> workers;
        finder.parallelMap<int, int>(std::vector<int>(200, 0), {}, [&](const int&) -> std::optional<int> {
            std::lock_guard guard(mutex);
            workers.insert(std::this_thread::get_id());
            return 1;
        });
        EXPECT_EQ(workers.size(), 1u) << "threads " << threads;
    }
    const std::vector<P> reports = reference.reports();
    ASSERT_GE(reports.size(), 4u);
    const std::vector<P> ticks(reports.begin() + 1, reports.begin() + 4);
    EXPECT_EQ(ticks, (std::vector<P>{{DupStage::quickHash, 64, 140, 70},
                                     {DupStage::quickHash, 128, 140, 70},
                                     {DupStage::quickHash, 140, 140, 70}}));
}

TEST(DuplicateFinderProgress, FinalOrderIsSurplusDescendingThenId) {
    quorvanta::test::TempDir dir;
    const std::string three = seededBytes(200'000, 21);
    for (const char* name : {"t1.mp3", "t2.mp3", "t3.mp3"}) dir.write(name, three);  // surplus 400,000
    const std::string big = seededBytes(300'000, 22);
    dir.write("b1.mp3", big);  // surplus 300,000
    dir.write("b2.mp3", big);
    for (int pair = 0; pair < 3; ++pair) {  // three groups of surplus 100,000 in one size bucket
        const std::string bytes = seededBytes(100'000, 30 + pair);
        dir.write("p" + std::to_string(pair) + "-1.mp3", bytes);
        dir.write("p" + std::to_string(pair) + "-2.mp3", bytes);
    }
    const auto groups = runFinder({scanned(dir.path())});
    ASSERT_EQ(groups.size(), 5u);
    std::vector<std::uint64_t> surplus;
    for (const DupGroup& g : groups) surplus.push_back(g.surplusBytes());
    EXPECT_EQ(surplus, (std::vector<std::uint64_t>{400'000, 300'000, 100'000, 100'000, 100'000}));
    EXPECT_LT(groups[2].id, groups[3].id);
    EXPECT_LT(groups[3].id, groups[4].id);
    std::set<std::int64_t> ids;
    for (const DupGroup& g : groups) ids.insert(g.id);
    EXPECT_EQ(ids, (std::set<std::int64_t>{1, 2, 3, 4, 5}));
}

core::AudioMeta lossy(std::uint16_t kbps) {
    core::AudioMeta m;
    m.codec = core::AudioCodec::mp3;
    m.bitrateKbps = kbps;
    m.durationMs = 180'000;
    return m;
}

core::AudioMeta lossless(std::uint32_t rate, std::uint8_t bits) {
    core::AudioMeta m;
    m.codec = core::AudioCodec::flac;
    m.sampleRate = rate;
    m.bits = bits;
    m.durationMs = 180'000;
    return m;
}

core::AudioMeta tagged(std::string artist) {
    core::AudioMeta m = lossy(256);
    m.artist = std::move(artist);
    m.title = "Song";
    return m;
}

TEST(DuplicateFinderKeeper, BestMemberByQualityTagsAgeAndPath) {
    // Each case is one pair of identical files (a size of its own); the audio facts come from the
    // volume's audio table.
    struct Case {
        const char* what;
        const char* first;
        const char* second;
        std::optional<core::AudioMeta> firstMeta, secondMeta;
        std::uint32_t firstMTime, secondMTime;
        const char* keeper;
    };
    const Case cases[] = {
        {"lossless over 320 kbit/s", "q1.mp3", "q2.flac", lossy(320), lossless(44'100, 16), 1000, 1000, "q2.flac"},
        {"48 kHz/24 bit over 44.1 kHz/16 bit", "r1.flac", "r2.flac", lossless(44'100, 16), lossless(48'000, 24), 1000,
         1000, "r2.flac"},
        {"richer tags; a decomposed e-acute is one character", "s1.mp3", "s2.mp3",
         tagged("e\xCC\x81"
                "e\xCC\x81"),
         tagged("abc"), 1000, 1000, "s2.mp3"},
        {"older file", "o1.mp3", "o2.mp3", std::nullopt, std::nullopt, 2000, 1000, "o2.mp3"},
        {"equal times, shorter path", "long-name.mp3", "ln.mp3", std::nullopt, std::nullopt, 1000, 1000, "ln.mp3"},
    };
    quorvanta::test::TempDir dir;
    std::size_t size = 5000;
    for (const Case& c : cases) {
        const std::string bytes = seededBytes(size, static_cast<unsigned>(size));
        ++size;
        setMTime(dir.write(c.first, bytes), c.firstMTime);
        setMTime(dir.write(c.second, bytes), c.secondMTime);
    }
    const auto volume = scanned(dir.path());
    auto table = std::make_shared<core::AudioTable>();
    std::vector<core::AudioTable::Row> rows;
    for (const Case& c : cases) {
        if (c.firstMeta) rows.push_back({entryOf(*volume, dir / c.first), c.firstMTime, *c.firstMeta});
        if (c.secondMeta) rows.push_back({entryOf(*volume, dir / c.second), c.secondMTime, *c.secondMeta});
    }
    table->upsert(rows);
    volume->setAudio(table);

    const auto groups = runFinder({volume});
    ASSERT_EQ(groups.size(), std::size(cases));
    for (const Case& c : cases) {
        const auto group = std::find_if(groups.begin(), groups.end(), [&](const DupGroup& g) {
            return std::any_of(g.members.begin(), g.members.end(),
                               [&](const DupMember& m) { return m.path == (dir / c.first).string(); });
        });
        ASSERT_NE(group, groups.end()) << c.what;
        EXPECT_EQ(group->members[group->keep].path, (dir / c.keeper).string()) << c.what;
        for (const DupMember& m : group->members) EXPECT_TRUE(m.meta.has_value() == c.firstMeta.has_value()) << c.what;
    }
}

TEST(DuplicateFinderKeeper, RuleOrderAndTies) {
    auto member = [](std::string path, std::uint32_t mtime, std::optional<core::AudioMeta> meta = std::nullopt) {
        DupMember m;
        m.path = std::move(path);
        m.mtime = mtime;
        m.meta = std::move(meta);
        return m;
    };
    struct Case {
        const char* what;
        std::vector<DupMember> members;
        std::int64_t keep;
    };
    const Case cases[] = {
        {"none", {}, 0},
        {"one", {member("/a", 1)}, 0},
        {"complete tie: the first", {member("/a", 5), member("/b", 5), member("/c", 5)}, 0},
        {"quality before tags", {member("/a", 1, tagged("Long Artist Name")), member("/b", 1, lossy(320))}, 1},
        {"tags before age", {member("/a", 1, lossy(256)), member("/b", 9, tagged("X"))}, 1},
        {"age before path", {member("/short", 9), member("/much/longer/path", 1)}, 1},
        {"an invalid byte counts as one character", {member("/\xFF\xFF\xFF", 1), member("/ab", 1)}, 1},
        {"a decomposed e-acute counts as one character",
         {member("/e\xCC\x81"
                 "e\xCC\x81",
                 1),
          member("/abcd", 1)},
         0},
        {"the best anywhere in the list", {member("/a", 9), member("/b", 7), member("/c", 3), member("/d", 4)}, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(DuplicateFinder::best(c.members), c.keep) << c.what;
}

TEST(DuplicateFinderCancel, CancelFromAnotherThreadAtEachCheckpoint) {
    quorvanta::test::TempDir dir;
    const std::string small = seededBytes(100'000, 41);
    const std::string large = seededBytes(2'000'000, 42);
    dir.write("s1.mp3", small);
    dir.write("s2.mp3", small);
    dir.write("l1.mp3", large);
    dir.write("l2.mp3", large);
    const auto volume = scanned(dir.path());

    struct Case {
        const char* what;
        DupStage stage;
        int nth;  // cancel at the nth report of the stage, from 1
        std::size_t groups;
    };
    const Case cases[] = {
        {"after the size stage", DupStage::size, 1, 0},
        {"inside the quick-hash pool", DupStage::quickHash, 1, 0},
        {"after the quick-hash stage", DupStage::quickHash, 2, 0},
        {"inside the full-hash pool", DupStage::fullHash, 1, 2},
        {"after the full-hash stage", DupStage::fullHash, 2, 2},
    };
    for (const Case& c : cases) {
        DuplicateFinder finder({volume}, {});
        std::mutex mutex;
        int seen = 0;
        std::vector<P> reports;
        const auto groups = finder.run([&](const P& p) {
            std::lock_guard guard(mutex);
            reports.push_back(p);
            if (p.stage == c.stage && ++seen == c.nth) std::thread([&] { finder.cancel(); }).join();
        });
        EXPECT_TRUE(finder.isCancelled()) << c.what;
        EXPECT_EQ(groups.size(), c.groups) << c.what;
        EXPECT_EQ(reports.back().stage, c.stage) << c.what << ": no report after the cancel";
        EXPECT_EQ(reports.back().done, reports.back().total) << c.what << ": the stage's reports end complete";
    }
}

TEST(DuplicateFinderCancel, CancelledPoolStartsNoFurtherItem) {
    DuplicateFinder::Options options;
    options.threads = 3;
    DuplicateFinder finder({}, options);
    const std::vector<int> items(500, 1);
    std::atomic<int> started{0};
    std::atomic<int> startedCancelled{0};  // items that began with the cancel already visible
    const auto results = finder.parallelMap<int, int>(items, {}, [&](const int& v) -> std::optional<int> {
        if (finder.isCancelled()) ++startedCancelled;
        if (++started == 10) finder.cancel();
        return v;
    });
    ASSERT_EQ(results.size(), items.size());
    const auto filled = std::count_if(results.begin(), results.end(), [](const auto& r) { return r.has_value(); });
    EXPECT_EQ(filled, started.load());
    EXPECT_GE(filled, 10);
    // Another worker may have claimed its next item just before the cancel; none claims after.
    EXPECT_LE(startedCancelled.load(), options.threads - 1) << "at most one item per other worker after the cancel";
    for (std::size_t i = 0; i < static_cast<std::size_t>(filled); ++i) EXPECT_TRUE(results[i]) << "items go in order";
}

}  // namespace
}  // namespace quorvanta::audio
