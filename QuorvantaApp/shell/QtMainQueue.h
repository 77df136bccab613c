// The application's main queue bound to the Qt event loop: each task runs on the thread that made
// the queue (the one that runs QApplication::exec), one task per Qt event, in the order the tasks
// were posted from whichever threads. A delayed task waits on the queue's clock, then joins the
// same line. postSync and shutdown come from MainQueue; the end of the event loop (Qt's
// aboutToQuit) begins the shutdown too, so that no thread waits in postSync for a loop that no
// longer runs.
//
// Threads: post, postAfter and isMainThread are safe from any thread. Make and destroy the queue
// on the main thread while the QCoreApplication exists. Tasks still waiting when it is destroyed,
// and delayed ones that fall due afterwards, never run.
#pragma once

#include "platform/dispatch/MainQueue.h"
#include "platform/time/Clock.h"

#include <memory>
#include <thread>

namespace quorvanta::app {

class QtMainQueue final : public platform::MainQueue {
public:
    explicit QtMainQueue(platform::Clock& clock = platform::realClock());
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(platform::Task task) override;
    void postAfter(platform::Clock::Duration delay, platform::Task task) override;
    bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }

private:
    struct Line;
    const std::thread::id mainThread_;
    const std::shared_ptr<Line> line_;
};

}  // namespace quorvanta::app
