// DupModel over small trees scanned into real indexes, with the real duplicate finder. The main
// queue is drained by the test; the save dialog and the alert are scripted.
#include "QuorvantaApp/model/reports/DupModel.h"

#include "audio/dupes/DupExport.h"
#include "audio/dupes/Fingerprint.h"
#include "tests/QuorvantaApp/model/reports/ReportFixtures.h"
#include "tests/support/CsvReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using namespace test;
using audio::DupGroup;
using audio::DupMember;
using audio::DupStage;
using StageState = DupModel::StageState;
using Stages = std::map<DupStage, StageState>;

const std::string kExportMessage = "The export only writes a list. Quorvanta deletes and moves nothing.";
const std::string kRefusedMessage = "Export not possible";
const std::string kRefusedInformative =
    "Lists are only written as .csv/.m3u and never to external drives (/media, /run/media, /mnt). Choose a folder "
    "on the internal volume.";

// `pairs` pairs of identical files, "<folder>/a/<i>.mp3" and "<folder>/b/<i>.mp3", each pair of
// its own size from `size` up.
void twins(const Trees& t, const std::string& folder, int pairs, std::size_t size = 2000) {
    for (int i = 0; i < pairs; ++i) {
        const std::string name = std::to_string(i) + ".mp3";
        t.file(folder + "/a/" + name, size + i, 100 + i);
        t.file(folder + "/b/" + name, size + i, 100 + i);
    }
}

// A pair and a triple of identical files, and a file without a twin.
void pairAndTriple(const Trees& t, const std::string& folder) {
    t.file(folder + "/pair/1.mp3", 3000, 1);
    t.file(folder + "/pair/2.mp3", 3000, 1);
    t.file(folder + "/triple/1.flac", 5000, 2);
    t.file(folder + "/triple/2.flac", 5000, 2);
    t.file(folder + "/triple/3.flac", 5000, 2);
    t.file(folder + "/single.mp3", 4000, 3);
}

// A model over its own main queue; the queue outlives the model. Runs cover the first three
// stages only, unless a test ticks more.
struct Bench {
    explicit Bench(std::vector<std::string> externalFolders = defaultExternalFolders())
        : model(std::make_unique<DupModel>(main, std::move(externalFolders))) {
        model->enabled.set({});
    }

    // Ticks `volumes` and runs to the end.
    void run(const DupModel::Volumes& volumes) {
        std::set<std::string> ids;
        for (const auto& v : volumes) ids.insert(v->id());
        model->volumeIDs.set(ids);
        model->start(volumes);
        ASSERT_TRUE(model->running.get()) << "the run did not start";
        main.drainUntil([&] { return !model->running.get(); });
    }

    TestMainQueue main;
    std::unique_ptr<DupModel> model;
};

// Counts the model's change announcements while it lives.
struct ChangeCount {
    explicit ChangeCount(DupModel& model) : connection(model.objectWillChange.connect([this] { ++count; })) {}
    int count = 0;
    core::Connection connection;
};

std::vector<std::string> memberPaths(const std::vector<DupGroup>& groups) {
    std::vector<std::string> paths;
    for (const auto& g : groups)
        for (const auto& m : g.members) paths.push_back(m.path);
    return paths;
}

TEST(DupModelStates, FreshModel) {
    TestMainQueue main;
    const DupModel model(main);
    EXPECT_TRUE(model.stages->empty());
    EXPECT_EQ(model.enabled.get(),
              (std::set<DupStage>{DupStage::size, DupStage::quickHash, DupStage::fullHash, DupStage::sameSong}));
    EXPECT_FALSE(model.running.get());
    EXPECT_TRUE(model.groups->empty());
    EXPECT_TRUE(model.volumeIDs->empty());
    EXPECT_EQ(model.message.get(), "");
    EXPECT_TRUE(model.searched().empty());
    EXPECT_EQ(model.finder(), nullptr);
    EXPECT_EQ(model.fpcalc(), audio::fpcalcPath());
    EXPECT_EQ(model.surplusFiles(), 0);
}

// One run from start to groups: the stage records appear as the queue is drained, each replacing
// the stage's last one, while the run shows no groups and no message.
TEST(DupModelStates, RunWithTwins) {
    LanguageScope english;
    Trees t;
    twins(t, "v", 35);  // 70 candidates: the quick hash reports at 64 and at 70
    const auto volume = t.volume("v", "V");
    Bench b;
    b.model->volumeIDs.set({volume->id()});

    struct Seen {
        bool running;
        std::size_t groups;
        std::string message;
        Stages stages;
    };
    std::vector<Seen> seen;
    const auto connection = b.model->stages.observe([&](const Stages& next) {
        seen.push_back({b.model->running.get(), b.model->groups->size(), b.model->message.get(), next});
    });

    b.model->start({volume});
    EXPECT_TRUE(b.model->running.get());
    EXPECT_TRUE(b.model->stages->empty());
    EXPECT_EQ(b.model->searched(), DupModel::Volumes{volume});
    ASSERT_NE(b.model->finder(), nullptr);
    const auto finder = b.model->finder();

    b.main.drainUntil([&] { return !b.model->running.get(); });

    // The clearing at start, then one record per report.
    ASSERT_GE(seen.size(), 5u);
    EXPECT_TRUE(seen.front().stages.empty());
    std::vector<DupStage> order;
    bool sawUnfinished = false;
    for (const auto& s : seen) {
        EXPECT_TRUE(s.running && s.groups == 0 && s.message.empty()) << "a record arrived outside the running state";
        for (const auto& [stage, record] : s.stages) {
            EXPECT_EQ(record.finished, record.done == record.total) << audio::rawValue(stage);
            if (std::find(order.begin(), order.end(), stage) == order.end()) order.push_back(stage);
        }
        const auto quick = s.stages.find(DupStage::quickHash);
        if (quick != s.stages.end() && quick->second == StageState{64, 70, 35, false}) sawUnfinished = true;
    }
    EXPECT_EQ(order, (std::vector<DupStage>{DupStage::size, DupStage::quickHash, DupStage::fullHash}));
    EXPECT_TRUE(sawUnfinished) << "the quick hash's report at 64 of 70 is missing";

    EXPECT_EQ(b.model->stages.get(), (Stages{{DupStage::size, {70, 70, 35, true}},
                                             {DupStage::quickHash, {70, 70, 35, true}},
                                             {DupStage::fullHash, {0, 0, 35, true}}}));
    EXPECT_FALSE(b.model->running.get());
    EXPECT_EQ(b.model->groups->size(), 35u);
    EXPECT_EQ(b.model->message.get(), "");
    EXPECT_EQ(b.model->surplusFiles(), 35);
    EXPECT_EQ(b.model->finder(), finder) << "the finder stays after its run";
}

TEST(DupModelStates, RunWithoutTwins) {
    LanguageScope english;
    Trees t;
    t.file("v/one.mp3", 2000, 1);
    t.file("v/two.mp3", 2001, 1);
    t.file("v/three.mp3", 2001, 2);
    const auto volume = t.volume("v", "V");
    Bench b;
    b.run({volume});
    EXPECT_TRUE(b.model->groups->empty());
    EXPECT_EQ(b.model->message.get(), "No duplicates found.");
    EXPECT_EQ(b.model->stages->at(DupStage::size), (StageState{3, 3, 1, true}));
}

// The finder gets the default options with the first three stages joined with the ticked ones.
TEST(DupModelStates, FinderOptions) {
    struct Case {
        std::set<DupStage> ticked;
        std::set<DupStage> run;
    };
    const std::set<DupStage> first{DupStage::size, DupStage::quickHash, DupStage::fullHash};
    const Case cases[] = {
        {{}, first},
        {{DupStage::sameSong}, {DupStage::size, DupStage::quickHash, DupStage::fullHash, DupStage::sameSong}},
        {{DupStage::fingerprint, DupStage::size},
         {DupStage::size, DupStage::quickHash, DupStage::fullHash, DupStage::fingerprint}},
    };
    Trees t;
    twins(t, "v", 1);
    const auto volume = t.volume("v", "V");
    const audio::DuplicateFinder::Options defaults;
    for (const auto& c : cases) {
        Bench b;
        b.model->enabled.set(c.ticked);
        b.run({volume});
        const auto& options = b.model->finder()->options();
        EXPECT_EQ(options.stages, c.run);
        EXPECT_EQ(options.extensions, defaults.extensions);
        EXPECT_EQ(options.minSize, defaults.minSize);
        EXPECT_EQ(options.threads, defaults.threads);
        EXPECT_EQ(options.durationToleranceMs, defaults.durationToleranceMs);
        EXPECT_EQ(b.model->enabled.get(), c.ticked) << "the ticked stages are the user's, never changed";
    }
}

// The volumes that qualify, in the given order: ticked, not scanning, not offline.
TEST(DupModelEdges, QualifyingVolumes) {
    Trees t;
    for (const std::string v : {"a", "b", "c", "d", "e"}) twins(t, v, 1);
    const auto a = t.volume("a", "A");
    const auto b = t.volume("b", "B", VolumeKind::scanning);
    const auto c = t.volume("c", "C", VolumeKind::offline);
    const auto d = t.volume("d", "D");
    const auto e = t.volume("e", "E");  // not ticked
    Bench bench;
    bench.model->volumeIDs.set({a->id(), b->id(), c->id(), d->id()});
    bench.model->start({d, e, c, b, a});
    bench.main.drainUntil([&] { return !bench.model->running.get(); });
    EXPECT_EQ(bench.model->searched(), (DupModel::Volumes{d, a}));
    EXPECT_EQ(bench.model->finder()->volumes(),
              (std::vector<std::shared_ptr<core::VolumeIndex>>{d->index(), a->index()}));
    // Every twin has one content: one group, whose members' positions follow `searched`.
    ASSERT_EQ(bench.model->groups->size(), 1u);
    EXPECT_EQ(bench.model->groups->front().members.size(), 4u);
    for (const auto& m : bench.model->groups->front().members)
        EXPECT_EQ(m.path.rfind(bench.model->searched()[m.vol]->root(), 0), 0u) << m.path;
}

// The model's state after a run that found groups, or after one that found none.
enum class Earlier { groups, message };

void runEarlier(Bench& b, Trees& t, Earlier earlier, std::shared_ptr<VolumeState>& volume) {
    if (earlier == Earlier::groups)
        twins(t, "earlier", 2);
    else
        t.file("earlier/lonely.mp3", 2000, 9);
    volume = t.volume("earlier", "Earlier");
    b.run({volume});
}

TEST(DupModelEdges, StartWithoutQualifyingVolumeChangesNothing) {
    LanguageScope english;
    struct Case {
        const char* what;
        std::function<std::set<std::string>(const DupModel::Volumes&)> ticked;
    };
    // The list handed to start: [earlier volume, scanning, offline, plain].
    const Case cases[] = {
        {"every ticked volume scanning", [](const auto& v) { return std::set{v[1]->id()}; }},
        {"every ticked volume offline", [](const auto& v) { return std::set{v[2]->id()}; }},
        {"ticked ones scanning or offline",
         [](const auto& v) {
             return std::set{v[1]->id(), v[2]->id()};
         }},
        {"nothing ticked", [](const auto&) { return std::set<std::string>{}; }},
        {"ticked ones not in the list", [](const auto&) { return std::set<std::string>{"/nowhere"}; }},
    };
    for (const auto& c : cases) {
        for (const Earlier earlier : {Earlier::groups, Earlier::message}) {
            SCOPED_TRACE(std::string(c.what) + (earlier == Earlier::groups ? ", after groups" : ", after a message"));
            Trees t;
            Bench b;
            std::shared_ptr<VolumeState> first;
            runEarlier(b, t, earlier, first);
            twins(t, "s", 1);
            twins(t, "o", 1);
            twins(t, "p", 1);
            const DupModel::Volumes list{first, t.volume("s", "S", VolumeKind::scanning),
                                         t.volume("o", "O", VolumeKind::offline), t.volume("p", "P")};
            b.model->volumeIDs.set(c.ticked(list));

            const auto groups = b.model->groups.get();
            const auto message = b.model->message.get();
            const auto stages = b.model->stages.get();
            const auto finder = b.model->finder();
            ChangeCount changes(*b.model);
            b.model->start(list);
            EXPECT_EQ(changes.count, 0);
            EXPECT_FALSE(b.model->running.get());
            EXPECT_EQ(memberPaths(b.model->groups.get()), memberPaths(groups));
            EXPECT_EQ(b.model->message.get(), message);
            EXPECT_EQ(b.model->stages.get(), stages);
            EXPECT_EQ(b.model->finder(), finder);
            EXPECT_EQ(b.model->searched(), DupModel::Volumes{first});
            EXPECT_EQ(b.main.drain(), 0u);
        }
    }
}

TEST(DupModelEdges, StartDuringARunChangesNothing) {
    Trees t;
    twins(t, "v", 2);
    twins(t, "w", 2);
    const auto v = t.volume("v", "V");
    const auto w = t.volume("w", "W");
    Bench b;
    b.model->volumeIDs.set({v->id(), w->id()});
    b.main.closeGate();
    b.model->start({v});
    b.main.waitForHeldPost();
    const auto finder = b.model->finder();
    {
        ChangeCount changes(*b.model);
        b.model->start({w});
        EXPECT_EQ(changes.count, 0);
    }
    EXPECT_EQ(b.model->finder(), finder);
    EXPECT_EQ(b.model->searched(), DupModel::Volumes{v});
    b.main.openGate();
    b.main.drainUntil([&] { return !b.model->running.get(); });
    EXPECT_EQ(b.model->groups->size(), 2u);
}

// The worker is held at its first report (the size stage's) while the finder is cancelled: the
// hash stages never end, so no group is proven, and the message says the run was cut short.
TEST(DupModelEdges, CancelledRightAfterStart) {
    LanguageScope english;
    Trees t;
    twins(t, "v", 3);
    const auto volume = t.volume("v", "V");
    {
        Bench uncancelled;
        uncancelled.run({volume});
        ASSERT_EQ(uncancelled.model->groups->size(), 3u) << "the tree needs twins for this test to mean anything";
    }
    Bench b;
    b.model->volumeIDs.set({volume->id()});
    b.main.closeGate();
    b.model->start({volume});
    b.main.waitForHeldPost();
    b.model->finder()->cancel();
    b.main.openGate();
    b.main.drainUntil([&] { return !b.model->running.get(); });
    EXPECT_TRUE(b.model->groups->empty());
    EXPECT_EQ(b.model->message.get(), "Cancelled — partial result.");
    EXPECT_EQ(b.model->stages.get(), (Stages{{DupStage::size, {6, 6, 3, true}}}));
}

// No candidate at all: every stage reports 0 of 0, which counts as finished.
TEST(DupModelEdges, EmptyStageIsFinished) {
    LanguageScope english;
    Trees t;
    t.file("v/notes.txt", 5000, 1);
    t.file("v/copy.txt", 5000, 1);
    t.file("v/small.mp3", 100, 2);
    const auto volume = t.volume("v", "V");
    Bench b;
    b.run({volume});
    EXPECT_EQ(b.model->stages.get(), (Stages{{DupStage::size, {0, 0, 0, true}},
                                             {DupStage::quickHash, {0, 0, 0, true}},
                                             {DupStage::fullHash, {0, 0, 0, true}}}));
    EXPECT_EQ(b.model->message.get(), "No duplicates found.");
}

TEST(DupModelEdges, SecondStartClearsAtOnce) {
    for (const Earlier earlier : {Earlier::groups, Earlier::message}) {
        SCOPED_TRACE(earlier == Earlier::groups ? "after groups" : "after a message");
        Trees t;
        Bench b;
        std::shared_ptr<VolumeState> first;
        runEarlier(b, t, earlier, first);
        ASSERT_FALSE(b.model->stages->empty());
        ASSERT_FALSE(b.model->groups->empty() && b.model->message->empty());

        b.model->start({first});
        EXPECT_TRUE(b.model->running.get());
        EXPECT_TRUE(b.model->groups->empty());
        EXPECT_TRUE(b.model->stages->empty());
        EXPECT_EQ(b.model->message.get(), "");
        b.main.drainUntil([&] { return !b.model->running.get(); });
    }
}

TEST(DupModelEdges, SetKeep) {
    Trees t;
    pairAndTriple(t, "v");
    const auto volume = t.volume("v", "V");
    Bench b;
    b.run({volume});
    ASSERT_EQ(b.model->groups->size(), 2u);
    const auto& triple = b.model->groups->front();  // the larger surplus comes first
    ASSERT_EQ(triple.members.size(), 3u);
    const std::int64_t tripleID = triple.id;
    const std::int64_t pairID = b.model->groups->back().id;

    struct Case {
        const char* what;
        std::int64_t group;
        std::int64_t member;
        bool changes;
    };
    const Case cases[] = {
        {"last member of the triple", tripleID, 2, true}, {"first member of the pair", pairID, 0, true},
        {"group id not in the result", 999, 0, false},    {"negative member", tripleID, -1, false},
        {"member one past the end", tripleID, 3, false},  {"third member of a pair", pairID, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto expected = b.model->groups.get();
        if (c.changes)
            for (auto& g : expected)
                if (g.id == c.group) g.keep = c.member;
        ChangeCount changes(*b.model);
        b.model->setKeep(c.group, c.member);
        EXPECT_EQ(changes.count, c.changes ? 1 : 0);
        std::vector<std::int64_t> keeps, expectedKeeps;
        for (const auto& g : b.model->groups.get()) keeps.push_back(g.keep);
        for (const auto& g : expected) expectedKeeps.push_back(g.keep);
        EXPECT_EQ(keeps, expectedKeeps);
    }
}

TEST(DupModelEdges, SurplusFiles) {
    Trees t;
    pairAndTriple(t, "v");
    const auto volume = t.volume("v", "V");
    Bench b;
    EXPECT_EQ(b.model->surplusFiles(), 0);
    b.run({volume});
    EXPECT_EQ(b.model->surplusFiles(), 3);
}

TEST(DupModelEdges, DisplayPath) {
    Trees t;
    t.file("int/Music/song.mp3", 3000, 4);
    t.file("ext/song.mp3", 3000, 4);
    const auto internal = t.volume("int", "Computer", VolumeKind::internal);
    const auto external = t.volume("ext", "X");
    Bench b;
    b.run({internal, external});
    ASSERT_EQ(b.model->groups->size(), 1u);

    struct Case {
        DupMember member;
        std::string shown;
    };
    DupMember onInternal, onExternal, mounted, unknownVolume;
    onInternal.vol = 0;
    onInternal.path = (t / "int/Music/song.mp3").string();
    onExternal.vol = 1;
    onExternal.path = (t / "ext/song.mp3").string();
    mounted.vol = 1;
    mounted.path = "/media/me/X/a.mp3";
    unknownVolume.vol = 2;
    unknownVolume.path = "/somewhere/b.mp3";
    const Case cases[] = {
        {onInternal, "/Music/song.mp3"},
        {onExternal, "X — " + onExternal.path},
        {mounted, "X — /media/me/X/a.mp3"},
        {unknownVolume, "/somewhere/b.mp3"},
    };
    for (const auto& c : cases) EXPECT_EQ(b.model->displayPath(c.member), c.shown) << c.member.path;

    std::set<std::string> shown;
    for (const auto& m : b.model->groups->front().members) shown.insert(b.model->displayPath(m));
    EXPECT_EQ(shown, (std::set<std::string>{"/Music/song.mp3", "X — " + onExternal.path}));
}

TEST(DupModelExport, CsvHoldsAllMembersAndM3uTheSurplus) {
    LanguageScope english;
    Trees t;
    pairAndTriple(t, "v");
    fs::create_directories(t / "out");
    const auto volume = t.volume("v", "V");
    Bench b;
    b.run({volume});
    ASSERT_EQ(b.model->groups->size(), 2u);
    const std::int64_t tripleID = b.model->groups->front().id;
    const std::int64_t keeper = (b.model->groups->front().keep + 1) % 3;
    b.model->setKeep(tripleID, keeper);  // the lists follow the user's keeper

    ScriptedDialogs dialogs;
    dialogs.answer = (t / "out/list.csv").string();
    b.model->exportList(true, dialogs);
    dialogs.answer = (t / "out/surplus.m3u").string();
    b.model->exportList(false, dialogs);
    EXPECT_TRUE(dialogs.alerts.empty());

    const auto& groups = b.model->groups.get();
    const std::string csv = readFile(t / "out/list.csv");
    EXPECT_EQ(csv, audio::DupExport::csv(groups));
    const quorvanta::test::CsvRows rows = quorvanta::test::readCsv(csv);
    ASSERT_EQ(rows.size(), 6u);
    std::vector<std::string> csvPaths, allPaths = memberPaths(groups);
    for (std::size_t i = 1; i < rows.size(); ++i) csvPaths.push_back(rows[i].at(4));
    std::sort(csvPaths.begin(), csvPaths.end());
    std::sort(allPaths.begin(), allPaths.end());
    EXPECT_EQ(csvPaths, allPaths);

    const std::string m3u = readFile(t / "out/surplus.m3u");
    EXPECT_EQ(m3u, audio::DupExport::m3u(groups, audio::DupExport::Which::surplus));
    for (const auto& g : groups) {
        for (std::size_t i = 0; i < g.members.size(); ++i) {
            const bool listed = m3u.find("\n" + g.members[i].path + "\n") != std::string::npos;
            EXPECT_EQ(listed, static_cast<std::int64_t>(i) != g.keep) << g.members[i].path;
        }
    }
}

TEST(DupModelExport, TheDialogGetsNameFilterAndMessage) {
    LanguageScope english;
    TestMainQueue main;
    const DupModel model(main);
    ScriptedDialogs dialogs;  // cancels
    model.exportList(true, dialogs);
    model.exportList(false, dialogs);
    EXPECT_EQ(dialogs.requests,
              (std::vector<SaveRequest>{{"Quorvanta-duplicates.csv", "CSV (*.csv)", kExportMessage},
                                        {"Quorvanta-duplicates-surplus.m3u", "M3U playlist (*.m3u)", kExportMessage}}));
    EXPECT_TRUE(dialogs.alerts.empty()) << "a cancelled dialog shows nothing";
}

TEST(DupModelExport, RefusedOrCancelledWritesNothing) {
    LanguageScope english;
    Trees t;
    pairAndTriple(t, "v");
    fs::create_directories(t / "out");
    fs::create_directories(t / "external/drive");
    t.write("out/kept.csv", "earlier");
    const auto volume = t.volume("v", "V");
    Bench b({(t / "external").string()});
    b.run({volume});

    struct Case {
        const char* what;
        std::optional<std::string> answer;
        bool alert;
    };
    const Case cases[] = {
        {"chooser cancelled", std::nullopt, false},
        {"under an external-drive folder", (t / "external/drive/list.csv").string(), true},
        {"the external-drive folder itself", (t / "external/list.csv").string(), true},
        {"a .txt name", (t / "out/list.txt").string(), true},
        {"a folder that does not exist", (t / "out/missing/list.csv").string(), true},
    };
    for (const auto& c : cases) {
        for (const bool csv : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (csv ? " (CSV)" : " (M3U)"));
            ScriptedDialogs dialogs;
            dialogs.answer = c.answer;
            const auto before = b.model->groups.get().size();
            b.model->exportList(csv, dialogs);
            EXPECT_EQ(dialogs.requests.size(), 1u);
            if (c.alert)
                EXPECT_EQ(dialogs.alerts,
                          (std::vector<ScriptedDialogs::Alert>{{kRefusedMessage, kRefusedInformative}}));
            else
                EXPECT_TRUE(dialogs.alerts.empty());
            EXPECT_EQ(filesIn(t / "out"), std::vector<std::string>{"kept.csv"});
            EXPECT_EQ(readFile(t / "out/kept.csv"), "earlier");
            EXPECT_EQ(filesIn(t / "external"), std::vector<std::string>{"drive"});
            EXPECT_TRUE(filesIn(t / "external/drive").empty());
            EXPECT_EQ(b.model->groups->size(), before);
        }
    }
}

TEST(DupModelExport, TextsFollowTheInterfaceLanguage) {
    LanguageScope german("de");
    Trees t;
    t.file("v/lonely.mp3", 2000, 1);
    const auto volume = t.volume("v", "V");
    Bench b;
    b.run({volume});
    EXPECT_EQ(b.model->message.get(), "Keine Duplikate gefunden.");
    ScriptedDialogs dialogs;
    dialogs.answer = (t / "list.txt").string();
    b.model->exportList(false, dialogs);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0],
              (SaveRequest{"Quorvanta-Duplikate-Überschuss.m3u", "M3U-Wiedergabeliste (*.m3u)",
                           "Der Export schreibt nur eine Liste. Quorvanta löscht und verschiebt nichts."}));
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].message, "Export nicht möglich");
}

// A volume the application drops during a run stays readable through the model until the next run.
TEST(DupModelLifetime, VolumeDroppedByItsOwnerDuringARun) {
    Trees t;
    t.file("int/a.mp3", 3000, 4);
    t.file("ext/a.mp3", 3000, 4);
    twins(t, "later", 1);
    DupModel::Volumes owned{t.volume("int", "Computer", VolumeKind::internal), t.volume("ext", "X")};
    const std::weak_ptr<VolumeState> dropped = owned[1];
    Bench b;
    b.model->volumeIDs.set({owned[0]->id(), owned[1]->id()});
    b.main.closeGate();
    b.model->start(owned);
    b.main.waitForHeldPost();
    owned.pop_back();
    b.main.openGate();
    b.main.drainUntil([&] { return !b.model->running.get(); });

    ASSERT_EQ(b.model->groups->size(), 1u);
    std::set<std::string> shown;
    for (const auto& m : b.model->groups->front().members) shown.insert(b.model->displayPath(m));
    EXPECT_EQ(shown, (std::set<std::string>{"/a.mp3", "X — " + (t / "ext/a.mp3").string()}));
    EXPECT_FALSE(dropped.expired());

    b.run({t.volume("later", "Later")});
    EXPECT_TRUE(dropped.expired()) << "the model still holds a volume of an earlier run";
}

// The model goes while its worker hashes: the finder is cancelled, the run's thread joined, and
// the posts still queued find no model to publish to.
TEST(DupModelLifetime, ModelDestroyedDuringARun) {
    Trees t;
    twins(t, "v", 6, 300'000);  // larger than the quick hash covers: the full hash reads them
    const auto volume = t.volume("v", "V");
    Bench b;
    b.model->volumeIDs.set({volume->id()});
    b.main.closeGate();
    b.model->start({volume});
    b.main.waitForHeldPost();
    const std::weak_ptr<audio::DuplicateFinder> finder = b.model->finder();
    int changes = 0;
    const auto connection = b.model->objectWillChange.connect([&] { ++changes; });
    b.main.openGate();
    b.model.reset();

    EXPECT_GE(b.main.drain(), 2u) << "the size stage's report and the end of the run were posted";
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(finder.expired()) << "the run's posts have let go of the finder";
}

}  // namespace
}  // namespace quorvanta::app
