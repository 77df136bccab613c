// Runs what is waiting in the Qt event queue of the test's thread: posted events (the main queue's
// tasks among them), then the deletions that deleteLater asked for.
#pragma once

#include "tests/support/PollFor.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace quorvanta::test {

inline void runPostedEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs the Qt events, the main queue's tasks among them, until `done` holds.
inline void turnQt(const std::function<bool()>& done) {
    ASSERT_TRUE(pollFor(
        [&] {
            runPostedEvents();
            return done();
        },
        std::chrono::milliseconds(1)))
        << "the main queue never brought it about";
}

}  // namespace quorvanta::test
