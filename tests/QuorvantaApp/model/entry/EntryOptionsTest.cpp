#include "QuorvantaApp/model/entry/Entry.h"
#include "QuorvantaApp/model/entry/EntryOptions.h"

#include "QuorvantaApp/model/columns/KindStyle.h"
#include "platform/settings/FileSettings.h"
#include "tests/QuorvantaApp/model/entry/EntryTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
constexpr std::string_view kHere = "/home/u/work";

EntryOptions readArgs(Args rest) {
    rest.insert(rest.begin(), "/usr/bin/quorvanta");
    return EntryOptions::read(std::move(rest), kHere);
}

TEST(EntryOptions, ReadsTheEdgesOfTheCommandLine) {
    struct Case {
        const char* what;
        Args args;
        bool persist;
        EntryMode mode;
        std::vector<std::string> roots;
        std::vector<std::string> queries;
    };
    const Case cases[] = {
        {"no arguments: the desktop, persisting", {}, true, EntryMode::desktop, {}, {}},
        {"a last --root is ignored", {"--root", "/p", "--root"}, true, EntryMode::desktop, {"/p"}, {}},
        {"--no-persist", {"--no-persist"}, false, EntryMode::desktop, {}, {}},
        {"--selftest implies no persisting", {"--selftest"}, false, EntryMode::selfTest, {}, {}},
        {"--startup-bench alone persists", {"--startup-bench"}, true, EntryMode::startupBench, {}, {}},
        {"the benchmark wins over the self test",
         {"--startup-bench", "--selftest"},
         false,
         EntryMode::startupBench,
         {},
         {}},
        {"arguments after --selftest are queries, a --root among them a root too",
         {"--root", "/a", "--selftest", "remix", "--root", "x", "--no-persist"},
         false,
         EntryMode::selfTest,
         {"/a", "/home/u/work/x"},
         {"remix", "--root", "x", "--no-persist"}},
        {"queries follow the first --selftest only",
         {"--selftest", "a", "--selftest", "b"},
         false,
         EntryMode::selfTest,
         {},
         {"a", "--selftest", "b"}},
        {"options are whole arguments",
         {"--root=/p", "--selftest2", "--no-persist "},
         true,
         EntryMode::desktop,
         {},
         {}},
    };
    for (const auto& c : cases) {
        const EntryOptions o = readArgs(c.args);
        EXPECT_EQ(o.persist, c.persist) << c.what;
        EXPECT_EQ(o.mode, c.mode) << c.what;
        EXPECT_EQ(o.roots, c.roots) << c.what;
        EXPECT_EQ(o.queries, c.queries) << c.what;
        EXPECT_EQ(o.args.size(), c.args.size() + 1) << c.what;
    }
}

TEST(EntryOptions, RootsAreAbsoluteAndNormalisedWithoutResolvingLinks) {
    const std::pair<const char*, const char*> cases[] = {
        {".", "/home/u/work"},
        {"rel/x", "/home/u/work/rel/x"},
        {"../up", "/home/u/up"},
        {"/a/b/", "/a/b"},
        {"/", "/"},
        {"//a//b/", "/a/b"},
        {"/a/./b", "/a/b"},
        {"/a/b/..", "/a"},
        {"/..", "/"},
    };
    for (const auto& [typed, expected] : cases) {
        EXPECT_EQ(absoluteRoot(typed, kHere), expected) << typed;
        EXPECT_EQ(readArgs({"--root", typed}).roots, std::vector<std::string>{expected}) << typed;
    }
    // A link is kept as typed: the root names the link, not where it leads.
    quorvanta::test::TempDir dir;
    std::filesystem::create_directories(dir / "real");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    EXPECT_EQ(absoluteRoot("link/.", dir.path().string()), (dir / "link").string());
}

TEST(EntryOptions, ShowColumnsAndKindTakeTheirFirstOccurrenceWithAValue) {
    struct Case {
        const char* what;
        Args args;
        std::optional<ColumnSet> columns;
        std::optional<std::string> kind;
    };
    const Case cases[] = {
        {"empty items are dropped", {"--show-columns", "size,,kind"}, ColumnSet{"size", "kind"}, {}},
        {"only commas force an empty set", {"--show-columns", ",,"}, ColumnSet{}, {}},
        {"--show-columns as the last argument forces nothing", {"--root", "/p", "--show-columns"}, {}, {}},
        {"the first --show-columns counts",
         {"--show-columns", "date", "--show-columns", "size"},
         ColumnSet{"date"},
         {}},
        {"the first --kind wins", {"--kind", "description", "--kind", "badge"}, {}, "description"},
        {"--kind as the last argument changes nothing", {"--kind"}, {}, {}},
        {"a first --kind without a value is not skipped for a later one", {"--kind", "--kind", "badge"}, {}, "--kind"},
    };
    for (const auto& c : cases) {
        const EntryOptions o = readArgs(c.args);
        EXPECT_EQ(o.forcedColumns, c.columns) << c.what;
        EXPECT_EQ(o.kindStyle, c.kind) << c.what;
    }
}

TEST(EntryOptions, OneRunSettingsAreReadButNeverWritten) {
    quorvanta::test::TempDir dir;
    const auto path = dir.write("settings.json", R"({"kindStyle": "badge", "showJunk": true})");
    const std::string before = quorvanta::test::readFile(path);
    platform::FileSettings settings(path);
    ASSERT_EQ(kindStyle(settings), KindStyle::badge);

    const auto saved = ColumnSets::forced;
    applyOneRunSettings(readArgs({"--kind", "description", "--show-columns", "size,,kind"}), settings);
    EXPECT_EQ(settings.text("kindStyle"), "description");
    EXPECT_EQ(kindStyle(settings), KindStyle::description);
    EXPECT_EQ(ColumnSets::forced, (ColumnSet{"size", "kind"}));
    EXPECT_EQ(ColumnSets::visible("audio", settings), (ColumnSet{"name", "size", "kind"}));
    EXPECT_EQ(quorvanta::test::readFile(path), before);
    // A stored change of another key writes the file without the overlay's value.
    settings.setBoolean("showJunk", false);
    EXPECT_EQ(platform::FileSettings(path).text("kindStyle"), "badge");
    ColumnSets::forced = saved;

    // Without the options nothing changes.
    platform::FileSettings untouched(path);
    applyOneRunSettings(readArgs({"--kind"}), untouched);
    EXPECT_EQ(untouched.text("kindStyle"), "badge");
    EXPECT_EQ(ColumnSets::forced, saved);
}

TEST(EntryOptions, TheDesktopRunnerIsAskedBeforeTheModelAndEndsTheProcessWithItsStatus) {
    platform::FakeClock clock;
    app::test::EntryWorld world(clock);
    EntryServices services = world.services();
    std::vector<std::string> steps;
    const auto makeDeps = services.dependencies;
    services.dependencies = [&](platform::MainQueue& main) {
        steps.push_back("model");
        return makeDeps(main);
    };
    DesktopRunner runner;
    runner.prepare = [&] {
        steps.push_back("prepare");
        return DesktopStart{&world.loop, 0};
    };
    runner.run = [&](const std::shared_ptr<AppModel>& model) {
        steps.push_back("run");
        EXPECT_FALSE(model->persist());
        std::vector<std::string> roots;
        for (const auto& volume : model->volumes.get()) roots.push_back(volume->root());
        EXPECT_EQ(roots, std::vector<std::string>{(world.dir / "music").string()});
        std::fputs("quit\n", world.out);
        return 3;
    };
    fs::create_directories(world.dir / "music");
    EXPECT_EQ(runEntry({"quorvanta", "--no-persist", "--root", "music/"}, clock.now(), runner, services), 3);
    EXPECT_EQ(steps, (std::vector<std::string>{"prepare", "model", "run"}));
    EXPECT_EQ(world.ended, 3);
    EXPECT_EQ(world.printedAtEnd, "quit\n");

    // A runner that cannot start ends the process at once with its status, and no model is made.
    steps.clear();
    runner.prepare = [&] {
        steps.push_back("prepare");
        return DesktopStart{nullptr, 2};
    };
    EXPECT_EQ(runEntry({"quorvanta"}, clock.now(), runner, services), 2);
    EXPECT_EQ(steps, std::vector<std::string>{"prepare"});
    EXPECT_EQ(world.ended, 2);
}

}  // namespace
}  // namespace quorvanta::app
