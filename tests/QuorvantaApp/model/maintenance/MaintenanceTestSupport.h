// For the maintenance tests: what a step handed to the model's job queues and how many searches
// it started, and the passing of time on the model's fake clock, with the timer's ticks.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"

#include <chrono>
#include <cstdint>
#include <ostream>

namespace quorvanta::app::test {

// Jobs handed to each queue and searches started, as running totals or as the difference
// between two readings.
struct Work {
    std::uint64_t bg = 0;
    std::uint64_t audio = 0;
    std::uint64_t content = 0;
    std::uint64_t net = 0;
    std::int64_t searches = 0;

    bool operator==(const Work&) const = default;
    Work operator-(const Work& before) const {
        return {bg - before.bg, audio - before.audio, content - before.content, net - before.net,
                searches - before.searches};
    }
    friend std::ostream& operator<<(std::ostream& out, const Work& w) {
        return out << "{bg " << w.bg << ", audio " << w.audio << ", content " << w.content << ", net " << w.net
                   << ", searches " << w.searches << "}";
    }
};

inline Work workOf(AppModel& model) {
    return {model.bg().submitted(), model.audioQueue().submitted(), model.contentQueue().submitted(),
            model.netQueue().submitted(), model.generation()};
}

// What `step` started.
template <class Step>
Work workDuring(AppModel& model, Step&& step) {
    const Work before = workOf(model);
    step();
    return workOf(model) - before;
}

// Lets `seconds` pass on the model's clock: every timer tick due meanwhile runs at its time.
inline void pass(ModelWorld& world, double seconds) {
    world.main.runUntil(world.clock.now() +
                        std::chrono::duration_cast<platform::Clock::Duration>(std::chrono::duration<double>(seconds)));
}

// Runs what the model posts until no audio analysis, content update or sort-order build of the
// volume is running.
inline void waitIdle(ModelWorld& world, const VolumeState& volume) {
    world.main.waitUntil([&] { return !volume.audioRunning.get() && !volume.contentRunning && !volume.maintaining; });
}

}  // namespace quorvanta::app::test
