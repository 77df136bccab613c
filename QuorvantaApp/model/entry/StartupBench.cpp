#include "QuorvantaApp/model/entry/StartupBench.h"

#include "QuorvantaCore/index/VolumeIndex.h"

#include <cmath>
#include <cstdio>

namespace quorvanta::app {

std::string StartupBench::line(double ms, std::size_t rows, const AppModel::Volumes& volumes) {
    std::string described;
    for (const auto& volume : volumes) {
        if (!described.empty()) described += ", ";
        described += volume->name() + "=" + std::to_string(volume->index()->liveCount()) +
                     (volume->loaded() ? " snapshot" : " scan");
    }
    char head[96];
    std::snprintf(head, sizeof head, "startup: %.0f ms from main() to %zu rows (", ms, rows);
    return head + described + ")";
}

void StartupBench::run(AppModel& model, platform::Clock::TimePoint t0, platform::RunLoop& loop, const ProcessEnd& end,
                       platform::Clock::Duration cap) {
    platform::Clock& clock = loop.clock();
    model.startScans();
    while (model.results.get()->rows().size() == 0 && clock.now() - t0 < cap) loop.runFor(kStep);
    const double ms = std::chrono::duration<double, std::milli>(clock.now() - t0).count();
    const std::string text = line(ms, model.results.get()->rows().size(), model.volumes.get()) + "\n";
    std::fputs(text.c_str(), end.out);
    end.finish(&model, 0);
}

}  // namespace quorvanta::app
