// Starting volumes: by the resume rule of a loaded snapshot, or by a full scan in the background.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/IndexError.h"
#include "QuorvantaCore/index/IndexWatch.h"
#include "QuorvantaCore/index/RootPresence.h"

#include <optional>

namespace quorvanta::app {

void AppModel::startScans() {
    requireMain();
    const Volumes all = volumes.get();
    for (const auto& volume : all)
        if (!volume->offline.get()) start(volume);
    runSearch(true);
}

void AppModel::start(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    // A network root is never probed on the main thread: a hung share would hang it.
    if (!volume->rootWasMountPoint)
        volume->rootWasMountPoint = !volume->isNetwork() && core::probeRoot(volume->root()).isMountPoint;
    if (!volume->loaded()) {
        fullScan(volume);
        return;
    }
    switch (volume->resume().value_or(core::VolumeID::Resume::replay)) {
        case core::VolumeID::Resume::reconcile:
            resumeByReconcile(volume);
            return;
        case core::VolumeID::Resume::scheduled:
            volume->updating.set(false);
            return;
        case core::VolumeID::Resume::replay:
            core::connectToEventSource(*volume->index(), events_.get());
            startWatcher(volume, volume->loaded()->eventID, CatchUp::clearsUpdating);
            bg_.async([index = volume->index(), scopes = volume->scopes(), events = events_] {
                core::watchIndexedFolders(*index, scopes, events.get());
            });
            return;
    }
}

void AppModel::resumeByReconcile(const std::shared_ptr<VolumeState>& volume) {
    // The watcher runs before the reconcile lists anything, so a change made meanwhile is either
    // listed by the reconcile or reported by the watcher.
    core::connectToEventSource(*volume->index(), events_.get());
    volume->scanEventID = events_->currentId();
    startWatcher(volume, std::nullopt, CatchUp::searchOnly);
    reconcile(volume, true);
}

void AppModel::fullScan(const std::shared_ptr<VolumeState>& volume) {
    // Taken before any work is queued: the watcher started after the scan replays from here.
    volume->scanEventID = events_->currentId();
    const bool network = volume->isNetwork();
    if (persist_ && !network) core::connectToEventSource(*volume->index(), events_.get());
    work_->scanQueued(volume->index());
    auto job = [weak = weak_from_this(), &main = main_, work = work_, volume, index = volume->index(),
                root = volume->root(), scopes = volume->scopes(), wasMount = volume->rootWasMountPoint.value_or(false),
                network, reachable = reachable_] {
        bool cancelled = false;
        std::optional<std::string> failure;
        try {
            index->scan(lifecycle::presentScopes(root, scopes, wasMount),
                        network ? lifecycle::kNetworkScanThreads : lifecycle::kLocalScanThreads,
                        network ? lifecycle::kNetworkPauseMicros : 0);
        } catch (const core::IndexError& error) {
            if (error.errorCase() == core::IndexError::Case::cancelled)
                cancelled = true;
            else
                failure = error.what();
        }
        work->scanEnded(*index);
        const bool disconnected = network && !reachable(root);
        main.post([weak, volume, cancelled, failure, disconnected] {
            if (cancelled) volume->cancelled = true;
            if (failure) volume->failure.set(failure);
            if (disconnected) volume->disconnected = true;
            if (const auto model = weak.lock()) model->scanFinished(volume);
        });
    };
    if (network)
        netQueue_.async(std::move(job));
    else
        bg_.async(std::move(job));
}

}  // namespace quorvanta::app
