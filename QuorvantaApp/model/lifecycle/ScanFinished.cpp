// The end of a full scan, on the main thread: failure paths, the swap of a replacement, the
// first publication, then the sort orders, the snapshot and the watcher.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/IndexWatch.h"
#include "QuorvantaCore/index/ScanTimes.h"

#include <algorithm>

namespace quorvanta::app {

void AppModel::scanFinished(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    const std::shared_ptr<VolumeState> old = volume->replacing;
    // A first scan whose volume left the list while it ran (unmounted, dropped, disabled): its
    // partial index must not replace the last good snapshot, get a watcher, or disable a source.
    if (!old && !isListedOnline(*volume)) return;

    if (volume->cancelled || volume->disconnected || (volume->failure.get() && old)) {
        if (old) {
            volume->replacing.reset();
            if (old->pendingScan == volume) old->pendingScan.reset();
            old->updating.set(false);
            old->retryAfter = lifecycle::dateNow(clock()) + lifecycle::kRetryDelay;
            if (volume->disconnected) removeVolume(old);
        } else if (volume->disconnected) {
            removeVolume(volume);
        } else {
            // A first scan cancelled by the user: the source is switched off and the volume goes.
            SourceMap sources = prefs_.sources();
            SourceConfig config;
            if (const auto it = sources.find(volume->prefKey()); it != sources.end())
                config = it->second;
            else
                config.whole = true;
            config.enabled = false;
            sources[volume->prefKey()] = config;
            prefs_.setSources(sources);
            prefs_.save(prefs_.sources(), Prefs::sourcesKey);
            Volumes remaining = volumes.get();
            std::erase(remaining, volume);
            volumes.set(std::move(remaining));
            global_ = nullptr;
            runSearch(false);
        }
        return;
    }
    if (volume->failure.get()) {
        volume->scanning.set(false);  // listed with its error and an empty index
        return;
    }

    if (old) {
        volume->replacing.reset();
        if (old->pendingScan == volume) old->pendingScan.reset();
        Volumes list = volumes.get();
        const auto at = std::find(list.begin(), list.end(), old);
        if (at == list.end() || old->offline.get()) return;  // the old volume left meanwhile
        *at = volume;
        volumes.set(std::move(list));
        global_ = nullptr;
        core::disconnectFromEventSource(*old->index());
    }

    if (volume->isNetwork()) {
        const VolumeState::Date now = lifecycle::dateNow(clock());
        volume->lastScanned.set(now);
        if (persist_) {
            const auto file = dataFolder_ / core::ScanTimes::fileName;
            core::ScanTimes times = core::ScanTimes::load(file);
            times.times[volume->uuid()] = now;
            times.save(file);  // a failed save is ignored
        }
    }
    volume->count.set(volume->index()->liveCount());
    volume->seconds.set(volume->index()->scanSeconds());
    volume->scanning.set(false);
    // The first rows appear before the sort orders exist.
    runSearch(false);

    bg_.async([weak = weak_from_this(), &main = main_, volume, index = volume->index()] {
        for (const core::SortKey key : core::allSortKeys) index->rebuildPermutation(key);
        main.post([weak, volume] {
            const auto model = weak.lock();
            if (!model) return;
            model->runSearch(false);
            if (!model->anyScanning()) model->maintainGlobal();
            // A volume that left meanwhile was saved on its way out; it gets nothing more.
            if (!model->isListedOnline(*volume)) return;
            model->saveSnapshot(volume, false);
            if (model->persist() && !volume->isNetwork()) {
                volume->updating.set(true);
                model->startWatcher(volume, volume->scanEventID);
            }
        });
    });
}

}  // namespace quorvanta::app
