#include "QuorvantaApp/model/reports/DupModel.h"

#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "audio/dupes/DupExport.h"
#include "audio/dupes/Fingerprint.h"
#include "platform/dispatch/QueueLabels.h"

#include <algorithm>

namespace quorvanta::app {

using audio::DupGroup;
using audio::DuplicateFinder;
using audio::DupStage;

DupModel::DupModel(platform::MainQueue& main, std::vector<std::string> externalFolders)
    : main_(main),
      externalFolders_(std::move(externalFolders)),
      fpcalc_(audio::fpcalcPath()),
      alive_(std::make_shared<DupModel*>(this)) {}

DupModel::~DupModel() {
    if (finder_ && running.get()) finder_->cancel();
    runQueue_.reset();
}

void DupModel::start(const Volumes& volumes) {
    Volumes kept;
    for (const auto& volume : volumes) {
        if (volumeIDs->contains(volume->id()) && !volume->scanning.get() && !volume->offline.get())
            kept.push_back(volume);
    }
    if (kept.empty() || running.get()) return;

    // The last run's thread has posted its result already, so this only joins it; what it held
    // of the last run is then let go here, on the main thread.
    runQueue_.reset();
    searched_ = std::move(kept);
    running.set(true);
    groups.set({});
    stages.set({});
    message.set("");

    // The first three stages always run: without them nothing is ever proven identical.
    DuplicateFinder::Options options;
    options.stages = {DupStage::size, DupStage::quickHash, DupStage::fullHash};
    options.stages.insert(enabled->begin(), enabled->end());
    std::vector<std::shared_ptr<core::VolumeIndex>> indexes;
    for (const auto& volume : searched_) indexes.push_back(volume->index());
    finder_ = std::make_shared<DuplicateFinder>(std::move(indexes), std::move(options));

    runQueue_ =
        std::make_unique<platform::SerialQueue>(std::string(platform::queue_labels::kDupes), platform::Qos::utility);
    runQueue_->async([finder = finder_, weak = std::weak_ptr<DupModel*>(alive_), &main = main_] {
        // Called on the finder's workers with its pool's lock held: copy the numbers into a post.
        const DuplicateFinder::ProgressFn progress = [weak, &main](const DuplicateFinder::Progress& p) {
            main.post([weak, p] {
                if (const auto self = weak.lock()) (*self)->applyProgress(p);
            });
        };
        std::vector<DupGroup> result = finder->run(progress);
        main.post([weak, finder, result = std::move(result)]() mutable {
            if (const auto self = weak.lock()) (*self)->finish(*finder, std::move(result));
        });
    });
}

void DupModel::applyProgress(const DuplicateFinder::Progress& p) {
    auto records = stages.get();
    records[p.stage] = StageState{p.done, p.total, p.groups, p.done == p.total};
    stages.set(std::move(records));
}

void DupModel::finish(const DuplicateFinder& finder, std::vector<DupGroup> result) {
    const bool none = result.empty();
    groups.set(std::move(result));
    running.set(false);
    if (finder.isCancelled())
        message.set(core::tr("Cancelled — partial result."));
    else if (none)
        message.set(core::tr("No duplicates found."));
    else
        message.set("");
}

void DupModel::setKeep(std::int64_t group, std::int64_t member) {
    auto list = groups.get();
    const auto it = std::find_if(list.begin(), list.end(), [&](const DupGroup& g) { return g.id == group; });
    if (it == list.end() || member < 0 || member >= static_cast<std::int64_t>(it->members.size())) return;
    it->keep = member;
    groups.set(std::move(list));
}

std::string DupModel::displayPath(const audio::DupMember& member) const {
    if (member.vol < 0 || member.vol >= static_cast<std::int64_t>(searched_.size())) return member.path;
    const VolumeState& volume = *searched_[static_cast<std::size_t>(member.vol)];
    if (volume.isInternal()) return volume.displayPath(member.path);
    return volume.name() + " — " + member.path;
}

std::int64_t DupModel::surplusFiles() const {
    std::int64_t files = 0;
    for (const DupGroup& group : groups.get()) files += static_cast<std::int64_t>(group.members.size()) - 1;
    return files;
}

void DupModel::exportList(bool csv, ReportDialogs& dialogs) const {
    const std::string& name = core::AppInfo::name();
    const SaveRequest request{csv ? core::tr("%@-duplicates.csv", name) : core::tr("%@-duplicates-surplus.m3u", name),
                              csv ? csvFilter() : m3uFilter(), exportMessage()};
    runExport(
        dialogs, request,
        [&] {
            return csv ? audio::DupExport::csv(groups.get())
                       : audio::DupExport::m3u(groups.get(), audio::DupExport::Which::surplus);
        },
        externalFolders_);
}

}  // namespace quorvanta::app
