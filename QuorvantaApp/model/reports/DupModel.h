// DupModel: the duplicate-finder window's model. It holds what the user chose (the ticked volumes,
// the optional stages), runs one audio::DuplicateFinder over the chosen volumes off the main
// thread, turns the finder's reports into one progress record per stage, publishes the groups and
// an end message, lets the user pick each group's keeper, and exports the groups as a CSV report
// or an M3U playlist of the surplus files. It never deletes, moves or renames a file.
//
// The model lives as long as the application, so the ticked volumes, the stages, the last result
// and the last message survive the window being closed and opened again. Nothing is stored.
//
// Threads: every member belongs to the main thread. A run has a serial queue of its own
// ("quorvanta.dupes", utility) that calls the finder; the finder's progress handler, called on its
// workers, only posts the four numbers to the main queue, and the run posts its result there too.
// Posts that arrive after the model is gone are dropped.
//
// Lifetimes: `searched` holds the run's volume states and the finder holds their indexes, so a
// volume the application drops during a run stays readable until the next run. Destroying the
// model cancels a running finder and waits for the run's thread to end; the main queue must
// outlive the model.
#pragma once

#include "QuorvantaApp/model/reports/ListExport.h"
#include "QuorvantaApp/model/reports/ReportDialogs.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"
#include "audio/dupes/DupModel.h"
#include "audio/dupes/DuplicateFinder.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/SerialQueue.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvanta::app {

class DupModel {
public:
    // The last report of one stage. Each report replaces the stage's record; nothing adds up.
    struct StageState {
        std::int64_t done = 0;
        std::int64_t total = 0;
        std::int64_t groups = 0;  // groups found so far, as reported
        bool finished = false;    // done == total when reported

        friend bool operator==(const StageState&, const StageState&) = default;
    };

    using Volumes = std::vector<std::shared_ptr<VolumeState>>;

    // `main` runs the posts of the runs; `externalFolders` are where exports are refused.
    explicit DupModel(platform::MainQueue& main, std::vector<std::string> externalFolders = defaultExternalFolders());
    ~DupModel();
    DupModel(const DupModel&) = delete;
    DupModel& operator=(const DupModel&) = delete;

    // Fires before each change of any published field.
    core::Signal<> objectWillChange;

    // Published fields.
    core::Published<std::map<audio::DupStage, StageState>> stages{{}, &objectWillChange};
    core::Published<std::set<audio::DupStage>> enabled{
        {audio::DupStage::size, audio::DupStage::quickHash, audio::DupStage::fullHash, audio::DupStage::sameSong},
        &objectWillChange};
    core::Published<bool> running{false, &objectWillChange};
    core::Published<std::vector<audio::DupGroup>> groups{{}, &objectWillChange};  // in the finder's order
    core::Published<std::set<std::string>> volumeIDs{{}, &objectWillChange};      // VolumeState::id of ticked ones
    core::Published<std::string> message{{}, &objectWillChange};                  // end message of the last run

    // The volumes of the last run, in the order the finder numbers them (DupMember::vol).
    const Volumes& searched() const { return searched_; }
    // The finder of the last run, kept after it ended; the window cancels a run through it.
    const std::shared_ptr<audio::DuplicateFinder>& finder() const { return finder_; }
    // The fingerprint program, looked up once when the model was made; none when not installed.
    const std::optional<std::string>& fpcalc() const { return fpcalc_; }

    // Starts a run over those of `volumes` that are ticked, neither scanning nor offline, in the
    // given order. Does nothing when none qualifies or a run is under way. Returns at once.
    void start(const Volumes& volumes);

    // Makes the member at position `member` the keeper of the group with id `group`. An unknown
    // group or a position outside the group's members changes nothing.
    void setKeep(std::int64_t group, std::int64_t member);

    // A member's path as the window shows it: on the internal disk without the volume's display
    // prefix, elsewhere "<volume name> — <full path>".
    std::string displayPath(const audio::DupMember& member) const;

    // Files that removing every member but the keepers would remove.
    std::int64_t surplusFiles() const;

    // Asks for a file and writes the CSV report of the groups (`csv`) or the M3U playlist of their
    // surplus members; a refused path shows the "Export not possible" alert.
    void exportList(bool csv, ReportDialogs& dialogs) const;

private:
    void applyProgress(const audio::DuplicateFinder::Progress& progress);
    void finish(const audio::DuplicateFinder& finder, std::vector<audio::DupGroup> result);

    platform::MainQueue& main_;
    const std::vector<std::string> externalFolders_;
    const std::optional<std::string> fpcalc_;
    Volumes searched_;
    std::shared_ptr<audio::DuplicateFinder> finder_;
    std::unique_ptr<platform::SerialQueue> runQueue_;  // the last run's; destroying it joins its thread
    // What the run's posts hold weakly: gone once the model is destroyed.
    const std::shared_ptr<DupModel*> alive_;
};

}  // namespace quorvanta::app
