#include "QuorvantaApp/shell/QtMainQueue.h"

#include "platform/dispatch/TaskInbox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <mutex>

namespace quorvanta::app {
namespace {

QEvent::Type runOneEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Lives on the main thread; each of its events runs the oldest waiting task.
class Runner final : public QObject {
public:
    explicit Runner(platform::TaskInbox& inbox) : inbox_(inbox) {}

    bool event(QEvent* event) override {
        if (event->type() != runOneEvent()) return QObject::event(event);
        if (auto task = inbox_.tryPop()) (*task)();
        return true;
    }

private:
    platform::TaskInbox& inbox_;
};

}  // namespace

// The tasks in posting order, and the Qt object whose events run them. Timers hold it weakly.
struct QtMainQueue::Line {
    platform::TaskInbox inbox;
    std::mutex mutex;           // guards runner against the queue's destruction
    QObject* runner = nullptr;  // owned by the queue; null once it is gone

    void post(platform::Task task) {
        if (!inbox.push(std::move(task))) return;
        // One event per task: a task runs between other Qt events, never in a burst that starves
        // painting and input.
        std::lock_guard lock(mutex);
        if (runner) QCoreApplication::postEvent(runner, new QEvent(runOneEvent()));
    }
};

QtMainQueue::QtMainQueue(platform::Clock& clock)
    : MainQueue(clock), mainThread_(std::this_thread::get_id()), line_(std::make_shared<Line>()) {
    line_->runner = new Runner(line_->inbox);
    // The runner as the connection's context: the connection ends with the queue.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, line_->runner,
                     [this] { beginShutdown(); });
}

QtMainQueue::~QtMainQueue() {
    line_->inbox.close();
    QObject* runner = nullptr;
    {
        std::lock_guard lock(line_->mutex);
        std::swap(runner, line_->runner);
    }
    delete runner;  // drops its pending events
}

void QtMainQueue::post(platform::Task task) { line_->post(std::move(task)); }

void QtMainQueue::postAfter(platform::Clock::Duration delay, platform::Task task) {
    clock().scheduleAfter(delay, [line = std::weak_ptr<Line>(line_), task = std::move(task)]() mutable {
        if (const auto alive = line.lock()) alive->post(std::move(task));
    });
}

}  // namespace quorvanta::app
