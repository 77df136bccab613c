// Applying the source settings to the volume list, and the two ways a volume leaves it for good:
// dropped when its source is switched off, forgotten when it is a catalog the user no longer
// wants.
//
// A volume whose folders or include-only extensions changed is replaced, never changed in place:
// the replacement is built empty (its snapshot is never resumed, whatever its configuration hash
// says) and scanned beside the old volume, which stays searchable and `updating` until the
// replacement's scan ends and takes its place (the volume lifecycle's swap). The old volume
// records the replacement as its `pendingScan`, so that taking it out of service (an unmount, a
// drop) cancels the replacement. Lists that differ only in their order are the same
// configuration.
#include "QuorvantaApp/model/app/AppModel.h"

#include "QuorvantaCore/index/CatalogFiles.h"
#include "QuorvantaCore/index/IndexWatch.h"
#include "QuorvantaCore/index/VolumeWatcher.h"

#include <algorithm>

namespace quorvanta::app {
namespace {

bool sameSet(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    a.erase(std::unique(a.begin(), a.end()), a.end());
    b.erase(std::unique(b.begin(), b.end()), b.end());
    return a == b;
}

std::shared_ptr<VolumeState> firstOnline(const AppModel::Volumes& volumes, const std::string& root) {
    const auto found = std::find_if(volumes.begin(), volumes.end(),
                                    [&](const auto& v) { return v->root() == root && !v->offline.get(); });
    return found == volumes.end() ? nullptr : *found;
}

}  // namespace

void AppModel::applySources() {
    requireMain();
    prefs_.setConfigured(true);
    for (const Candidate& candidate : candidates_->candidates()) {
        const std::shared_ptr<VolumeState> existing = firstOnline(volumes.get(), candidate.root);
        std::optional<VolumeState::Online> wanted = configuredVolume(candidate);
        if (!existing) {
            if (!wanted) continue;
            auto volume = VolumeState::create(*wanted, volumeContext_);
            // A catalog of the drive (its source was off while it was connected) gives way to it.
            Volumes list = volumes.get();
            std::erase_if(list, [&](const auto& v) { return v->offline.get() && v->root() == candidate.root; });
            list.push_back(volume);
            volumes.set(std::move(list));
            start(volume);
        } else if (!wanted) {
            dropVolume(existing);
        } else if (const VolumeState& target = existing->pendingScan ? *existing->pendingScan : *existing;
                   !sameSet(wanted->scopes, target.scopes()) || !sameSet(wanted->includeExts, target.includeExts())) {
            // Compared with what the volume becomes: a replacement already scanning for another
            // configuration is cancelled by this one.
            wanted->loadSnapshot = false;
            replaceVolume(existing, VolumeState::create(*wanted, volumeContext_));
        }
    }
    refreshNewDrives();
    global_ = nullptr;
    runSearch(true);
}

void AppModel::replaceVolume(const std::shared_ptr<VolumeState>& existing, const std::shared_ptr<VolumeState>& fresh) {
    // A replacement of the old configuration would take the place before this one.
    cancelReplacement(*existing);
    fresh->rootWasMountPoint = existing->rootWasMountPoint;
    if (existing->scanning.get()) {
        // Nothing of the old configuration is searchable yet, and its scan's end would start a
        // watcher for a volume no longer listed: the fresh volume takes the place at once.
        existing->index()->cancelScan();
        core::disconnectFromEventSource(*existing->index());
        Volumes list = volumes.get();
        std::replace(list.begin(), list.end(), existing, fresh);
        volumes.set(std::move(list));
        start(fresh);
        return;
    }
    if (existing->watcher) {
        existing->watcher->stop();
        existing->watcher.reset();
    }
    existing->updating.set(true);
    fresh->replacing = existing;
    existing->pendingScan = fresh;
    start(fresh);
}

void AppModel::dropVolume(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    const Volumes& all = volumes.get();
    if (std::find(all.begin(), all.end(), volume) == all.end()) return;
    cancelReplacement(*volume);
    if (volume->scanning.get()) {
        // Its scan ends as cancelled and finds the volume gone: nothing is saved or watched.
        volume->index()->cancelScan();
    } else {
        // The stream stops first, so no batch comes in while the index is written; the save
        // takes the watcher's last applied event id.
        if (volume->watcher) {
            volume->watcher->stop();
            volume->watcher->flush();
        }
        saveSnapshot(volume, true);
    }
    volume->watcher.reset();
    core::disconnectFromEventSource(*volume->index());
    Volumes remaining = all;
    std::erase(remaining, volume);
    volumes.set(std::move(remaining));
    if (prefs_.hiddenVolumes().contains(volume->id())) {
        Prefs::VolumeIds hidden = prefs_.hiddenVolumes();
        hidden.erase(volume->id());
        prefs_.setHiddenVolumes(std::move(hidden));
    }
    global_ = nullptr;
}

void AppModel::forgetCatalog(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    // Only a listed catalog: the files of a volume that is online (or of a drive that came back
    // meanwhile) are still written and read.
    const Volumes& all = volumes.get();
    if (!volume->offline.get() || std::find(all.begin(), all.end(), volume) == all.end()) return;
    Volumes remaining = all;
    std::erase(remaining, volume);
    volumes.set(std::move(remaining));
    core::forgetCatalog(volume->snapshotPath());  // a failed deletion still forgets the catalog
    global_ = nullptr;
    maintainGlobal();
    runSearch(false);
}

}  // namespace quorvanta::app
