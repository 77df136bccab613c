// The folder-time reconcile of a volume on the scan queue; when a snapshot resumes, with the
// watching of its folders before and the file stat pass after.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/IndexWatch.h"

#include <set>

namespace quorvanta::app {

void AppModel::reconcile(const std::shared_ptr<VolumeState>& volume) { reconcile(volume, false); }

void AppModel::reconcile(const std::shared_ptr<VolumeState>& volume, bool resuming) {
    requireMain();
    volume->lastReconcile = lifecycle::dateNow(clock());
    const bool wasMount = volume->rootWasMountPoint.value_or(false);
    std::vector<std::string> watched;
    if (resuming && volume->watcher) watched = lifecycle::presentScopes(volume->root(), volume->scopes(), wasMount);
    bg_.async([weak = weak_from_this(), &main = main_, volume, index = volume->index(), root = volume->root(), wasMount,
               resuming, watched = std::move(watched), events = events_] {
        if (!watched.empty()) core::watchIndexedFolders(*index, watched, events.get());
        std::set<std::string> listed;
        const core::RefreshStats stats = index->reconcileByFolderMtime(lifecycle::kReconcileThreads, &listed);
        std::optional<RootCheck> check;
        if (stats.rootMissing)
            check = RootCheck::of(*index, root, wasMount);
        else if (resuming)
            index->statFilesInPlace(lifecycle::kReconcileThreads, listed);
        main.post([weak, &main, volume, check = std::move(check)] {
            // A rescan started meanwhile owns `updating` until its replacement ends.
            if (!volume->pendingScan) volume->updating.set(false);
            volume->lastReconcile = lifecycle::dateNow(main.clock());
            const auto model = weak.lock();
            if (!model || !model->isListedOnline(*volume)) return;
            if (check)
                model->rootsMissing(volume, *check, [&] { model->runSearch(false); });
            else
                model->runSearch(false);
        });
    });
}

}  // namespace quorvanta::app
