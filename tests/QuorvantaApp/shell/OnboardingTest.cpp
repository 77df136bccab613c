// The onboarding at launch, in process over the serving world's two trees, with the folder-access
// check's failures scripted (the tests run as root, which reads every folder): when the window
// comes instead of the scans, what each of its buttons and its close button do, that "Later" is
// remembered by the next launch, and how it looks.
#include "tests/QuorvantaApp/model/entry/ServingTestSupport.h"

#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/model/access/Onboarding.h"
#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "QuorvantaApp/shell/AppDelegate.h"
#include "QuorvantaApp/shell/DesktopServices.h"
#include "QuorvantaApp/shell/DialogPresenter.h"
#include "QuorvantaApp/shell/OnboardingWindow.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "QuorvantaApp/shell/Updates.h"
#include "platform/fs/FakeFileSystem.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/qt/PostedEvents.h"
#include "tests/support/qt/SaveShot.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvanta::app::test {
namespace {

using platform::FakeFileSystem;
using quorvanta::test::runPostedEvents;
using quorvanta::test::turnQt;

// Launches over one world: alpha and beta are whole drives of the configured sources; the check
// finds the roots given to close() refused (EACCES). A started volume has looked at its root
// (rootWasMountPoint), at once and on the main thread; scans are seen through the folders they
// watch; the restart and the quit through their seams.
struct Scene {
    Scene() {
        world.settings.setBoolean(LocalAPIHost::kLocalAPIKey, false);
        world.events->setOnWatch([this](const std::string& path) {
            std::lock_guard guard(watchLock);
            watched.push_back(path);
        });
    }
    ~Scene() { end(); }

    void close(const std::string& root) { files.fail(FakeFileSystem::Op::open, root, EACCES); }

    // A launch: a new model and delegate, launched.
    AppDelegate& launch(bool forced = false) {
        end();
        model = AppModel::create(forced ? std::vector<std::string>{world.alpha.root()} : std::vector<std::string>{},
                                 true, world.lifeDeps(queue));
        ProcessEnd processEnd;
        processEnd.exit = [this](int) { steps.push_back("quit"); };
        Relaunch relaunch;
        relaunch.arguments = {"Quorvanta", "--no-persist"};
        relaunch.stopListening = [this] { steps.push_back("stop listening"); };
        relaunch.start = [this](const std::string& program, const std::string& argv0,
                                const std::vector<std::string>& args) {
            std::string step = "start " + program + " " + argv0;
            for (const auto& arg : args) step += " " + arg;
            steps.push_back(step);
            return platform::DetachedStart{4242, 0, ""};
        };
        AppDelegate::Shell shell{frames,  notifications, core::Lang::shared(), history, dialogs,
                                 updates, nullptr,       [] { return false; }, {}, {}, &desktop};
        delegate = std::make_unique<AppDelegate>(AppDelegate::Setup{model, world.host, world.prefs, queue, processEnd,
                                                                    forced, shell, &files, std::move(relaunch)});
        QObject::connect(delegate.get(), &AppDelegate::sourceChooserRequested, [this] { ++chooserAsked; });
        delegate->launch();
        return *delegate;
    }
    void end() {
        delegate.reset();
        if (model) model->windDown(5s);
        model.reset();
    }

    // Runs what the launch queued.
    void settle() {
        for (int i = 0; i < 20; ++i) runPostedEvents();
    }
    bool scansStarted() const {
        for (const auto& volume : model->volumes.get())
            if (volume->rootWasMountPoint) return true;
        return false;
    }
    std::size_t watches(const std::string& folder) {
        std::lock_guard guard(watchLock);
        return static_cast<std::size_t>(std::count(watched.begin(), watched.end(), folder));
    }
    std::size_t watchCount() {
        std::lock_guard guard(watchLock);
        return watched.size();
    }
    OnboardingView* view() const { return delegate->onboarding() ? delegate->onboarding()->view() : nullptr; }

    quorvanta::test::LanguageScope language{"en"};
    ServingWorld world;
    QtMainQueue queue{world.clock};
    platform::MemorySettings frames;
    platform::NotificationCenter& notifications = platform::NotificationCenter::standard();
    quorvanta::test::TempDir dir;
    SearchHistoryModel history{dir / "search-history.json"};
    ScriptedDialogs dialogs;
    Updates updates{dialogs};
    RecordingDesktopServices desktop;
    FakeFileSystem files;
    std::mutex watchLock;
    std::vector<std::string> watched;  // watchLock
    int chooserAsked = 0;
    std::vector<std::string> steps;
    std::shared_ptr<AppModel> model;
    std::unique_ptr<AppDelegate> delegate;
};

TEST(OnboardingLaunch, TheWindowOrTheScansNeverBoth) {
    struct Case {
        const char* name;
        bool closed;
        bool dismissed;
        bool forced;
        bool onboarding;
    };
    const Case cases[] = {
        {"closed, first time", true, false, false, true},
        {"closed, Later chosen before", true, true, false, false},
        {"closed, --root", true, false, true, false},
        {"all readable", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        if (c.closed) scene.close(scene.world.alpha.root());
        if (c.dismissed) scene.world.settings.setBoolean(Onboarding::kDismissedKey, true);
        AppDelegate& delegate = scene.launch(c.forced);
        scene.settle();
        EXPECT_EQ(delegate.onboarding() != nullptr, c.onboarding);
        EXPECT_EQ(scene.scansStarted(), !c.onboarding);
        EXPECT_EQ(scene.chooserAsked, 0);
        // The check runs for configured sources only, never for forced roots.
        const std::vector<std::string> closed =
            c.closed && !c.forced ? std::vector<std::string>{scene.world.alpha.root()} : std::vector<std::string>{};
        EXPECT_EQ(delegate.closedFolders(), closed);
    }
}

TEST(OnboardingWindow, ShownAboveOtherWindowsWithTheClosedFoldersAndNoScan) {
    Scene scene;
    scene.close(scene.world.alpha.root());
    scene.close(scene.world.beta.root());
    AppDelegate& delegate = scene.launch();
    OnboardingWindow* window = delegate.onboarding();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle().toStdString(), "Welcome to Quorvanta");
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    // Centred as placed before the window had a frame: within the frame's margins.
    const QPoint offCentre =
        window->geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 4) << offCentre.x() << "," << offCentre.y();
    OnboardingView* view = scene.view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->width(), OnboardingView::kWidth);
    ASSERT_EQ(view->folderList()->count(), 2);
    EXPECT_EQ(view->folderList()->item(0)->text().toStdString(), scene.world.alpha.root());
    EXPECT_EQ(view->folderList()->item(1)->text().toStdString(), scene.world.beta.root());
    EXPECT_TRUE(view->openButton()->isDefault());
    EXPECT_EQ(view->restartButton()->text().toStdString(), "Restart Quorvanta");

    scene.settle();
    EXPECT_FALSE(scene.scansStarted()) << "a scan started while the onboarding is open";
    EXPECT_EQ(scene.watchCount(), 0u);
    for (const auto& volume : scene.model->volumes.get()) EXPECT_EQ(volume->index()->count(), 0u);
}

TEST(OnboardingWindow, LaterStoresTheChoiceClosesAndStartsIndexingOnce) {
    Scene scene;
    scene.close(scene.world.alpha.root());
    AppDelegate& delegate = scene.launch();
    ASSERT_NE(scene.view(), nullptr);
    scene.view()->laterButton()->click();
    EXPECT_EQ(scene.world.settings.boolean(Onboarding::kDismissedKey), true);
    EXPECT_FALSE(delegate.onboarding()->isVisible());
    const auto volumes = scene.model->volumes.get();
    ASSERT_EQ(volumes.size(), 2u);
    turnQt([&] { return !volumes[0]->scanning.get() && !volumes[1]->scanning.get(); });
    EXPECT_GT(volumes[0]->index()->count(), 0u);
    EXPECT_EQ(scene.chooserAsked, 0);
    // One scan per volume: each watched its root once.
    EXPECT_EQ(scene.watches(scene.world.alpha.root()), 1u);
    EXPECT_EQ(scene.watches(scene.world.beta.root()), 1u);
}

TEST(OnboardingWindow, TheCloseButtonLeavesIndexingUnstarted) {
    Scene scene;
    scene.close(scene.world.alpha.root());
    AppDelegate& delegate = scene.launch();
    ASSERT_NE(delegate.onboarding(), nullptr);
    EXPECT_TRUE(delegate.onboarding()->close());
    scene.settle();
    EXPECT_FALSE(delegate.onboarding()->isVisible());
    EXPECT_NE(delegate.onboarding(), nullptr) << "the window is kept when closed";
    EXPECT_FALSE(scene.scansStarted());
    EXPECT_EQ(scene.chooserAsked, 0);
    EXPECT_FALSE(scene.world.settings.boolean(Onboarding::kDismissedKey).has_value());
}

TEST(OnboardingWindow, OpenFolderSendsTheParentFolderAndKeepsTheWindow) {
    Scene scene;
    scene.close(scene.world.beta.root());
    scene.close(scene.world.alpha.root());
    AppDelegate& delegate = scene.launch();
    ASSERT_NE(scene.view(), nullptr);
    const std::string parent = "file://" + fs::path(scene.world.alpha.root()).parent_path().string();
    scene.view()->openButton()->click();
    EXPECT_EQ(scene.desktop.opened, std::vector<std::string>{parent}) << "the first closed folder's parent";
    EXPECT_TRUE(delegate.onboarding()->isVisible());
    // Return presses the default button wherever the focus is.
    delegate.onboarding()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(delegate.onboarding()));
    scene.view()->laterButton()->setFocus();
    QTest::keyClick(scene.view()->laterButton(), Qt::Key_Return);
    EXPECT_EQ(scene.desktop.opened, (std::vector<std::string>{parent, parent}));
    EXPECT_TRUE(delegate.onboarding()->isVisible());
    EXPECT_FALSE(scene.world.settings.boolean(Onboarding::kDismissedKey).has_value());
    EXPECT_FALSE(scene.scansStarted());
}

TEST(OnboardingWindow, RestartStartsTheCopyWithTheSameCommandLineThenQuits) {
    Scene scene;
    scene.close(scene.world.alpha.root());
    scene.launch();
    ASSERT_NE(scene.view(), nullptr);
    scene.view()->restartButton()->click();
    EXPECT_EQ(scene.steps,
              (std::vector<std::string>{"stop listening", "start /proc/self/exe Quorvanta --no-persist", "quit"}));
    EXPECT_FALSE(scene.world.settings.boolean(Onboarding::kDismissedKey).has_value());
}

TEST(OnboardingLaunch, ASecondLaunchAfterLaterGoesStraightToIndexing) {
    Scene scene;
    scene.close(scene.world.alpha.root());
    scene.launch();
    ASSERT_NE(scene.view(), nullptr);
    scene.view()->laterButton()->click();
    scene.settle();
    scene.end();

    AppDelegate& again = scene.launch();
    EXPECT_EQ(again.closedFolders(), std::vector<std::string>{scene.world.alpha.root()}) << "still closed";
    EXPECT_EQ(again.onboarding(), nullptr);
    EXPECT_TRUE(scene.scansStarted());
    const auto volumes = scene.model->volumes.get();
    ASSERT_EQ(volumes.size(), 2u);
    turnQt([&] { return !volumes[0]->scanning.get() && !volumes[1]->scanning.get(); });
    EXPECT_GT(volumes[1]->index()->count(), 0u);
}

TEST(OnboardingWindow, ALanguageChangeRetitlesTheWindowAndRebuildsItsContent) {
    Scene scene;
    scene.close(scene.world.alpha.root());
    AppDelegate& delegate = scene.launch();
    ASSERT_NE(scene.view(), nullptr);
    core::Lang::shared().setChoice("de");
    turnQt([&] { return scene.view() && scene.view()->laterButton()->text().toStdString() == "Später"; });
    EXPECT_EQ(delegate.onboarding()->windowTitle().toStdString(), "Willkommen bei Quorvanta");
    EXPECT_EQ(scene.view()->folderList()->count(), 1);
}

// Pictures: two closed folders, in English, in German and in the dark appearance.
void shoot(const std::string& language, Appearance appearance, const char* name) {
    quorvanta::test::LanguageScope scope(language);
    core::Lang::shared().setChoice(language);
    platform::NotificationCenter notifications;
    QtMainQueue mainQueue;
    OnboardingWindow window({{core::Lang::shared(), notifications, mainQueue},
                             {"/media/alex/Archive/Private", "/srv/shared/Projects (2024)"},
                             {}});
    window.setPalette(Theme::palette(appearance));
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    runPostedEvents();
    ASSERT_NE(window.view(), nullptr);
    EXPECT_EQ(window.width(), OnboardingView::kWidth);
    EXPECT_GE(window.height(), window.view()->sizeHint().height());
    quorvanta::test::saveShot(window, name);
}

TEST(OnboardingPictures, TwoClosedFoldersInEnglishGermanAndDark) {
    shoot("en", Appearance::light, "onboarding");
    shoot("de", Appearance::light, "onboarding-de");
    shoot("en", Appearance::dark, "onboarding-dark");
}

}  // namespace
}  // namespace quorvanta::app::test
