// JunkModel: the drive clean-up report's model. A refresh counts the system junk of each given
// volume (core::JunkReport::aggregate) in the background and publishes, per volume with junk, its
// rows by kind; the export writes that list as CSV. It only counts and lists: nothing is deleted
// or moved.
//
// A refresh while one runs is dropped, not queued. Volumes that are scanning are left out of that
// refresh without a word; offline catalogs are counted. The previous result stays published until
// the new one replaces it.
//
// Threads: every member belongs to the main thread. The count runs as one job on the model's own
// concurrent queue ("quorvanta.junk", utility) and posts its result to the main queue; a post
// that arrives after the model is gone is dropped.
//
// Lifetimes: the job holds the volume states it counts, so a volume the application drops
// meanwhile stays readable until the count ends. Destroying the model waits for a running count;
// the main queue must outlive the model.
#pragma once

#include "QuorvantaApp/model/reports/ListExport.h"
#include "QuorvantaApp/model/reports/ReportDialogs.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/index/JunkReport.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"
#include "platform/dispatch/ConcurrentQueue.h"
#include "platform/dispatch/MainQueue.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {

class JunkModel {
public:
    using Volumes = std::vector<std::shared_ptr<VolumeState>>;
    using PerVolume = std::vector<core::JunkReport::VolumeRows>;

    // `main` runs the posts of the counts; `externalFolders` are where exports are refused.
    explicit JunkModel(platform::MainQueue& main, std::vector<std::string> externalFolders = defaultExternalFolders());
    ~JunkModel();
    JunkModel(const JunkModel&) = delete;
    JunkModel& operator=(const JunkModel&) = delete;

    // Fires before each change of any published field.
    core::Signal<> objectWillChange;

    // Published fields: one entry per volume with junk, in the order of the last refresh's list,
    // each with its rows as the report orders them; and whether a refresh runs.
    core::Published<PerVolume> perVolume{{}, &objectWillChange};
    core::Published<bool> working{false, &objectWillChange};

    // Counts the junk of the volumes that are not scanning, in list order. Returns at once.
    void refresh(const Volumes& volumes);

    // Asks for a file and writes the CSV of `perVolume` as it is then; a refused path shows the
    // "Export not possible" alert.
    void exportList(ReportDialogs& dialogs) const;

private:
    void publish(PerVolume result);

    platform::MainQueue& main_;
    const std::vector<std::string> externalFolders_;
    // What the count's post holds weakly: gone once the model is destroyed.
    const std::shared_ptr<JunkModel*> alive_;
    // Last, so that it is destroyed first: its destructor waits for a running count.
    platform::ConcurrentQueue queue_;
};

}  // namespace quorvanta::app
