// AppModel: the application's one model object. It owns the volumes (online volumes first, then
// the offline catalogs of drives that are not connected), the work queues, the search state the
// windows show and the global name order, and it runs every search (runSearch) and publishes its
// one result. The application entry creates it once, on the main thread; the headless binary and
// the desktop shell are built on it, and the windows read its published fields and call its
// operations.
//
// Construction (`create`), in order: the published fields take their first values ("showJunk"
// from the settings); when persisting, stale temporaries of interrupted saves are swept from the
// data folder and the content index is opened (its counts become `contentFiles`/`contentBytes`);
// the queues are made and "excludedPaths" read; the volumes are made: one per forced root, or,
// once sources were configured, one per candidate drive with stored and enabled settings that give
// folders (`makeConfiguredVolume`); without forced roots and when persisting, the offline catalogs
// are appended (`offlineCatalogs`); the preference subscriptions start; the global order is loaded
// from "global.ord" when persisting; `newDrives` is filled (refreshNewDrives); the 0.5 s
// maintenance timer starts; without forced roots and when persisting, mounts and unmounts are
// observed (observeMounts). No scan is started. Persisting is off when the caller says so
// and when there is no data folder (a model without a home folder writes nothing anywhere).
//
// Threads and what they own:
//   main thread   every published field, `volumes`, `global`, `globalBuilding`, `focusTable`, the
//                 preference subscriptions, and every operation below unless it says otherwise
//                 (debug builds assert it). Volume states are made, changed and released there.
//   `queue`       "quorvanta.search", serial, user-initiated: the search worker (SearchWork.h),
//                 one search at a time; it reads only what runSearch captured for it.
//   `bg`          "quorvanta.scan", concurrent, utility: sort-order builds of prepareSort and
//                 global-order builds; later scans, reconciles, refreshes and background saves.
//   `netQueue`    "quorvanta.netscan", `audioQueue` "quorvanta.audio", `contentQueue`
//                 "quorvanta.content": serial, background; reachability checks of network volumes,
//                 audio indexing and content indexing.
//   `genLock`     guards `gen`, the search generation, raised by every runSearch; the worker and
//                 the publications compare their own generation with it. Held only for one read or
//                 one increment.
// Work off the main thread captures what it needs on the main thread, holds the model weakly (it
// only asks whether the model still exists, so the model is never released off the main thread)
// and posts its result to the main queue, where it is dropped when the model is gone. The main
// queue given in the dependencies must outlive the model. Releasing the model waits for the work
// already queued on its queues.
//
// Extension points for the parts built on this one: the volume lifecycle (scans, catch-ups,
// watchers, saves) adds members that use `bg`, `netQueue`, `volumeContext()` and `events()` and
// replace `volumes` through the model's own setters; the maintenance tick adds the 0.5 s timer
// (`mainQueue().postAfter`, holding the model weakly) and uses `audioQueue`, `contentQueue` and
// `contentIndex()`; mount handling adds the mount observers, `refreshNewDrives` and `newDrives`,
// and uses `makeConfiguredVolume`, `offlineCatalogs` and `candidatesProvider()`.
#pragma once

#include "QuorvantaApp/model/app/ModelField.h"
#include "QuorvantaApp/model/app/WorkInFlight.h"
#include "QuorvantaApp/model/drives/Candidates.h"
#include "QuorvantaApp/model/prefs/Category.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaApp/model/search/SearchWork.h"
#include "QuorvantaApp/model/volume/VolumeContext.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/index/SortOrders.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/observe/Signal.h"
#include "platform/dispatch/ConcurrentQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/events/EventSource.h"
#include "platform/settings/Settings.h"
#include "platform/volumes/ExternalDrives.h"
#include "platform/volumes/MountSource.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::core {
class ContentIndex;
class VolumeWatcher;
}  // namespace quorvanta::core

namespace quorvanta::app {

class AppModel : public std::enable_shared_from_this<AppModel> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Candidate = app::Candidate;
    using Volumes = std::vector<std::shared_ptr<VolumeState>>;
    using Results = std::shared_ptr<const ResultSet>;
    using CatalogLoader = std::function<std::optional<core::VolumeIndex::Loaded>(const std::string& path)>;

    static constexpr std::string_view kShowJunkKey = "showJunk";
    static constexpr std::string_view kExcludedPathsKey = "excludedPaths";
    static constexpr std::string_view kKeepOfflineKey = "keepOffline";

    // Every service from outside the model. Only `main` must be given; an unset member takes the
    // running system's service, resolved when the model is created.
    struct Dependencies {
        explicit Dependencies(platform::MainQueue& mainQueue) : main(mainQueue) {}

        // The main thread's queue; its clock is the model's clock (dates, timers, durations).
        platform::MainQueue& main;
        // Null: Prefs::shared().
        Prefs* prefs = nullptr;
        // The settings store ("showJunk", "excludedPaths"); null: the preferences' store.
        platform::Settings* defaults = nullptr;
        // Snapshots, audio tables, "global.ord"; none: the data directory (VolumeID::directory).
        // Empty turns persisting off.
        std::optional<std::filesystem::path> dataFolder;
        // The drives that can be indexed; null: the system's (SystemCandidates).
        std::shared_ptr<const CandidatesProvider> candidates;
        // Where external drives are mounted: a snapshot whose root lies in or below one becomes a
        // catalog when its drive is not connected.
        std::vector<std::string> driveFolders{platform::kExternalDriveFolders.begin(),
                                              platform::kExternalDriveFolders.end()};
        // File events; null: platform::processEventSource().
        std::shared_ptr<platform::EventSource> events;
        // The content index; empty: core::ContentIndex::shared. Asked once, and only when persisting.
        std::function<std::shared_ptr<core::ContentIndex>()> content;
        // The mount table; empty: /proc/self/mountinfo.
        std::function<VolumeContext::MountTable()> mounts;
        // How a loaded snapshot catches up; empty: defaultResumeRule over `events`.
        VolumeContext::ResumeRule resume;
        // Reads a snapshot for a catalog; empty: VolumeIndex::load without exclusions.
        CatalogLoader loadCatalog;
        // Whether a network volume's root can be reached; empty: VolumeID::isReachable. Asked on
        // `netQueue` only.
        std::function<bool(const std::string& root)> reachable;
        // Mounts and unmounts; null: platform::systemMountSource().
        std::shared_ptr<platform::MountSource> mountSource;
    };

    // Builds the model as told above. `rootsOverride`: the forced roots (the command line's
    // "--root"), empty for none. Main thread.
    static std::shared_ptr<AppModel> create(std::vector<std::string> rootsOverride, bool persist, Dependencies deps);

    AppModel(Passkey, std::vector<std::string> rootsOverride, bool persist, Dependencies deps);
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;
    ~AppModel();

    // The drives that can be indexed, their external part, and the disk-image test (Candidates.h).
    static std::vector<Candidate> candidates(const DriveProbe& probe = DriveProbe::system()) {
        return app::candidates(probe);
    }
    static std::vector<ExternalVolume> externalVolumes(const DriveProbe& probe = DriveProbe::system()) {
        return app::externalVolumes(probe);
    }
    static bool isDiskImage(const std::string& root, const DriveProbe& probe = DriveProbe::system()) {
        return app::isDiskImage(root, probe);
    }

    // Fires before each change of any published field.
    core::Signal<> objectWillChange;

private:
    // What the published fields' first values are read from; declared first, made first.
    platform::MainQueue& main_;
    Prefs& prefs_;
    platform::Settings& defaults_;

public:
    // Published fields; only the model sets them. The first six change through the setters below.
    ModelField<std::string> query{"", &objectWillChange};
    ModelField<Category> filter{Category::all(), &objectWillChange};
    ModelField<bool> browseAll{false, &objectWillChange};
    ModelField<core::SortKey> sortKey{core::SortKey::name, &objectWillChange};
    ModelField<bool> sortDesc{false, &objectWillChange};
    ModelField<bool> showJunk;
    ModelField<Results> results{ResultSet::empty(), &objectWillChange};
    ModelField<double> searchMs{0, &objectWillChange};
    ModelField<std::optional<std::string>> queryError{std::nullopt, &objectWillChange};
    ModelField<bool> sorting{false, &objectWillChange};
    ModelField<Volumes> volumes{{}, &objectWillChange};
    ModelField<std::int64_t> contentFiles{0, &objectWillChange};
    ModelField<std::uint64_t> contentBytes{0, &objectWillChange};
    ModelField<bool> contentBusy{false, &objectWillChange};
    ModelField<std::vector<Candidate>> newDrives{{}, &objectWillChange};

    // Moves keyboard focus to the results table: set by the table, called by the search window.
    std::function<void()> focusTable;

    // The setters of the search fields, each with its effect (all run the search except
    // setBrowseAll):
    //   setQuery      only a text that differs: browseAll false, search with the scroll reset
    //   setFilter     browseAll false, search with the scroll reset
    //   setBrowseAll  no search
    //   setSortKey    prepareSort, search with the scroll reset
    //   setSortDesc   search keeping the scroll
    //   setShowJunk   stored under "showJunk", search with the scroll reset
    void setQuery(std::string text);
    void setFilter(Category category);
    void setBrowseAll(bool on);
    void setSortKey(core::SortKey key);
    void setSortDesc(bool desc);
    void setShowJunk(bool on);
    // The results table's header: with the current key, only the direction changes and the
    // scroll stays; with another key, prepareSort and the scroll is reset. One search either way.
    void setSort(core::SortKey key, bool desc);
    // True when the query is empty, the category is "all" and browseAll is off: the search window
    // shows its empty state (the search still runs).
    bool showsEmptyState() const;

    // Starts the current search over the volumes not hidden from results and returns at once:
    // raises the generation, cancels every volume's running search and queues the worker. Its
    // result is published on the main thread only while it is still the newest search: rows
    // (results, searchMs, queryError none), a parse error (queryError; results stay), or the
    // content-off message (queryError, empty results). `resetScroll` travels with the result.
    void runSearch(bool resetScroll);
    // When an index that is not scanning lacks a usable order for the current sort key, sets
    // `sorting` and builds the missing orders on `bg`; then clears `sorting` and searches again.
    void prepareSort();
    // Keeps the global order current: with two or more volumes, none scanning and no build
    // running, rebuilds it on `bg` over all volumes (hidden ones and catalogs included) when there
    // is none, it no longer matches, or its tail grew too large (GlobalRebuildRule.h); saves it
    // as "global.ord" when persisting; then installs it and searches again.
    void maintainGlobal();
    // Whether any volume is scanning.
    bool anyScanning() const;

    // The volume lifecycle (lifecycle/Lifecycle.h): starting, scanning, watching, rescanning,
    // reconciling and saving the volumes, and taking a volume out of service. Main thread.
    //   startScans     start() on every online volume in list order, then a search with the
    //                  scroll reset
    //   start          resume a loaded snapshot by its rule, or a full scan
    //   reconcile      the folder-time reconcile on `bg`, then a search
    //   startWatcher   the volume's file-event watcher from `since` (none: from now)
    //   scanFinished   the end of a full scan (called by the scan's completion)
    //   rescan         a replacement scanned beside the volume, swapped in when it succeeds
    //   rescanNetwork  the reachability check of a network volume, then rescan or removal
    //   saveSnapshot   the snapshot written now (`sync`) or on `bg`
    //   removeVolume   an offline catalog or out of the list
    //   goOffline      the volume becomes an offline catalog
    void startScans();
    void start(const std::shared_ptr<VolumeState>& volume);
    void reconcile(const std::shared_ptr<VolumeState>& volume);
    void startWatcher(const std::shared_ptr<VolumeState>& volume, std::optional<std::uint64_t> since);
    void scanFinished(const std::shared_ptr<VolumeState>& volume);
    void rescan(const std::shared_ptr<VolumeState>& volume);
    void rescanNetwork(const std::shared_ptr<VolumeState>& volume);
    void saveSnapshot(const std::shared_ptr<VolumeState>& volume, bool sync);
    void removeVolume(const std::shared_ptr<VolumeState>& volume);
    void goOffline(const std::shared_ptr<VolumeState>& volume);
    // The end of the process: no snapshot, audio-table or global-order write begins any more,
    // every full scan queued or running (replacements included) is cancelled, and the call waits
    // until the writes already under way and those scans have ended, at most `bound`. True when
    // all ended in time.
    // The model is not usable for scans or saves afterwards. Main thread.
    bool windDown(std::chrono::milliseconds bound);

    // Drives that come and go, and the source settings applied (drives/Mounts.cpp, drives/Sources.cpp). Main thread.
    //   observeMounts     follow mounts and unmounts under the drive folders (construction, when
    //                     persisting without forced roots)
    //   discover          a mounted drive: its volume when its source is known, else `newDrives`
    //   refreshNewDrives  `newDrives` = the mounted external drives without source settings
    //   indexNewDrive     the drive's source enabled whole, then applySources
    //   ignoreNewDrive    the drive's source recorded as disabled
    //   applySources      the volume list rebuilt from the sources, then one search
    //   dropVolume        a volume whose source was switched off leaves the list
    //   forgetCatalog     an offline catalog leaves the list and its files are deleted
    void observeMounts();
    void discover(const Candidate& candidate);
    void refreshNewDrives();
    void indexNewDrive(const Candidate& candidate);
    void ignoreNewDrive(const Candidate& candidate);
    void applySources();
    void dropVolume(const std::shared_ptr<VolumeState>& volume);
    void forgetCatalog(const std::shared_ptr<VolumeState>& volume);

    // Maintenance (maintenance/Maintenance.h): the 0.5 s tick and the background indexing it
    // starts, and the two operations the windows call. Main thread.
    //   tick               one pass over the volumes: counts, audio, network schedule, content,
    //                      sort orders, reconcile and saves, then the global order and at most
    //                      one search
    //   maintainAudio      the audio analysis of a volume whose index changed, on `audioQueue`
    //   maintainContent    the content-index update of a volume, on `contentQueue`
    //   clearContentIndex  no content folders any more, the content index emptied
    //   filesChanged       the given folders of each volume listed again on `bg`, then a search
    using FolderChanges = std::vector<std::pair<std::shared_ptr<VolumeState>, std::set<std::string>>>;
    void tick();
    void maintainAudio(const std::shared_ptr<VolumeState>& volume);
    void maintainContent(const std::shared_ptr<VolumeState>& volume);
    void clearContentIndex();
    void filesChanged(FolderChanges changes);

    // The search generation, read under its lock.
    std::int64_t generation() const;
    // Snapshots, catalogs and the global order are read and written.
    bool persist() const { return persist_; }
    const std::filesystem::path& dataFolder() const { return dataFolder_; }
    const std::vector<std::string>& excludedPaths() const { return excludedPaths_; }
    const std::shared_ptr<const GlobalOrder>& global() const { return global_; }
    bool globalBuilding() const { return globalBuilding_; }

    // The services and queues, for the parts built on the model.
    platform::MainQueue& mainQueue() const { return main_; }
    platform::Clock& clock() const { return main_.clock(); }
    Prefs& prefs() const { return prefs_; }
    platform::Settings& defaults() const { return defaults_; }
    const VolumeContext& volumeContext() const { return volumeContext_; }
    const std::shared_ptr<platform::EventSource>& events() const { return events_; }
    const std::shared_ptr<const CandidatesProvider>& candidatesProvider() const { return candidates_; }
    // The content index; null without persisting or when it cannot be opened.
    const std::shared_ptr<core::ContentIndex>& contentIndex() const { return content_; }
    platform::SerialQueue& queue() { return queue_; }
    platform::ConcurrentQueue& bg() { return bg_; }
    platform::SerialQueue& netQueue() { return netQueue_; }
    platform::SerialQueue& audioQueue() { return audioQueue_; }
    platform::SerialQueue& contentQueue() { return contentQueue_; }

    // Test seam: how many snapshot saves on `bg` have ended and been told to the main thread.
    std::uint64_t backgroundSavesForTesting() const { return backgroundSaves_; }
    // Test seam: how many searches placed their rows through the global order.
    std::uint64_t globalMergesForTesting() const { return globalMerges_->load(); }

private:
    // The generation and its lock, shared with the search workers.
    struct Generation {
        mutable std::mutex genLock;
        std::int64_t gen = 0;  // genLock
        std::int64_t raise();
        std::int64_t current() const;
    };

    // Construction steps after the object exists: the preference subscriptions and the order.
    void subscribeToPrefs();
    // The online volume state for a candidate from its source settings (the defaults when it has
    // none stored), or null when they are disabled or give no folder.
    std::shared_ptr<VolumeState> makeConfiguredVolume(const Candidate& candidate) const;
    // The arguments makeConfiguredVolume builds the state from; none when it would give null.
    std::optional<VolumeState::Online> configuredVolume(const Candidate& candidate) const;
    // One offline catalog per snapshot in the data folder whose root lies on an external drive
    // and is not in `skipping`, the first file in name order for each root. Only the headers are
    // read before the choice; only the chosen files are loaded.
    Volumes offlineCatalogs(const std::set<std::string, std::less<>>& skipping) const;
    // The include-only extensions of new volumes, from the preferences.
    std::vector<std::string> includeExts() const;
    // Whether a snapshot root lies on an external drive (in or below a drive folder).
    bool isCatalogRoot(std::string_view root) const;

    void categoriesChanged(const Prefs::Categories& categories);

    // Mount handling's own steps (drives/).
    void mountAppeared(const std::string& root);
    void mountGone(const std::string& root);
    // Sets the source settings of `key` and stores them under "sources".
    void storeSource(const std::string& key, const SourceConfig& config);
    // Starts scanning `fresh` beside `existing`, which it replaces when its scan ends.
    void replaceVolume(const std::shared_ptr<VolumeState>& existing, const std::shared_ptr<VolumeState>& fresh);

    // The lifecycle's own steps (lifecycle/).
    struct RootCheck;
    // What a watcher's catch-up does besides searching: clear `updating`, or leave it to the
    // reconcile that runs beside the watcher.
    enum class CatchUp { clearsUpdating, searchOnly };
    void startWatcher(const std::shared_ptr<VolumeState>& volume, std::optional<std::uint64_t> since, CatchUp catchUp);
    void fullScan(const std::shared_ptr<VolumeState>& volume);
    void resumeByReconcile(const std::shared_ptr<VolumeState>& volume);
    void reconcile(const std::shared_ptr<VolumeState>& volume, bool resuming);
    // A refresh found a root missing: the drive left (removal), a chosen folder left (rescan
    // of the folders present), or nothing is missing any more (`otherwise`).
    void rootsMissing(const std::shared_ptr<VolumeState>& volume, const RootCheck& check,
                      const std::function<void()>& otherwise);
    // The maintenance timer: `tick` every 0.5 s of the model's clock while the model exists.
    void scheduleTick();
    // The network schedule of one volume: rescanNetwork when its interval is due.
    void maintainSchedule(const std::shared_ptr<VolumeState>& volume);
    // Sort orders, reconcile and saves of one volume.
    void maintainSortOrders(const std::shared_ptr<VolumeState>& volume);
    void maintainPersisted(const std::shared_ptr<VolumeState>& volume);
    // Stops a replacement still scanning for the volume and unlinks the two.
    void cancelReplacement(VolumeState& volume);
    // Whether the volume is in `volumes` and not an offline catalog.
    bool isListedOnline(const VolumeState& volume) const;
    // Whether `watcher` is still the watcher of a listed online volume.
    bool isWatching(const VolumeState& volume, const core::VolumeWatcher* watcher) const;
    // The global order when the searched volumes may use it, else null.
    std::shared_ptr<const GlobalOrder> orderFor(const Volumes& searched, const SearchRequest& request) const;
    void publish(const SearchRequest& request, SearchOutcome&& outcome);
    void requireMain() const;

    std::filesystem::path dataFolder_;
    bool persist_ = false;
    std::shared_ptr<const CandidatesProvider> candidates_;
    std::vector<std::string> driveFolders_;
    std::shared_ptr<platform::EventSource> events_;
    std::shared_ptr<core::ContentIndex> content_;
    CatalogLoader loadCatalog_;
    std::function<bool(const std::string& root)> reachable_;
    VolumeContext volumeContext_;
    std::vector<std::string> excludedPaths_;
    std::vector<core::Connection> prefWatch_;
    std::shared_ptr<const GlobalOrder> global_;
    bool globalBuilding_ = false;
    std::uint64_t backgroundSaves_ = 0;
    const std::shared_ptr<Generation> gen_ = std::make_shared<Generation>();
    // The scans and writes the end of the process waits for; shared with the jobs.
    const std::shared_ptr<WorkInFlight> work_ = std::make_shared<WorkInFlight>();
    const std::shared_ptr<std::atomic<std::uint64_t>> globalMerges_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    std::shared_ptr<platform::MountSource> mountSource_;
    // The mount observations, kept for the model's lifetime.
    std::vector<std::unique_ptr<platform::MountObservation>> observers_;

    // Last, so that they are released first: their queued work ends while the rest still stands.
    platform::SerialQueue queue_;
    platform::SerialQueue netQueue_;
    platform::SerialQueue audioQueue_;
    platform::SerialQueue contentQueue_;
    platform::ConcurrentQueue bg_;
};

}  // namespace quorvanta::app
