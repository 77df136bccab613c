#include "QuorvantaApp/model/reports/JunkModel.h"

#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/dispatch/QueueLabels.h"

#include <utility>

namespace quorvanta::app {

JunkModel::JunkModel(platform::MainQueue& main, std::vector<std::string> externalFolders)
    : main_(main),
      externalFolders_(std::move(externalFolders)),
      alive_(std::make_shared<JunkModel*>(this)),
      queue_(std::string(platform::queue_labels::kJunk), platform::Qos::utility, 1) {}

JunkModel::~JunkModel() = default;

void JunkModel::refresh(const Volumes& volumes) {
    if (working.get()) return;
    working.set(true);
    Volumes counted;
    for (const auto& volume : volumes)
        if (!volume->scanning.get()) counted.push_back(volume);
    queue_.async([counted = std::move(counted), weak = std::weak_ptr<JunkModel*>(alive_), &main = main_]() mutable {
        PerVolume result;
        for (const auto& volume : counted) {
            auto rows = core::JunkReport::aggregate(*volume->index());
            if (!rows.empty()) result.push_back({volume->name(), std::move(rows)});
        }
        // The states go back with the result, so that the last reference to one the application
        // dropped meanwhile ends on the main thread, where volume states live.
        main.post([weak, counted = std::move(counted), result = std::move(result)]() mutable {
            if (const auto self = weak.lock()) (*self)->publish(std::move(result));
        });
    });
}

void JunkModel::publish(PerVolume result) {
    perVolume.set(std::move(result));
    working.set(false);
}

void JunkModel::exportList(ReportDialogs& dialogs) const {
    const SaveRequest request{core::tr("%@-junk-report.csv", core::AppInfo::name()), csvFilter(), exportMessage()};
    runExport(
        dialogs, request, [&] { return core::JunkReport::csv(perVolume.get()); }, externalFolders_);
}

}  // namespace quorvanta::app
