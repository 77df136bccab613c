// Drives that come and go: the mount observation, its two handlers, and the new-drive list that a
// mounted drive without source settings joins.
//
// Linux reports an unmount only after the fact, so the unmount handler's removal saves the index
// from memory; its flush finds nothing to list on a drive that is gone. A drive's unmount may
// also reach the model through its watcher (a refresh finding the root missing): whichever comes
// first takes the volume out of service, and the other finds no online volume with that root.
#include "QuorvantaApp/model/app/AppModel.h"

#include <algorithm>

namespace quorvanta::app {

void AppModel::observeMounts() {
    requireMain();
    const std::weak_ptr<AppModel> weak = weak_from_this();
    platform::MountEvents events;
    events.appeared = [weak](const std::string& root) {
        if (const auto model = weak.lock()) model->mountAppeared(root);
    };
    events.gone = [weak](const std::string& root) {
        if (const auto model = weak.lock()) model->mountGone(root);
    };
    if (auto observation = mountSource_->observe(main_, std::move(events)))
        observers_.push_back(std::move(observation));
}

void AppModel::mountAppeared(const std::string& root) {
    requireMain();
    if (!isCatalogRoot(root)) return;
    // The drive's catalog leaves the list; a volume built from the sources may take its place.
    Volumes list = volumes.get();
    const auto removed =
        std::erase_if(list, [&](const auto& volume) { return volume->offline.get() && volume->root() == root; });
    if (removed > 0) {
        volumes.set(list);
        global_ = nullptr;
    }
    const bool present = std::any_of(list.begin(), list.end(), [&](const auto& v) { return v->root() == root; });
    const std::int64_t searched = generation();
    if (!present) {
        const std::vector<Candidate> all = candidates_->candidates();
        const auto found = std::find_if(all.begin(), all.end(), [&](const Candidate& c) { return c.root == root; });
        if (found != all.end()) discover(*found);
    }
    // The rows of a catalog that left must not stay on show.
    if (removed > 0 && generation() == searched) runSearch(false);
}

void AppModel::mountGone(const std::string& root) {
    requireMain();
    if (!isCatalogRoot(root)) return;
    const Volumes& all = volumes.get();
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const auto& v) { return v->root() == root && !v->offline.get(); });
    if (found != all.end()) removeVolume(std::shared_ptr<VolumeState>(*found));
}

void AppModel::discover(const Candidate& candidate) {
    requireMain();
    if (!prefs_.configured()) return;
    if (!prefs_.isKnown(candidate.key)) {
        const std::vector<Candidate>& listed = newDrives.get();
        if (std::none_of(listed.begin(), listed.end(), [&](const Candidate& c) { return c.key == candidate.key; })) {
            std::vector<Candidate> more = listed;
            more.push_back(candidate);
            newDrives.set(std::move(more));
        }
        return;
    }
    const Volumes& all = volumes.get();
    if (std::any_of(all.begin(), all.end(),
                    [&](const auto& v) { return v->root() == candidate.root && !v->offline.get(); }))
        return;
    std::shared_ptr<VolumeState> volume = makeConfiguredVolume(candidate);
    if (!volume) return;
    Volumes more = all;
    more.push_back(volume);
    volumes.set(std::move(more));
    global_ = nullptr;
    start(volume);
    runSearch(false);
}

void AppModel::refreshNewDrives() {
    requireMain();
    std::vector<Candidate> unknown;
    if (prefs_.configured())
        for (const Candidate& candidate : candidates_->candidates())
            if (!candidate.isInternal && !prefs_.isKnown(candidate.key)) unknown.push_back(candidate);
    newDrives.set(std::move(unknown));
}

void AppModel::storeSource(const std::string& key, const SourceConfig& config) {
    SourceMap sources = prefs_.sources();
    sources[key] = config;
    prefs_.setSources(std::move(sources));
    prefs_.save(prefs_.sources(), Prefs::sourcesKey);
    std::vector<Candidate> listed = newDrives.get();
    if (std::erase_if(listed, [&](const Candidate& c) { return c.key == key; }) > 0) newDrives.set(std::move(listed));
}

void AppModel::indexNewDrive(const Candidate& candidate) {
    requireMain();
    SourceConfig config;
    config.enabled = true;
    config.whole = true;
    storeSource(candidate.key, config);
    applySources();
}

void AppModel::ignoreNewDrive(const Candidate& candidate) {
    requireMain();
    SourceConfig config;
    config.enabled = false;
    config.whole = true;
    storeSource(candidate.key, config);
}

}  // namespace quorvanta::app
