// Saving a volume's snapshot, now or on the scan queue.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/VolumeWatcher.h"

#include <sys/stat.h>

namespace quorvanta::app {

void AppModel::saveSnapshot(const std::shared_ptr<VolumeState>& volume, bool sync) {
    requireMain();
    if (!persist_) return;
    core::SnapshotInfo info;
    info.uuid = volume->uuid();
    // The source's identity of the root's device ("" from the live source, which has none); a
    // network root is never examined here.
    struct stat st {};
    if (!volume->isNetwork() && stat(volume->root().c_str(), &st) == 0)
        info.fseUUID = events_->eventLogIdentity(st.st_dev).value_or("");
    info.root = volume->root();
    info.eventID = volume->watcher ? volume->watcher->lastEventID() : volume->scanEventID;
    info.savedAt = lifecycle::dateNow(clock());
    info.exclHash = volume->configHash();
    info.deleted = 0;
    info.storeID = volume->index()->storeID();
    volume->lastSave = info.savedAt;
    volume->lastMutations = volume->index()->mutations();
    // The index refuses while it scans, or when entries were appended during the write; the
    // unsaved changes stay and a later save writes them.
    if (sync) {
        volume->index()->save(volume->snapshotPath(), info);
    } else {
        bg_.async([weak = weak_from_this(), &main = main_, work = work_, index = volume->index(),
                   path = volume->snapshotPath(), info] {
            // The process is ending: a write not yet begun is left for the next run.
            if (!work->beginWrite()) return;
            index->save(path, info);
            work->endWrite();
            main.post([weak] {
                if (const auto model = weak.lock()) ++model->backgroundSaves_;
            });
        });
    }
}

}  // namespace quorvanta::app
