// The windows the menus open, over test contents: each made once and reused, the clean-up report
// recounted only when shown again, the chooser raised while open and replaced once closed, titles
// in the interface language, the settings window's hot-key callback, and the items of windows
// without content disabled.
#include "tests/QuorvantaApp/shell/ShellLaunch.h"

#include "QuorvantaApp/shell/AppMenus.h"
#include "QuorvantaApp/shell/AuxWindows.h"
#include "tests/support/qt/PostedEvents.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app::test {
namespace {

using quorvanta::test::runPostedEvents;
using quorvanta::test::turnQt;

// Test contents: a label of a fixed size per window, counting what the host asks of them.
struct Contents {
    std::map<AuxWindow, int> made;
    int recounts = 0;
    AuxWindowContext* settingsContext = nullptr;
    std::function<void()> chooserDone;
    std::function<HotKeyResult()> onHotkey;

    std::shared_ptr<const AuxWindowRegistry> registry(std::vector<AuxWindow> windows) {
        auto registry = std::make_shared<AuxWindowRegistry>();
        for (const AuxWindow window : windows) {
            AuxWindowContent content;
            content.make = [this, window](const AuxWindowContext& context) {
                ++made[window];
                if (window == AuxWindow::settings) onHotkey = context.onHotkey;
                if (window == AuxWindow::chooser) chooserDone = context.done;
                auto label = std::make_unique<QLabel>("content");
                label->setFixedSize(300, 200);
                return label;
            };
            if (window == AuxWindow::junkReport) content.shownAgain = [this](AppModel&) { ++recounts; };
            registry->add(window, std::move(content));
        }
        return registry;
    }
};

const std::vector<AuxWindow> kAll{AuxWindow::settings, AuxWindow::duplicates, AuxWindow::junkReport, AuxWindow::syntax,
                                  AuxWindow::chooser};

QAction* item(QMenu* menu, const std::string& title) {
    for (QAction* action : menu->actions())
        if (action->text().toStdString() == title) return action;
    return nullptr;
}

QAction* barItem(AppDelegate& delegate, int menu, const std::string& title) {
    return item(delegate.menus()->mainMenu()->actions()[menu]->menu(), title);
}

TEST(AuxWindows, EachWindowIsMadeOnceAndShownAgainFromItsItem) {
    Contents contents;
    ShellLaunch l({.windows = contents.registry(kAll)});
    l.delegate->launch();
    const struct {
        AuxWindow window;
        int menu;
        const char* item;
    } cases[] = {
        {AuxWindow::settings, 0, "Settings …"},
        {AuxWindow::duplicates, 0, "Find duplicates …"},
        {AuxWindow::syntax, 3, "Search Syntax"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        QAction* action = barItem(*l.delegate, c.menu, c.item);
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(action->isEnabled());
        action->trigger();
        QWidget* first = l.delegate->windows()->window(c.window);
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(first->isVisible());
        EXPECT_TRUE(QTest::qWaitForWindowActive(first));
        first->close();
        EXPECT_FALSE(first->isVisible());
        action->trigger();
        EXPECT_EQ(l.delegate->windows()->window(c.window), first);
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(contents.made[c.window], 1);
    }
}

TEST(AuxWindows, TheCleanUpReportIsRecountedOnlyWhenItIsShownAgain) {
    Contents contents;
    ShellLaunch l({.windows = contents.registry(kAll)});
    l.delegate->launch();
    QAction* report = item(l.delegate->menus()->statusMenu(), "Drive clean-up report …");
    report->trigger();
    EXPECT_EQ(contents.recounts, 0);
    report->trigger();
    EXPECT_EQ(contents.recounts, 1);
    l.delegate->windows()->window(AuxWindow::junkReport)->close();
    report->trigger();
    EXPECT_EQ(contents.recounts, 2);
    EXPECT_EQ(contents.made[AuxWindow::junkReport], 1);
}

TEST(AuxWindows, TheChooserIsRaisedWhileOpenAndReplacedOnceClosed) {
    Contents contents;
    ShellLaunch l({.windows = contents.registry(kAll)});
    l.delegate->launch();
    auto* windows = l.delegate->windows();
    l.notifications.post(platform::notification_names::kShowSourceChooser);
    turnQt([&] { return windows->window(AuxWindow::chooser) != nullptr; });
    QPointer<QWidget> first = windows->window(AuxWindow::chooser);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->windowFlags() & Qt::WindowStaysOnTopHint);

    windows->show(AuxWindow::chooser);
    EXPECT_EQ(windows->window(AuxWindow::chooser), first.data());
    EXPECT_EQ(contents.made[AuxWindow::chooser], 1);

    // Its content's done closes it; the next request makes a fresh one and lets the old one go.
    ASSERT_TRUE(contents.chooserDone);
    contents.chooserDone();
    EXPECT_FALSE(first->isVisible());
    windows->show(AuxWindow::chooser);
    EXPECT_NE(windows->window(AuxWindow::chooser), first.data());
    EXPECT_TRUE(windows->window(AuxWindow::chooser)->isVisible());
    EXPECT_EQ(contents.made[AuxWindow::chooser], 2);
    runPostedEvents();
    EXPECT_TRUE(first.isNull()) << "the closed chooser was kept";
}

TEST(AuxWindows, AtAFirstLaunchTheChooserComesUp) {
    Contents contents;
    ShellLaunch l({.configured = false, .windows = contents.registry(kAll)});
    l.delegate->launch();
    QWidget* chooser = l.delegate->windows()->window(AuxWindow::chooser);
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(chooser->isVisible());
}

TEST(AuxWindows, WindowsTakeTheirContentsSizeCentredAndOnlySomeResize) {
    Contents contents;
    ShellLaunch l({.windows = contents.registry(kAll)});
    l.delegate->launch();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const AuxWindow which : kAll) {
        l.delegate->windows()->show(which);
        QWidget* window = l.delegate->windows()->window(which);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->size(), QSize(300, 200));
        const QPoint offCentre = window->geometry().center() - screen.center();
        EXPECT_LE(std::abs(offCentre.x()), 2);
        EXPECT_LE(std::abs(offCentre.y()), 2);
        const bool resizable = which == AuxWindow::duplicates || which == AuxWindow::junkReport;
        EXPECT_EQ(window->minimumSize() != window->maximumSize(), resizable) << window->windowTitle().toStdString();
    }
}

TEST(AuxWindows, TitlesFollowTheLanguageInTheirOrder) {
    Contents contents;
    ShellLaunch l({.windows = contents.registry(kAll)});
    l.delegate->launch();
    auto* windows = l.delegate->windows();
    std::vector<std::string> titles;
    for (const AuxWindow which : kAll) {
        windows->show(which);
        titles.push_back(windows->window(which)->windowTitle().toStdString());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Quorvanta Settings", "Find duplicates", "Drive clean-up report",
                                                "Search Syntax", "Choose drives and folders"}));

    std::vector<std::string> retitled;
    for (const AuxWindow which : kAll)
        QObject::connect(windows->window(which), &QWidget::windowTitleChanged,
                         [&](const QString& title) { retitled.push_back(title.toStdString()); });
    core::Lang::shared().setChoice("de");
    turnQt([&] { return retitled.size() == kAll.size(); });
    EXPECT_EQ(retitled, (std::vector<std::string>{"Laufwerke und Ordner wählen", "Duplikate finden",
                                                  "Bericht zur Laufwerksbereinigung", "Suchsyntax",
                                                  "Quorvanta-Einstellungen"}));
}

TEST(AuxWindows, TheSettingsWindowsCallbackRegistersTheHotKey) {
    Contents contents;
    ShellLaunch l({.windows = contents.registry(kAll)});
    l.delegate->launch();
    l.delegate->windows()->show(AuxWindow::settings);
    ASSERT_TRUE(contents.onHotkey);
    const HotKeyCombo recorded{3, 2304, "F"};
    recorded.save(l.settings);
    l.hotKey.answer = HotKeyStatus::unsupported;
    EXPECT_EQ(contents.onHotkey().status, HotKeyStatus::unsupported);
    EXPECT_EQ(l.hotKey.combos.back(), recorded);
}

TEST(AuxWindows, WithoutContentTheItemsAreDisabledAndShowingDoesNothing) {
    Contents contents;
    ShellLaunch l({.windows = contents.registry({AuxWindow::syntax})});
    l.delegate->launch();
    for (const char* title : {"Settings …", "Find duplicates …", "Drive clean-up report …"}) {
        EXPECT_FALSE(barItem(*l.delegate, 0, title)->isEnabled()) << title;
        EXPECT_FALSE(item(l.delegate->menus()->statusMenu(), title)->isEnabled()) << title;
    }
    EXPECT_TRUE(barItem(*l.delegate, 3, "Search Syntax")->isEnabled());
    for (const AuxWindow which : {AuxWindow::settings, AuxWindow::duplicates, AuxWindow::junkReport, AuxWindow::chooser}) {
        EXPECT_FALSE(l.delegate->windows()->available(which));
        l.delegate->windows()->show(which);
        EXPECT_EQ(l.delegate->windows()->window(which), nullptr);
    }
    EXPECT_TRUE(contents.made.empty());
}

}  // namespace
}  // namespace quorvanta::app::test
