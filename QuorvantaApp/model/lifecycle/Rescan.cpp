// Rescans: a replacement volume state scanned beside the volume, and the network rescan that
// checks the share first.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/VolumeWatcher.h"

namespace quorvanta::app {

void AppModel::rescan(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    // One replacement at a time: a second would be dropped when the first takes the place.
    if (!isListedOnline(*volume) || volume->pendingScan) return;
    if (volume->watcher) {
        volume->watcher->stop();
        volume->watcher.reset();
    }
    volume->updating.set(true);

    // The same configuration (scopes, configuration hash, snapshot file) with the exclusions of
    // now; it starts empty and is scanned in full.
    VolumeState::Online online;
    online.name = volume->name();
    online.root = volume->root();
    online.displayPrefix = volume->displayPrefix();
    online.isInternal = volume->isInternal();
    online.excludes = excludedPaths_;
    online.scopes = volume->scopes();
    online.includeExts = volume->includeExts();
    online.persist = persist_;
    online.loadSnapshot = false;
    auto fresh = VolumeState::create(online, volumeContext_);
    fresh->rootWasMountPoint = volume->rootWasMountPoint;
    fresh->replacing = volume;
    volume->pendingScan = fresh;
    start(fresh);
}

void AppModel::rescanNetwork(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    if (!volume->isNetwork() || volume->scanning.get() || volume->updating.get() || !isListedOnline(*volume)) return;
    volume->updating.set(true);
    netQueue_.async([weak = weak_from_this(), &main = main_, volume, reachable = reachable_] {
        const bool reached = reachable(volume->root());
        main.post([weak, volume, reached] {
            const auto model = weak.lock();
            if (!model) return;
            if (reached) {
                model->rescan(volume);
            } else {
                volume->updating.set(false);
                model->removeVolume(volume);
            }
        });
    });
}

}  // namespace quorvanta::app
