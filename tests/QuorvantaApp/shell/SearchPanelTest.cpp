// The search panel: where it opens (the centred default, a saved frame that is still on a screen,
// never a frame nobody could see or a value that is no frame), when its frame is written (once a
// move or resize has settled, on hiding, at quit), closing as hiding, and the toggle's three
// states with the one focus request of each showing.
#include "QuorvantaApp/shell/SearchPanel.h"

#include "platform/notify/NotificationNames.h"
#include "tests/support/qt/PostedEvents.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quorvanta::app {
namespace {

using platform::notification_names::kFocusSearch;

// Runs each task at once, so a test counts notifications as they are posted.
struct InlineExecutor final : platform::Executor {
    void post(platform::Task task) override { task(); }
};

struct World {
    World() {
        focusRequests = notifications.observe(kFocusSearch, inline_, [this] { ++focusPosts; });
        frameWrites = settings.observe(SearchPanel::kFrameKey, inline_, [this] { ++writes; });
    }
    std::unique_ptr<SearchPanel> panel() {
        return std::make_unique<SearchPanel>(SearchPanel::Setup{settings, notifications}, new QLabel("content"));
    }
    std::string stored() const { return settings.text(SearchPanel::kFrameKey).value_or("(none)"); }

    InlineExecutor inline_;
    platform::MemorySettings settings;
    platform::NotificationCenter notifications;
    int focusPosts = 0;
    int writes = 0;
    platform::Connection focusRequests;
    platform::Connection frameWrites;
};

QRect primaryArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

TEST(SearchPanelFrame, FirstLaunchIsCentredAtTheDefaultSize) {
    World w;
    const auto panel = w.panel();
    EXPECT_EQ(panel->windowTitle().toStdString(), "Quorvanta");
    EXPECT_EQ(panel->geometry().size(), QSize(1000, 620));
    EXPECT_EQ(panel->geometry().center(), primaryArea().center());
    EXPECT_EQ(panel->geometry(), SearchPanel::defaultFrame());
    // Placing it is not a change of the user's: nothing is written.
    EXPECT_FALSE(panel->frameSavePending());
    EXPECT_EQ(w.writes, 0);
}

TEST(SearchPanelFrame, MovedFrameIsWrittenOnceSettledAndComesBack) {
    World w;
    const QRect moved(primaryArea().topLeft() + QPoint(30, 20), QSize(840, 500));
    {
        const auto panel = w.panel();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        w.writes = 0;
        // A drag is many moves: none of them writes by itself.
        for (int step = 0; step < 10; ++step) panel->move(moved.topLeft() + QPoint(10 - step, 0));
        panel->setGeometry(moved);
        EXPECT_TRUE(panel->frameSavePending());
        EXPECT_EQ(w.writes, 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->frameSavePending(); }, 5000));
        EXPECT_EQ(w.writes, 1);
        EXPECT_EQ(w.stored(), SearchPanel::frameText(moved));
        panel->hide();
    }
    const auto again = w.panel();
    EXPECT_EQ(again->geometry(), moved);
}

TEST(SearchPanelFrame, UnusableSavedFramesGiveTheDefault) {
    const QRect area = primaryArea();
    const std::string offScreen = SearchPanel::frameText(QRect(area.right() + 5000, area.bottom() + 5000, 900, 500));
    const std::string cases[] = {offScreen,         "",
                                 "garbage",         "10 20 900",
                                 "10 20 900 500 7", "10 20 0 500",
                                 "10 20 900 -5",    "10,20,900,500",
                                 "10 20 900 5x0",   "99999999999 0 900 500",
                                 "1e3 0 900 500"};
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        World w;
        w.settings.setText(SearchPanel::kFrameKey, text);
        EXPECT_EQ(w.panel()->geometry(), SearchPanel::defaultFrame());
    }
    // A frame that only overlaps a screen's corner still counts as on the screen.
    World w;
    const QRect corner(area.left() - 800, area.top() - 400, 900, 500);
    w.settings.setText(SearchPanel::kFrameKey, SearchPanel::frameText(corner));
    EXPECT_EQ(w.panel()->geometry(), corner);
}

TEST(SearchPanelFrame, FrameTextRoundTrips) {
    const QRect frames[] = {{0, 0, 1000, 620}, {-300, -40, 640, 400}, {2560, 1440, 1, 1}};
    for (const QRect& frame : frames) EXPECT_EQ(SearchPanel::parseFrame(SearchPanel::frameText(frame)), frame);
}

TEST(SearchPanelFrame, HidingClosingAndQuitWriteTheFrameAtOnce) {
    World w;
    const auto panel = w.panel();
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    const QRect moved(primaryArea().topLeft() + QPoint(12, 14), QSize(900, 560));
    panel->setGeometry(moved);
    panel->hidePanel();
    EXPECT_FALSE(panel->frameSavePending());
    EXPECT_EQ(w.stored(), SearchPanel::frameText(moved));

    // Closing hides and keeps the window.
    panel->show();
    const QRect other = moved.translated(20, 20);
    panel->setGeometry(other);
    panel->close();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(w.stored(), SearchPanel::frameText(other));

    // Quit writes what is pending now.
    panel->show();
    const QRect last = other.translated(5, 5);
    panel->setGeometry(last);
    EXPECT_TRUE(panel->frameSavePending());
    panel->saveFrame();
    EXPECT_FALSE(panel->frameSavePending());
    EXPECT_EQ(w.stored(), SearchPanel::frameText(last));
}

TEST(SearchPanelToggle, StateTable) {
    enum class Start { hidden, visibleActive, visibleBehind };
    const struct {
        const char* name;
        Start start;
        bool visibleAfter;
        bool activeAfter;
        int focusPosts;
    } cases[] = {
        {"visible and active: hidden", Start::visibleActive, false, false, 0},
        {"visible behind another window: raised and focused", Start::visibleBehind, true, true, 1},
        {"hidden: shown, focused, notified", Start::hidden, true, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        World w;
        const auto panel = w.panel();
        QWidget other;
        other.setGeometry(primaryArea().adjusted(40, 40, -40, -40));
        if (c.start != Start::hidden) {
            panel->showPanel();
            ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        }
        if (c.start == Start::visibleBehind) {
            other.show();
            other.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
            ASSERT_FALSE(panel->isActiveWindow());
        }
        w.focusPosts = 0;
        panel->togglePanel();
        if (c.activeAfter) {
            EXPECT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        }
        EXPECT_EQ(panel->isVisible(), c.visibleAfter);
        EXPECT_EQ(panel->isActiveWindow(), c.activeAfter);
        EXPECT_EQ(w.focusPosts, c.focusPosts);
        test::runPostedEvents();
    }
}

TEST(SearchPanelToggle, EveryShowingAsksForTheQueryFieldOnce) {
    World w;
    const auto panel = w.panel();
    panel->showPanel();
    EXPECT_EQ(w.focusPosts, 1);
    panel->showPanel();
    EXPECT_EQ(w.focusPosts, 2);
    panel->hidePanel();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(w.focusPosts, 2);
}

}  // namespace
}  // namespace quorvanta::app
