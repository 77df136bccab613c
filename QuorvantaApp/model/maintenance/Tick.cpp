// The maintenance timer and tick: counters, the network schedule, sort orders, reconcile and
// saves of each online volume, then the global order and at most one search.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"
#include "QuorvantaApp/model/maintenance/Maintenance.h"

#include "QuorvantaCore/index/RescanSchedule.h"

#include <chrono>

namespace quorvanta::app {
namespace {

double wallSecondsOf(VolumeState::Date date) { return std::chrono::duration<double>(date.time_since_epoch()).count(); }

// Queues the next firing; a firing whose model is gone ends the chain.
void postTick(platform::MainQueue& main, std::weak_ptr<AppModel> weak) {
    main.postAfter(maintenance::kTickPeriod, [&main, weak] {
        const auto model = weak.lock();
        if (!model) return;
        postTick(main, weak);
        model->tick();
    });
}

}  // namespace

void AppModel::scheduleTick() { postTick(main_, weak_from_this()); }

void AppModel::tick() {
    requireMain();
    // Changes of the list made while the tick runs count from the next tick.
    const Volumes all = volumes.get();
    if (all.empty()) {
        maintainGlobal();
        return;
    }
    bool changed = false;
    for (const auto& volume : all) {
        if (volume->offline.get()) continue;
        const core::VolumeIndex& index = *volume->index();
        const bool scanning = volume->scanning.get();

        if (const std::int64_t live = index.liveCount(); live != volume->count.get()) {
            volume->count.set(live);
            changed = true;
        }
        if (scanning) volume->seconds.set(index.scanSeconds());
        // A scan's appends reach the results through the count; its other changes wait.
        if (const std::int64_t mutations = index.mutations(); mutations != volume->lastMutations) {
            if (!scanning) changed = true;
            volume->lastMutations = mutations;
        }
        if (const std::uint64_t version = index.audioVersion(); version != volume->lastAudioVersion) {
            volume->lastAudioVersion = version;
            changed = true;
        }
        maintainAudio(volume);
        if (volume->isNetwork()) maintainSchedule(volume);
        maintainContent(volume);
        maintainSortOrders(volume);
        maintainPersisted(volume);
    }
    maintainGlobal();
    if (changed) runSearch(false);
}

void AppModel::maintainSchedule(const std::shared_ptr<VolumeState>& volume) {
    const SourceMap& sources = prefs_.sources();
    const auto it = sources.find(volume->prefKey());
    if (it == sources.end() || !it->second.rescan) return;
    const VolumeState::Date now = lifecycle::dateNow(clock());
    const bool busy = volume->scanning.get() || volume->updating.get() || now < volume->retryAfter;
    if (core::RescanSchedule::isDue(*it->second.rescan, volume->lastScanned.get(), now, busy, !volume->disconnected))
        rescanNetwork(volume);
}

void AppModel::maintainSortOrders(const std::shared_ptr<VolumeState>& volume) {
    if (volume->scanning.get() || volume->maintaining || volume->index()->staleKeys().empty()) return;
    volume->maintaining = true;
    bg_.async([weak = weak_from_this(), &main = main_, volume, index = volume->index()] {
        for (const core::SortKey key : index->staleKeys()) index->rebuildPermutation(key);
        main.post([weak, volume] {
            volume->maintaining = false;
            if (const auto model = weak.lock()) model->runSearch(false);
        });
    });
}

void AppModel::maintainPersisted(const std::shared_ptr<VolumeState>& volume) {
    if (!persist_) return;  // as the rules say; spares the index's counters
    const double now = clock().wallSeconds();
    const bool reconcileMode = volume->resume() == core::VolumeID::Resume::reconcile;
    maintenance::ReconcileFacts reconcileFacts;
    reconcileFacts.persist = persist_;
    reconcileFacts.scanning = volume->scanning.get();
    reconcileFacts.reconcileMode = reconcileMode;
    reconcileFacts.watched = volume->watcher != nullptr;
    reconcileFacts.updating = volume->updating.get();
    reconcileFacts.now = now;
    reconcileFacts.lastReconcile = wallSecondsOf(volume->lastReconcile);
    if (maintenance::reconcileDue(reconcileFacts)) {
        volume->updating.set(true);
        reconcile(volume);
    }

    const core::VolumeIndex& index = *volume->index();
    maintenance::SaveFacts saveFacts;
    saveFacts.persist = persist_;
    saveFacts.scanning = volume->scanning.get();
    saveFacts.watched = volume->watcher != nullptr;
    saveFacts.reconcileMode = reconcileMode;
    saveFacts.unsaved = index.hasUnsavedChanges();
    saveFacts.arrayBytes = index.arrayBytes();
    saveFacts.now = now;
    saveFacts.lastSave = wallSecondsOf(volume->lastSave);
    if (maintenance::saveDue(saveFacts)) saveSnapshot(volume, false);
}

}  // namespace quorvanta::app
