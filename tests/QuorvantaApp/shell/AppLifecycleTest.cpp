// The desktop application's launch and quit in process, on the Qt main queue: the delegate's launch
// (indexing or the chooser), its one quit path over the scene a quit meets (ServingTestSupport.h),
// and the desktop runner driven through the entry, whose loop may end without the quit path.
#include "tests/QuorvantaApp/model/entry/EntryTestSupport.h"
#include "tests/QuorvantaApp/model/entry/ServingTestSupport.h"

#include "QuorvantaApp/shell/AppDelegate.h"
#include "QuorvantaApp/shell/QtApplication.h"
#include "QuorvantaApp/shell/QtDesktop.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/PollFor.h"
#include "tests/support/qt/PostedEvents.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace quorvanta::app::test {
namespace {

using quorvanta::test::turnQt;

// The end of a test that never quits.
ProcessEnd noEnd() {
    ProcessEnd end;
    end.exit = [](int status) { ADD_FAILURE() << "the process ended with " << status; };
    return end;
}

TEST(AppLifecycle, QuitSavesTheIdleVolumesLeavesTheOthersAndRunsOnce) {
    QuitScene scene;
    QtMainQueue queue(scene.clock);
    const auto model = scene.makeModel(queue);
    AppDelegate delegate({model, scene.host, scene.prefs, queue, scene.end(queue), false});
    delegate.launch();
    scene.settle(*model, turnQt);

    EXPECT_TRUE(delegate.quit());
    scene.expectQuitOutcome();
    EXPECT_FALSE(delegate.quit()) << "a second quit ran";
    scene.expectNoSecondQuit();
}

TEST(AppLifecycle, LaunchStartsIndexingWithSourcesOrForcedRootsAndAsksForTheChooserOtherwise) {
    struct Case {
        bool configured;
        bool forced;
        bool scans;
    };
    for (const Case c : {Case{true, false, true}, Case{false, true, true}, Case{false, false, false}}) {
        SCOPED_TRACE(testing::Message() << "configured " << c.configured << ", roots forced " << c.forced);
        ServingWorld world;
        world.settings.setBoolean(LocalAPIHost::kLocalAPIKey, false);
        world.prefs.setConfigured(c.configured);
        QtMainQueue queue(world.clock);
        const auto model =
            AppModel::create(c.forced ? std::vector<std::string>{world.alpha.root()} : std::vector<std::string>{}, true,
                             world.lifeDeps(queue));
        AppDelegate delegate({model, world.host, world.prefs, queue, noEnd(), c.forced});
        int chooserAsked = 0;
        QObject::connect(&delegate, &AppDelegate::sourceChooserRequested, [&] { ++chooserAsked; });

        delegate.launch();
        delegate.launch();  // once only
        EXPECT_EQ(world.host.model.lock(), model);
        EXPECT_EQ(world.host.server(), nullptr) << "the switch is off";
        EXPECT_EQ(chooserAsked, c.scans ? 0 : 1);
        if (c.scans) {
            ASSERT_FALSE(model->volumes->empty());
            const auto volume = model->volumes->at(0);
            turnQt([&] { return !volume->scanning.get(); });
            EXPECT_GT(volume->index()->count(), 0u);
        } else {
            EXPECT_TRUE(model->volumes->empty());
        }
        model->windDown(5s);
    }
}

// Through the entry, as the application's main runs it, on a small tree: the loop runs until the
// first snapshot is written and a file added afterwards is indexed; the loop then ends without
// the quit path (as when the desktop session ends it), and the runner takes the quit path, whose
// save holds the late file.
TEST(AppLifecycle, TheDesktopRunnerRunsTheLoopAndQuitsWhenItEnds) {
    EntryWorld world(platform::realClock());
    world.dir.write("tree/a/one.txt", "1");
    world.dir.write("tree/a/two.txt", "2");
    world.dir.write("tree/b/three.txt", "3");
    const std::string root = (world.dir / "tree").string();
    LocalAPIHost host(world.settings, (world.dir / "api.sock").string());
    std::setlocale(LC_NUMERIC, "C.UTF-8");

    int argc = 1;
    char name[] = "Quorvanta";
    char* argv[] = {name, nullptr};
    QtDesktop desktop(
        {.argc = argc, .argv = argv, .rootsForced = true, .end = world.end(), .host = &host, .prefs = &world.prefs});
    const DesktopRunner runner = desktop.runner();

    bool delegateInLoop = false;
    int panelAsked = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        AppDelegate* delegate = desktop.delegate();
        delegateInLoop = delegate != nullptr;
        if (!delegate) {
            QCoreApplication::quit();
            return;
        }
        bool saved = false;
        for (const auto& entry : fs::directory_iterator(world.data())) saved |= entry.path().extension() == ".idx";
        if (!saved) return;
        if (!fs::exists(world.dir / "tree/b/late.txt")) world.dir.write("tree/b/late.txt", "late");
        if (!holds(*delegate->model()->volumes->at(0)->index(), root + "/b/late.txt")) return;
        watch.stop();
        QObject::connect(delegate, &AppDelegate::panelRequested, [&] { ++panelAsked; });
        runner.reopen();  // a second launch asks this one to show itself
        QCoreApplication::quit();
    });
    watch.start(5);

    EntryServices services = world.services();
    const int status = runEntry({"Quorvanta", "--root", root}, platform::realClock().now(), runner, services);
    EXPECT_TRUE(delegateInLoop) << "no delegate while the loop ran";
    EXPECT_EQ(panelAsked, 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(world.ended, 0);
    EXPECT_EQ(desktop.delegate(), nullptr);
    ASSERT_NE(desktop.mainQueue(), nullptr);
    EXPECT_TRUE(desktop.mainQueue()->isShuttingDown());
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C") << "the runner left the environment's number format";

    std::vector<std::string> saved;
    for (const auto& entry : fs::directory_iterator(world.data()))
        if (entry.path().extension() == ".idx") saved.push_back(entry.path().string());
    ASSERT_EQ(saved.size(), 1u);
    const auto loaded = core::VolumeIndex::load(saved[0], {});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->info.root, root);
    EXPECT_TRUE(holds(*loaded->index, root + "/b/late.txt")) << "the quit path did not save";
    EXPECT_EQ(loaded->index->liveCount(), 7) << "the root, two folders and four files";
}

TEST(AppLifecycle, WithoutADisplayTheRunnerEndsWithStatus1BeforeTheModel) {
    using quorvanta::test::EnvOverride;
    EnvOverride platform("QT_QPA_PLATFORM", std::nullopt);
    EnvOverride display("DISPLAY", std::nullopt);
    EnvOverride wayland("WAYLAND_DISPLAY", std::nullopt);
    EntryWorld world(platform::realClock());
    int argc = 1;
    char name[] = "Quorvanta";
    char* argv[] = {name, nullptr};
    QtDesktop desktop({.argc = argc, .argv = argv, .end = world.end()});
    EntryServices services = world.services();
    EXPECT_EQ(runEntry({"Quorvanta"}, platform::realClock().now(), desktop.runner(), services), 1);
    EXPECT_EQ(world.ended, 1);
    EXPECT_EQ(desktop.mainQueue(), nullptr);
}

TEST(AppLifecycle, TheDisplayCheckLeavesQtEveryDisplayItCanUse) {
    struct Case {
        DisplayEnvironment environment;
        bool missing;
    };
    const Case cases[] = {
        {{std::nullopt, std::nullopt, std::nullopt}, true},    // nothing to connect to
        {{std::nullopt, ":0", std::nullopt}, false},           // X
        {{std::nullopt, std::nullopt, "wayland-0"}, false},    // Wayland
        {{"offscreen", std::nullopt, std::nullopt}, false},    // no display needed
        {{"xcb", std::nullopt, std::nullopt}, false},          // named: Qt says what is wrong
        {{std::nullopt, std::string(), std::string()}, true},  // empty is unset
    };
    for (const Case& c : cases) {
        const auto problem = missingDisplay(c.environment);
        EXPECT_EQ(problem.has_value(), c.missing)
            << c.environment.platform.value_or("-") << " " << c.environment.display.value_or("-") << " "
            << c.environment.waylandDisplay.value_or("-");
        if (problem) {
            EXPECT_NE(problem->find("DISPLAY"), std::string::npos) << *problem;
            EXPECT_NE(problem->find("quorvanta-headless"), std::string::npos) << *problem;
        }
    }
}

}  // namespace
}  // namespace quorvanta::app::test
