#include "audio/dupes/DuplicateFinder.h"

#include "tests/audio/DupTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace quorvanta::audio {
namespace {

namespace fs = std::filesystem;
using test::attach;
using test::entryOf;
using test::ProgressLog;
using test::scanned;
using test::seededBytes;

core::AudioMeta song(std::uint32_t durationMs, core::AudioCodec codec = core::AudioCodec::mp3) {
    core::AudioMeta m;
    m.artist = "The Band";
    m.title = "Long Song";
    m.durationMs = durationMs;
    m.codec = codec;
    m.bitrateKbps = 256;
    return m;
}

std::vector<DupGroup> songGroups(const std::vector<DupGroup>& groups) {
    std::vector<DupGroup> out;
    std::copy_if(groups.begin(), groups.end(), std::back_inserter(out),
                 [](const DupGroup& g) { return g.kind == DupKind::sameSong; });
    return out;
}

TEST(SameSongGroups, CopiesCountOnceAndFormatsJoin) {
    quorvanta::test::TempDir dir;
    const std::string mp3 = seededBytes(40'000, 1);
    for (const char* name : {"a/copy1.mp3", "b/copy2.mp3", "c/copy3.mp3"}) dir.write(name, mp3);
    const auto volume = scanned(dir.path());
    attach(*volume, {{dir / "a/copy1.mp3", song(180'000)},
                     {dir / "b/copy2.mp3", song(180'000)},
                     {dir / "c/copy3.mp3", song(180'000)}});
    const auto groups = DuplicateFinder({volume}, {}).run({});
    ASSERT_EQ(groups.size(), 1u) << "three copies in one identical group are not also the same song";
    EXPECT_EQ(groups[0].kind, DupKind::identical);

    quorvanta::test::TempDir two;
    two.write("a/copy1.mp3", mp3);
    two.write("b/copy2.mp3", mp3);
    two.write("lossless.flac", seededBytes(90'000, 2));
    const auto volume2 = scanned(two.path());
    attach(*volume2, {{two / "a/copy1.mp3", song(180'000)},
                      {two / "b/copy2.mp3", song(180'000)},
                      {two / "lossless.flac", song(180'500, core::AudioCodec::flac)}});
    ProgressLog log;
    const auto all = DuplicateFinder({volume2}, {}).run(log.callback());
    const auto songs = songGroups(all);
    ASSERT_EQ(songs.size(), 1u);
    EXPECT_EQ(songs[0].members.size(), 2u);
    EXPECT_TRUE(test::memberPaths(songs[0]).contains((two / "lossless.flac").string()));
    EXPECT_EQ(songs[0].members[songs[0].keep].path, (two / "lossless.flac").string());
    EXPECT_EQ(songs[0].id, 2) << "numbered after the identical group";
    EXPECT_FALSE(songs[0].confirmed.has_value());
    EXPECT_EQ(log.reports().back(), (DuplicateFinder::Progress{DupStage::sameSong, 3, 3, 1}));
}

TEST(SameSongGroups, DurationsClusterByTheirNeighbours) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> durations;
        std::vector<std::size_t> groupSizes;
    };
    const Case cases[] = {
        {"2,001 ms apart", {180'000, 182'001}, {}},
        {"2,000 ms apart", {180'000, 182'000}, {2}},
        {"a chain 1.5 s apart", {180'000, 181'500, 183'000}, {3}},
        {"two runs", {100'000, 101'000, 200'000, 200'500, 300'000}, {2, 2}},
        {"no duration", {0, 0}, {}},
    };
    for (const Case& c : cases) {
        quorvanta::test::TempDir dir;
        std::vector<std::pair<fs::path, core::AudioMeta>> facts;
        for (std::size_t i = 0; i < c.durations.size(); ++i) {
            const fs::path file = dir.write("f" + std::to_string(i) + ".mp3", seededBytes(5000 + i, 10 + i));
            facts.push_back({file, song(c.durations[i])});
        }
        const auto volume = scanned(dir.path());
        attach(*volume, facts);
        std::vector<std::size_t> sizes;
        for (const DupGroup& g : songGroups(DuplicateFinder({volume}, {}).run({}))) sizes.push_back(g.members.size());
        std::sort(sizes.begin(), sizes.end());
        EXPECT_EQ(sizes, c.groupSizes) << c.what;
    }
}

TEST(SameSongGroups, OneFileThroughTwoPathsIsNeverItsOwnDuplicate) {
    quorvanta::test::TempDir dir;
    const fs::path only = dir.write("music/only.mp3", seededBytes(7000, 3));
    const fs::path linked = dir.write("linked.mp3", seededBytes(8000, 4));
    fs::create_hard_link(linked, dir / "music/linked-again.mp3");
    const auto outer = scanned(dir.path());
    const auto inner = scanned(dir / "music");
    attach(*outer, {{only, song(180'000)}, {linked, song(200'000)}, {dir / "music/linked-again.mp3", song(200'000)}});
    attach(*inner, {{only, song(180'000)}});
    const auto groups = DuplicateFinder({outer, inner}, {}).run({});
    EXPECT_TRUE(groups.empty()) << groups.size() << " groups";
}

TEST(SameSongGroups, FileNameKeysAndKeeper) {
    quorvanta::test::TempDir dir;
    const fs::path a = dir.write("Some Artist - Some Title.mp3", seededBytes(6000, 5));
    const fs::path b = dir.write("other/Some Artist - Some Title (320 kbps).mp3", seededBytes(6100, 6));
    const auto volume = scanned(dir.path());
    core::AudioMeta untagged;
    untagged.durationMs = 200'000;
    attach(*volume, {{a, untagged}, {b, untagged}});
    const auto songs = songGroups(DuplicateFinder({volume}, {}).run({}));
    ASSERT_EQ(songs.size(), 1u);
    EXPECT_EQ(test::memberPaths(songs[0]), (std::set<std::string>{a.string(), b.string()}));
    EXPECT_EQ(songs[0].members[songs[0].keep].path, a.string()) << "equal facts and times: the shorter path";
}

TEST(SameSongGroups, CancelledStageGivesNothing) {
    quorvanta::test::TempDir dir;
    const fs::path a = dir.write("a.mp3", seededBytes(6000, 7));
    const fs::path b = dir.write("b.flac", seededBytes(9000, 8));
    const auto volume = scanned(dir.path());
    attach(*volume, {{a, song(180'000)}, {b, song(180'000, core::AudioCodec::flac)}});
    DuplicateFinder finder({volume}, {});
    const DuplicateFinder::CandList candidates = {{0, entryOf(*volume, a), 6000}, {0, entryOf(*volume, b), 9000}};
    EXPECT_EQ(finder.sameSongGroups(candidates, {}, {}).size(), 1u);
    finder.cancel();
    ProgressLog log;
    EXPECT_TRUE(finder.sameSongGroups(candidates, {}, log.callback()).empty());
    EXPECT_TRUE(log.reports().empty());
    EXPECT_TRUE(finder.run({}).empty());
}

}  // namespace
}  // namespace quorvanta::audio
