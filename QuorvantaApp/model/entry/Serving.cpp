#include "QuorvantaApp/model/entry/Serving.h"

#include "QuorvantaCore/index/VolumeWatcher.h"

#include <utility>

namespace quorvanta::app {

void serveModel(const std::shared_ptr<AppModel>& model, LocalAPIHost& host) {
    host.model = model;
    host.apply();
}

void launchModel(const std::shared_ptr<AppModel>& model, LocalAPIHost& host, const Prefs& prefs, bool rootsForced) {
    serveModel(model, host);
    if (prefs.configured() || rootsForced) model->startScans();
}

QuitSequence::QuitSequence(std::shared_ptr<AppModel> model, LocalAPIHost& host, platform::MainQueue& main,
                           ProcessEnd end)
    : model_(std::move(model)), host_(host), main_(main), end_(std::move(end)) {}

bool QuitSequence::request() {
    if (requested_) return false;
    requested_ = true;
    main_.beginShutdown();
    host_.stop();
    // A copy: a save never changes the list, but the copy keeps each volume alive meanwhile.
    const AppModel::Volumes volumes = model_->volumes.get();
    for (const auto& volume : volumes) {
        if (volume->scanning.get() || volume->offline.get()) continue;
        if (volume->watcher) volume->watcher->flush();
        model_->saveSnapshot(volume, true);
    }
    end_.finish(model_.get(), 0);
    return true;
}

}  // namespace quorvanta::app
