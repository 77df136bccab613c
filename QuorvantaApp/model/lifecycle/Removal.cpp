// Taking a volume out of service: as an offline catalog, or out of the list.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/IndexWatch.h"
#include "QuorvantaCore/index/VolumeWatcher.h"

namespace quorvanta::app {
namespace {

// Stops the stream first, so no batch comes in while the index is written, then applies what
// it had gathered. The caller saves, then drops the watcher.
void quiesce(VolumeState& volume) {
    if (!volume.watcher) return;
    volume.watcher->stop();
    volume.watcher->flush();
}

}  // namespace

void AppModel::cancelReplacement(VolumeState& volume) {
    const std::shared_ptr<VolumeState> fresh = std::exchange(volume.pendingScan, nullptr);
    if (!fresh) return;
    fresh->replacing.reset();
    fresh->index()->cancelScan();
}

void AppModel::removeVolume(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    const Volumes& all = volumes.get();
    if (std::find(all.begin(), all.end(), volume) == all.end()) return;
    cancelReplacement(*volume);
    const bool scanning = volume->scanning.get();
    if (!scanning && !volume->isInternal() && persist_ && defaults_.boolean(kKeepOfflineKey).value_or(true)) {
        goOffline(volume);
        return;
    }
    if (scanning) {
        // Its scan ends as cancelled and finds the volume gone: nothing is saved or watched.
        volume->index()->cancelScan();
    } else {
        quiesce(*volume);
        saveSnapshot(volume, true);
    }
    volume->watcher.reset();
    core::disconnectFromEventSource(*volume->index());
    Volumes remaining = volumes.get();
    std::erase(remaining, volume);
    volumes.set(std::move(remaining));
    global_ = nullptr;
    maintainGlobal();
    runSearch(false);
}

void AppModel::goOffline(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    cancelReplacement(*volume);
    quiesce(*volume);
    saveSnapshot(volume, true);
    volume->watcher.reset();
    core::disconnectFromEventSource(*volume->index());
    volume->updating.set(false);
    volume->audioRunning.set(false);
    volume->offline.set(true);
    volume->catalogDate = lifecycle::dateNow(clock());
    runSearch(false);
}

}  // namespace quorvanta::app
