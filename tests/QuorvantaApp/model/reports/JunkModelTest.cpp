// JunkModel over small trees scanned into real indexes, with the real junk report. The main queue
// is drained by the test; the save dialog and the alert are scripted.
#include "QuorvantaApp/model/reports/JunkModel.h"

#include "tests/QuorvantaApp/model/reports/ReportFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace quorvanta::core::JunkReport {

inline void PrintTo(const Row& row, std::ostream* out) { *out << row.kind << ":" << row.files << "/" << row.bytes; }

inline void PrintTo(const VolumeRows& v, std::ostream* out) {
    *out << v.volume << " {";
    for (const auto& row : v.rows) {
        *out << " ";
        PrintTo(row, out);
    }
    *out << " }";
}

}  // namespace quorvanta::core::JunkReport

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using namespace test;
using core::JunkReport::Row;
using core::JunkReport::VolumeRows;
using PerVolume = JunkModel::PerVolume;

// A model over its own main queue; the queue outlives the model.
struct Bench {
    explicit Bench(std::vector<std::string> externalFolders = defaultExternalFolders())
        : model(std::make_unique<JunkModel>(main, std::move(externalFolders))) {}

    void refresh(const JunkModel::Volumes& volumes) {
        model->refresh(volumes);
        ASSERT_TRUE(model->working.get());
        main.drainUntil([&] { return !model->working.get(); });
    }

    TestMainQueue main;
    std::unique_ptr<JunkModel> model;
};

// Junk of three named kinds in `folder`, with a plain file beside them.
void namedJunk(const Trees& t, const std::string& folder) {
    t.write(folder + "/.DS_Store", std::string(20, 'd'));
    t.write(folder + "/sub/Thumbs.db", std::string(30, 't'));
    t.write(folder + "/$RECYCLE.BIN/a.txt", std::string(100, 'r'));
    t.write(folder + "/$RECYCLE.BIN/b.txt", std::string(50, 'r'));
    t.write(folder + "/plain.txt", std::string(500, 'p'));
}
const std::vector<Row> kNamedRows = {{"$RECYCLE.BIN", 2, 150}, {"Thumbs.db", 1, 30}, {".DS_Store", 1, 20}};

// Junk inside a folder the scan takes for junk but whose name the report cannot place: twelve
// bytes to the scan, eleven characters to the report.
void unnamedJunk(const Trees& t, const std::string& folder) {
    t.write(folder + "/FILE\u00E901.CHK/inner.dat", std::string(40, 'i'));
    t.write(folder + "/FILE\u00E901.CHK/more.dat", std::string(2, 'm'));
}

TEST(JunkModelEdges, Table) {
    struct Case {
        const char* what;
        std::function<JunkModel::Volumes(Trees&)> volumes;
        PerVolume expected;
    };
    const Case cases[] = {
        {"no volumes", [](Trees&) { return JunkModel::Volumes{}; }, {}},
        {"no junk",
         [](Trees& t) {
             t.write("clean/plain.txt", "x");
             return JunkModel::Volumes{t.volume("clean", "Clean")};
         },
         {}},
        {"every volume scanning",
         [](Trees& t) {
             namedJunk(t, "a");
             namedJunk(t, "b");
             return JunkModel::Volumes{t.volume("a", "A", VolumeKind::scanning),
                                       t.volume("b", "B", VolumeKind::scanning)};
         },
         {}},
        {"junk of unnamed kinds only",
         [](Trees& t) {
             unnamedJunk(t, "u");
             return JunkModel::Volumes{t.volume("u", "U")};
         },
         {{"U", {{"other", 2, 42}}}}},
        {"two volumes in the given order, without the one with no junk",
         [](Trees& t) {
             namedJunk(t, "a");
             unnamedJunk(t, "b");
             t.write("clean/plain.txt", "x");
             return JunkModel::Volumes{t.volume("b", "B"), t.volume("clean", "Clean"), t.volume("a", "A")};
         },
         {{"B", {{"other", 2, 42}}}, {"A", kNamedRows}}},
        {"a scanning volume left out, an offline catalog counted",
         [](Trees& t) {
             namedJunk(t, "a");
             unnamedJunk(t, "b");
             return JunkModel::Volumes{t.volume("a", "A", VolumeKind::scanning),
                                       t.volume("b", "B", VolumeKind::offline)};
         },
         {{"B", {{"other", 2, 42}}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Trees t;
        Bench b;
        b.refresh(c.volumes(t));
        EXPECT_EQ(b.model->perVolume.get(), c.expected);
        EXPECT_FALSE(b.model->working.get());
    }
}

// A refresh while one runs is dropped: only the first list is counted, and the next refresh after
// it publishes its own list and nothing else.
TEST(JunkModelEdges, RefreshWhileWorkingIsDropped) {
    Trees t;
    namedJunk(t, "a");
    unnamedJunk(t, "b");
    namedJunk(t, "c");
    const auto a = t.volume("a", "A");
    const auto b = t.volume("b", "B");
    const auto c = t.volume("c", "C");
    Bench bench;
    std::vector<PerVolume> published;
    const auto connection = bench.model->perVolume.observe([&](const PerVolume& v) { published.push_back(v); });

    bench.model->refresh({a});
    int changes = 0;
    {
        const auto counting = bench.model->objectWillChange.connect([&] { ++changes; });
        bench.model->refresh({b});
    }
    EXPECT_EQ(changes, 0);
    bench.main.drainUntil([&] { return !bench.model->working.get(); });
    bench.refresh({c});
    EXPECT_EQ(published, (std::vector<PerVolume>{{{"A", kNamedRows}}, {{"C", kNamedRows}}}));
}

// Until the new count is published, the earlier one stays; then perVolume changes, and working
// ends after it.
TEST(JunkModelEdges, EarlierResultStaysUntilTheNewOne) {
    Trees t;
    namedJunk(t, "a");
    unnamedJunk(t, "b");
    const auto a = t.volume("a", "A");
    const auto b = t.volume("b", "B");
    Bench bench;
    bench.refresh({a});
    const PerVolume first{{"A", kNamedRows}};
    ASSERT_EQ(bench.model->perVolume.get(), first);

    std::vector<std::string> events;
    const auto perVolume = bench.model->perVolume.observe([&](const PerVolume&) { events.push_back("perVolume"); });
    const auto working = bench.model->working.observe([&](const bool& w) { events.push_back(w ? "working" : "idle"); });
    bench.main.closeGate();
    bench.model->refresh({a, b});
    bench.main.waitForHeldPost();  // the count is done and waits to be handed over
    EXPECT_EQ(bench.model->perVolume.get(), first);
    EXPECT_TRUE(bench.model->working.get());
    bench.main.openGate();
    bench.main.drainUntil([&] { return !bench.model->working.get(); });
    EXPECT_EQ(bench.model->perVolume.get(), (PerVolume{{"A", kNamedRows}, {"B", {{"other", 2, 42}}}}));
    EXPECT_EQ(events, (std::vector<std::string>{"working", "perVolume", "idle"}));
}

TEST(JunkModelExport, WritesTheReportAsShown) {
    LanguageScope english;
    Trees t;
    namedJunk(t, "a");
    unnamedJunk(t, "b");
    fs::create_directories(t / "out");
    Bench bench;
    bench.refresh({t.volume("a", "Work \"SSD\""), t.volume("b", "B")});

    ScriptedDialogs dialogs;
    dialogs.answer = (t / "out/junk.csv").string();
    bench.model->exportList(dialogs);
    EXPECT_EQ(dialogs.requests,
              (std::vector<SaveRequest>{{"Quorvanta-junk-report.csv", "CSV (*.csv)",
                                         "The export only writes a list. Quorvanta deletes and moves nothing."}}));
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_EQ(readFile(t / "out/junk.csv"),
              "volume,kind,files,size_bytes\n"
              "\"Work \"\"SSD\"\"\",\"$RECYCLE.BIN\",2,150\n"
              "\"Work \"\"SSD\"\"\",\"Thumbs.db\",1,30\n"
              "\"Work \"\"SSD\"\"\",\".DS_Store\",1,20\n"
              "\"B\",\"other\",2,42\n");
}

TEST(JunkModelExport, RefusedOrCancelledWritesNothing) {
    LanguageScope english;
    Trees t;
    namedJunk(t, "a");
    fs::create_directories(t / "out");
    fs::create_directories(t / "external/drive");
    Bench bench({(t / "external").string()});
    bench.refresh({t.volume("a", "A")});
    const PerVolume shown = bench.model->perVolume.get();

    struct Case {
        const char* what;
        std::optional<std::string> answer;
        bool alert;
    };
    const Case cases[] = {
        {"chooser cancelled", std::nullopt, false},
        {"under an external-drive folder", (t / "external/drive/junk.csv").string(), true},
        {"a .txt name", (t / "out/junk.txt").string(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDialogs dialogs;
        dialogs.answer = c.answer;
        bench.model->exportList(dialogs);
        EXPECT_EQ(dialogs.requests.size(), 1u);
        if (c.alert)
            EXPECT_EQ(dialogs.alerts,
                      (std::vector<ScriptedDialogs::Alert>{
                          {"Export not possible",
                           "Lists are only written as .csv/.m3u and never to external drives (/media, /run/media, "
                           "/mnt). Choose a folder on the internal volume."}}));
        else
            EXPECT_TRUE(dialogs.alerts.empty());
        EXPECT_TRUE(filesIn(t / "out").empty());
        EXPECT_TRUE(filesIn(t / "external/drive").empty());
        EXPECT_EQ(bench.model->perVolume.get(), shown);
    }
}

// A volume the application drops during a count is still counted.
TEST(JunkModelLifetime, VolumeDroppedByItsOwnerDuringACount) {
    Trees t;
    namedJunk(t, "a");
    JunkModel::Volumes owned{t.volume("a", "A")};
    const std::weak_ptr<VolumeState> dropped = owned[0];
    Bench bench;
    bench.main.closeGate();
    bench.model->refresh(owned);
    owned.clear();
    bench.main.waitForHeldPost();
    EXPECT_FALSE(dropped.expired()) << "the count holds the volumes it counts";
    bench.main.openGate();
    bench.main.drainUntil([&] { return !bench.model->working.get(); });
    EXPECT_EQ(bench.model->perVolume.get(), (PerVolume{{"A", kNamedRows}}));
    EXPECT_TRUE(dropped.expired()) << "the model holds a volume after its count";
}

// The model goes while it counts: its destruction waits for the count, whose result then finds no
// model to publish to.
TEST(JunkModelLifetime, ModelDestroyedDuringACount) {
    Trees t;
    for (int i = 0; i < 40; ++i) namedJunk(t, "a/" + std::to_string(i));
    const auto volume = t.volume("a", "A");
    Bench bench;
    bench.model->refresh({volume});
    int changes = 0;
    const auto connection = bench.model->objectWillChange.connect([&] { ++changes; });
    bench.model.reset();
    EXPECT_EQ(bench.main.drain(), 1u) << "the count's result was posted";
    EXPECT_EQ(changes, 0);
}

}  // namespace
}  // namespace quorvanta::app
