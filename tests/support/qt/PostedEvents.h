// Runs what is waiting in the Qt event queue of the test's thread: posted events (the main queue's
// tasks among them), then the deletions that deleteLater asked for.
#pragma once

#include <QCoreApplication>
#include <QEvent>

namespace quorvanta::test {

inline void runPostedEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace quorvanta::test
