// The volume's file-event watcher: its start, its three callbacks, and what a missing root
// means for the volume.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include "QuorvantaCore/index/VolumeWatcher.h"

#include <algorithm>

namespace quorvanta::app {

bool AppModel::isListedOnline(const VolumeState& volume) const {
    const Volumes& all = volumes.get();
    return !volume.offline.get() &&
           std::any_of(all.begin(), all.end(), [&](const auto& listed) { return listed.get() == &volume; });
}

bool AppModel::isWatching(const VolumeState& volume, const core::VolumeWatcher* watcher) const {
    return volume.watcher.get() == watcher && isListedOnline(volume);
}

void AppModel::startWatcher(const std::shared_ptr<VolumeState>& volume, std::optional<std::uint64_t> since) {
    startWatcher(volume, since, CatchUp::clearsUpdating);
}

void AppModel::startWatcher(const std::shared_ptr<VolumeState>& volume, std::optional<std::uint64_t> since,
                            CatchUp catchUp) {
    requireMain();
    if (!persist_) return;
    if (volume->watcher) {
        volume->watcher->stop();
        volume->watcher.reset();
    }
    const bool clears = catchUp == CatchUp::clearsUpdating;
    const bool wasMount = volume->rootWasMountPoint.value_or(false);
    std::vector<std::string> scopes = lifecycle::presentScopes(volume->root(), volume->scopes(), wasMount);
    if (scopes.empty()) {
        // No folder to watch (every chosen folder is gone): the volume stays listed, unwatched.
        if (clears) volume->updating.set(false);
        return;
    }
    auto watcher = std::make_shared<core::VolumeWatcher>(volume->index(), volume->root(), std::move(scopes), since,
                                                         lifecycle::kWatcherDebounce, events_, clock());
    // The callbacks run on the watcher's queue and only post; each result acts only while this
    // watcher is still the one of a listed online volume.
    const core::VolumeWatcher* const self = watcher.get();
    const std::weak_ptr<AppModel> weakModel = weak_from_this();
    const std::weak_ptr<VolumeState> weakVolume = volume;
    platform::MainQueue& main = main_;
    watcher->onCaughtUp = [weakModel, weakVolume, self, &main, clears] {
        main.post([weakModel, weakVolume, self, clears] {
            const auto model = weakModel.lock();
            const auto volume = weakVolume.lock();
            if (!model || !volume || !model->isWatching(*volume, self)) return;
            if (clears) volume->updating.set(false);
            model->runSearch(false);
        });
    };
    watcher->onNeedsRescan = [weakModel, weakVolume, self, &main, index = volume->index(), root = volume->root(),
                              wasMount](bool rootMissing) {
        // Checked here, where the refresh ran, before anything else can change the roots.
        std::optional<RootCheck> check;
        if (rootMissing) check = RootCheck::of(*index, root, wasMount);
        main.post([weakModel, weakVolume, self, check = std::move(check)] {
            const auto model = weakModel.lock();
            const auto volume = weakVolume.lock();
            if (!model || !volume || !model->isWatching(*volume, self)) return;
            if (check)
                model->rootsMissing(volume, *check, [&] { model->rescan(volume); });
            else
                model->rescan(volume);
        });
    };
    watcher->onStartFailed = [weakModel, weakVolume, self, &main, clears] {
        main.post([weakModel, weakVolume, self, clears] {
            const auto model = weakModel.lock();
            const auto volume = weakVolume.lock();
            if (!model || !volume || !model->isWatching(*volume, self)) return;
            // Without a watcher the maintenance tick's reconcile keeps the volume current.
            volume->watcher.reset();
            if (clears) volume->updating.set(false);
        });
    };
    volume->watcher = std::move(watcher);
    volume->watcher->start();
}

void AppModel::rootsMissing(const std::shared_ptr<VolumeState>& volume, const RootCheck& check,
                            const std::function<void()>& otherwise) {
    requireMain();
    if (!check.driveThere)
        removeVolume(volume);
    else if (check.missing.empty())
        otherwise();
    else
        rescan(volume);
}

}  // namespace quorvanta::app
