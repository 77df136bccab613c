// The desktop launch in process over small temporary trees: the panel with its menus comes up
// shown and focused with one focus request, indexing starts or the chooser is asked for, the
// search view's requests reach the delegate, a language change rebuilds the menus, a second
// launch brings the panel back, and Quit from the menu bar or the tray runs the quit path once.
#include "tests/QuorvantaApp/model/entry/ServingTestSupport.h"

#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "QuorvantaApp/shell/AppDelegate.h"
#include "QuorvantaApp/shell/AppMenus.h"
#include "QuorvantaApp/shell/DialogPresenter.h"
#include "QuorvantaApp/shell/QtApplication.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "QuorvantaApp/shell/SearchPanel.h"
#include "QuorvantaApp/shell/Updates.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/notify/NotificationNames.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/PollFor.h"
#include "tests/support/qt/PostedEvents.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvanta::app::test {
namespace {

using quorvanta::test::turnQt;

// Runs each task at once, so the test counts the notifications as they are posted.
struct InlineExecutor final : platform::Executor {
    void post(platform::Task task) override { task(); }
};

// A launch over the serving world's two trees, with its own notification centre, frame store,
// history, alerts and tray answer.
struct Launch {
    Launch(bool configured, bool forced, bool tray = false) {
        world.settings.setBoolean(LocalAPIHost::kLocalAPIKey, false);
        world.prefs.setConfigured(configured);
        model = AppModel::create(forced ? std::vector<std::string>{world.alpha.root()} : std::vector<std::string>{},
                                 true, world.lifeDeps(queue));
        focusRequests =
            notifications.observe(platform::notification_names::kFocusSearch, inline_, [this] { ++focusPosts; });
        ProcessEnd end;
        end.exit = [this](int) { ++ends; };
        delegate = std::make_unique<AppDelegate>(
            AppDelegate::Setup{model, world.host, world.prefs, queue, end, forced,
                               AppDelegate::Shell{frames, notifications, core::Lang::shared(), history, dialogs,
                                                  updates, nullptr, [tray] { return tray; }}});
        QObject::connect(delegate.get(), &AppDelegate::sourceChooserRequested, [this] { ++chooserAsked; });
    }
    ~Launch() {
        delegate.reset();
        model->windDown(5s);
    }

    QAction* barItem(int menu, const std::string& title) const {
        for (QAction* a : delegate->menus()->mainMenu()->actions()[menu]->menu()->actions())
            if (a->text().toStdString() == title) return a;
        return nullptr;
    }
    QAction* statusItem(const std::string& title) const {
        for (QAction* a : delegate->menus()->statusMenu()->actions())
            if (a->text().toStdString() == title) return a;
        return nullptr;
    }

    quorvanta::test::LanguageScope language{"en"};
    ServingWorld world;
    QtMainQueue queue{world.clock};
    std::shared_ptr<AppModel> model;
    InlineExecutor inline_;
    platform::MemorySettings frames;
    // The language object posts its change on the standard centre, as the application's pieces do.
    platform::NotificationCenter& notifications = platform::NotificationCenter::standard();
    quorvanta::test::TempDir dir;
    SearchHistoryModel history{dir / "search-history.json"};
    ScriptedDialogs dialogs;
    Updates updates{dialogs};
    platform::Connection focusRequests;
    int focusPosts = 0;
    int chooserAsked = 0;
    int ends = 0;
    std::unique_ptr<AppDelegate> delegate;
};

TEST(AppLaunch, ShowsTheFocusedPanelAndStartsIndexingOrAsksForTheChooser) {
    const struct {
        const char* name;
        bool configured;
        bool forced;
        bool scans;
    } cases[] = {
        {"configured sources", true, false, true},
        {"--root without configured sources", false, true, true},
        {"nothing configured", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Launch l(c.configured, c.forced);
        EXPECT_EQ(l.delegate->panel(), nullptr);
        l.delegate->launch();
        l.delegate->launch();  // once only
        SearchPanel* panel = l.delegate->panel();
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_TRUE(QTest::qWaitForWindowActive(panel));
        EXPECT_EQ(panel->windowTitle().toStdString(), "Quorvanta");
        EXPECT_EQ(panel->menuBar(), l.delegate->menus()->mainMenu());
        EXPECT_EQ(l.delegate->menus()->trayIcon(), nullptr);
        EXPECT_EQ(l.focusPosts, 1);
        EXPECT_EQ(l.chooserAsked, c.scans ? 0 : 1);
        if (c.scans) {
            ASSERT_FALSE(l.model->volumes->empty());
            const auto volume = l.model->volumes->at(0);
            turnQt([&] { return !volume->scanning.get(); });
            EXPECT_GT(volume->index()->count(), 0u);
        } else {
            EXPECT_TRUE(l.model->volumes->empty());
        }
    }
}

TEST(AppLaunch, TheSearchViewsRequestsReachTheDelegate) {
    Launch l(true, false);
    l.delegate->launch();
    SearchPanel* panel = l.delegate->panel();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));

    l.notifications.post(platform::notification_names::kHideSearch);
    turnQt([&] { return !panel->isVisible(); });
    EXPECT_EQ(l.focusPosts, 1);

    // A second launch of the application brings the panel back, focused.
    l.delegate->reopen();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(l.focusPosts, 2);

    l.notifications.post(platform::notification_names::kShowSourceChooser);
    turnQt([&] { return l.chooserAsked == 1; });

    // "Open search" in the status menu runs the panel's toggle: a hidden panel comes back, focused.
    panel->hidePanel();
    l.statusItem("Open search")->trigger();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(l.focusPosts, 3);
}

TEST(AppLaunch, LanguageChangeRebuildsBothMenus) {
    Launch l(true, false);
    l.delegate->launch();
    QMenuBar* oldBar = l.delegate->menus()->mainMenu();
    QMenu* oldStatus = l.delegate->menus()->statusMenu();
    core::Lang::shared().setChoice("de");
    turnQt([&] { return l.delegate->menus()->statusMenu() != oldStatus; });
    EXPECT_NE(l.delegate->menus()->mainMenu(), oldBar);
    EXPECT_EQ(l.delegate->panel()->menuBar(), l.delegate->menus()->mainMenu());
    EXPECT_NE(l.barItem(0, "Quorvanta beenden"), nullptr);
    EXPECT_NE(l.statusItem("Suche öffnen"), nullptr);
}

TEST(AppLaunch, AboutAndUpdatesShowTheirAlerts) {
    Launch l(true, false);
    l.delegate->launch();
    l.dialogs.answers = {0, 0};
    l.barItem(0, "About Quorvanta")->trigger();
    l.statusItem("Check for updates …")->trigger();
    ASSERT_EQ(l.dialogs.shown.size(), 2u);
    EXPECT_EQ(l.dialogs.shown[0].message, "Quorvanta");
    EXPECT_EQ(l.dialogs.shown[0].informative, "0.1.0");
    EXPECT_EQ(l.dialogs.shown[1].message, "Updates are not set up in this version");
}

TEST(AppLaunch, QuitFromTheMenuBarOrTheTrayRunsTheQuitPathOnce) {
    Launch l(true, false, true);
    l.delegate->launch();
    ASSERT_NE(l.delegate->menus()->trayIcon(), nullptr);
    EXPECT_EQ(l.delegate->menus()->trayIcon()->contextMenu(), l.delegate->menus()->statusMenu());
    // The panel moved before the quit: its frame is written by the quit.
    SearchPanel* panel = l.delegate->panel();
    panel->move(panel->pos() + QPoint(7, 9));
    const std::string frame = SearchPanel::frameText(panel->geometry());
    l.barItem(0, "Quit Quorvanta")->trigger();
    EXPECT_EQ(l.ends, 1);
    EXPECT_EQ(l.frames.text(SearchPanel::kFrameKey), frame);
    l.statusItem("Quit Quorvanta")->trigger();
    EXPECT_EQ(l.ends, 1);
}

}  // namespace
}  // namespace quorvanta::app::test

namespace quorvanta::app::test {
namespace {

// The desktop's list starts the application through its entry; the entry's name is the id the
// windows carry, so the desktop ties them to it.
TEST(AppLaunchDesktopEntry, NamedAfterTheApplicationIdAndStartsTheExecutable) {
    const fs::path folder = QUORVANTA_DESKTOP_DIR;
    const fs::path entry = folder / (core::AppInfo::bundleID() + ".desktop");
    std::ifstream in(entry);
    ASSERT_TRUE(in) << entry;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[Desktop Entry]");
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("Type=Application"));
    EXPECT_TRUE(has("Name=" + core::AppInfo::name()));
    EXPECT_TRUE(has("Exec=" + fs::path(QUORVANTA_APP_PATH).filename().string()));
    EXPECT_TRUE(has("Icon=" + core::AppInfo::bundleID()));
    EXPECT_TRUE(fs::is_regular_file(folder / (core::AppInfo::bundleID() + ".svg")));
    configureApplication();
    EXPECT_EQ(QGuiApplication::desktopFileName().toStdString(), core::AppInfo::bundleID());
}

}  // namespace
}  // namespace quorvanta::app::test
