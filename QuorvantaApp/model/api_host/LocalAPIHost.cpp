#include "QuorvantaApp/model/api_host/LocalAPIHost.h"

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/lang/Tr.h"

#include <utility>

namespace quorvanta::app {

std::vector<core::LocalAPI::SearchVolume> apiVolumes(const AppModel& model) {
    const Prefs::VolumeIds& hidden = model.prefs().hiddenVolumes();
    std::vector<core::LocalAPI::SearchVolume> copy;
    for (const std::shared_ptr<VolumeState>& volume : model.volumes.get()) {
        if (hidden.contains(volume->id())) continue;
        copy.push_back(
            {volume->name(), volume->root(), volume->index(), volume->scanning.get(), volume->offline.get()});
    }
    return copy;
}

namespace {

// The copy for one request, made on the main thread; the calling thread waits for it within the
// main queue's bound.
std::vector<core::LocalAPI::SearchVolume> copyVolumes(const std::weak_ptr<AppModel>& weak, platform::MainQueue& main) {
    std::optional<std::vector<core::LocalAPI::SearchVolume>> copy = main.postSync([&weak] {
        const std::shared_ptr<AppModel> model = weak.lock();
        if (!model) throw VolumesUnavailable("the application model is gone");
        return apiVolumes(*model);
    });
    if (!copy) throw VolumesUnavailable("the main queue is unavailable");
    return std::move(*copy);
}

}  // namespace

core::LocalAPI::Backend apiBackend(std::weak_ptr<AppModel> model, platform::MainQueue& main) {
    core::LocalAPI::Backend backend;
    backend.volumes = [model, &main] { return core::LocalAPI::volumeStatuses(copyVolumes(model, main)); };
    backend.search = [model, &main](const core::Query& query, std::int64_t limit) {
        return core::LocalAPI::searchVolumes(copyVolumes(model, main), query, limit);
    };
    return backend;
}

LocalAPIHost::LocalAPIHost(platform::Settings& settings, std::string socketPath)
    : settings_(settings), socketPath_(std::move(socketPath)) {}

LocalAPIHost::~LocalAPIHost() = default;

LocalAPIHost& LocalAPIHost::shared() {
    static LocalAPIHost host(platform::standardSettings(), core::LocalAPI::defaultSocketPath().string());
    return host;
}

bool LocalAPIHost::enabled() const { return settings_.boolean(kLocalAPIKey).value_or(false); }

void LocalAPIHost::apply() {
    error.set(std::nullopt);
    const std::shared_ptr<AppModel> current = model.lock();
    if (!enabled() || !current) {
        stop();
        return;
    }
    if (server_) return;
    auto server = std::make_unique<core::LocalAPIServer>(socketPath_, apiBackend(current, current->mainQueue()));
    try {
        server->start();
    } catch (const core::LocalAPIServer::StartError& failure) {
        error.set(core::tr("The Local API could not be started: %@", failure.description()));
        return;
    }
    server_ = std::move(server);
}

void LocalAPIHost::setEnabled(bool on) {
    settings_.setBoolean(kLocalAPIKey, on);
    objectWillChange.emit();
    apply();
}

void LocalAPIHost::stop() {
    if (!server_) return;
    server_->stop();
    server_.reset();
}

}  // namespace quorvanta::app
