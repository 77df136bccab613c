// The adapters between the model's observable values and the Qt views: a view follows a signal, a
// published field or a notification through its CoalescedRefresh, redraws once a main-queue turn
// later, on the main thread, reading the new value, and is never called once it is gone.
#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"
#include "platform/notify/NotificationCenter.h"
#include "tests/support/qt/PostedEvents.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quorvanta::app {
namespace {

using test::runPostedEvents;

// What the redraws of a view saw: the value each read and the thread each ran on. Kept outside
// the view, so a test can look after the view is gone.
struct Drawn {
    std::vector<int> values;
    std::vector<std::thread::id> threads;
};

// A view of one published number.
class NumberView final : public QWidget {
public:
    NumberView(const core::Published<int>& number, Drawn& drawn)
        : refresh(this, [&number, &drawn] {
              drawn.values.push_back(number.get());
              drawn.threads.push_back(std::this_thread::get_id());
          }) {}

    CoalescedRefresh refresh;
};

TEST(QtMainQueueAdapters, RedrawsOnceATurnLaterWithTheNewValue) {
    core::Signal<> willChange;
    core::Published<int> number(0, &willChange);
    Drawn drawn;
    NumberView view(number, drawn);
    view.refresh.follow(number);
    view.refresh.follow(willChange);

    number.set(1);
    number.set(2);
    EXPECT_TRUE(drawn.values.empty()) << "redrawn inside the observer, before the value was stored";
    runPostedEvents();
    EXPECT_EQ(drawn.values, std::vector<int>{2}) << "one redraw for both changes, of the stored value";

    number.set(3);
    runPostedEvents();
    EXPECT_EQ(drawn.values, (std::vector<int>{2, 3}));
}

TEST(QtMainQueueAdapters, AChangeOnAWorkerRedrawsOnTheMainThread) {
    core::Published<int> number(0);
    Drawn drawn;
    NumberView view(number, drawn);
    view.refresh.follow(number);

    std::thread([&] { number.set(7); }).join();
    EXPECT_TRUE(drawn.values.empty());
    runPostedEvents();
    EXPECT_EQ(drawn.values, std::vector<int>{7});
    EXPECT_EQ(drawn.threads, std::vector<std::thread::id>{std::this_thread::get_id()});
}

TEST(QtMainQueueAdapters, AViewDestroyedBeforeTheNextChangeIsNeverCalled) {
    core::Signal<> willChange;
    core::Published<int> number(0, &willChange);
    Drawn drawn;
    auto* view = new NumberView(number, drawn);
    view->refresh.follow(number);
    view->refresh.follow(willChange);
    EXPECT_EQ(willChange.receiverCount(), 1u);

    number.set(1);  // a redraw waits in the event queue
    delete view;
    EXPECT_EQ(willChange.receiverCount(), 0u) << "the link outlived the view";
    runPostedEvents();
    number.set(2);
    runPostedEvents();
    EXPECT_TRUE(drawn.values.empty()) << "a view that is gone was redrawn";
}

TEST(QtMainQueueAdapters, NotificationsRedrawThroughTheMainQueue) {
    QtMainQueue queue;
    platform::NotificationCenter notifications;
    core::Published<int> number(4);
    Drawn drawn;
    auto* view = new NumberView(number, drawn);
    view->refresh.follow(notifications, "quorvanta.test", queue);

    notifications.post("quorvanta.test");
    notifications.post("quorvanta.test");
    notifications.post("quorvanta.other");
    runPostedEvents();  // the observers, on the main queue
    runPostedEvents();  // the one redraw they asked for
    EXPECT_EQ(drawn.values, std::vector<int>{4});

    notifications.post("quorvanta.test");  // waits on the main queue
    delete view;
    runPostedEvents();
    runPostedEvents();
    notifications.post("quorvanta.test");
    runPostedEvents();
    EXPECT_EQ(drawn.values, std::vector<int>{4}) << "a view that is gone was redrawn";
}

}  // namespace
}  // namespace quorvanta::app
