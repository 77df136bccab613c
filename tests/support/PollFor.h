// Waiting for something another thread or process brings about, without a timed expectation:
// pollFor asks `done` a step at a time and gives up only after a generous bound.
#pragma once

#include <chrono>
#include <thread>

namespace quorvanta::test {

// False when `done` did not hold within two minutes.
template <class F>
bool pollFor(F done, std::chrono::milliseconds step = std::chrono::milliseconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(step);
    }
    return done();
}

}  // namespace quorvanta::test
