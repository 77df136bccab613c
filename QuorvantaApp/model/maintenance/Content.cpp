// Content maintenance: a volume's content folders brought into the content index on the content
// queue, and the content index emptied when content search is switched off.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"
#include "QuorvantaApp/model/maintenance/Maintenance.h"

#include "QuorvantaCore/content/ContentIndex.h"

#include <algorithm>

namespace quorvanta::app {

void AppModel::maintainContent(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    if (!persist_ || !content_) return;
    if (volume->scanning.get() || volume->updating.get() || volume->contentRunning) return;

    // A volume nested in this one (a drive mounted below it, catalogs included) indexes its own
    // folders; this volume's index does not enter it, so its documents are left alone here.
    std::vector<std::string> otherRoots;
    for (const auto& other : volumes.get())
        if (other != volume) otherRoots.push_back(other->root());
    maintenance::ContentScope scope = maintenance::contentScope(volume->root(), prefs_.contentFolders(), otherRoots);
    const std::shared_ptr<core::VolumeIndex>& index = volume->index();
    std::string signature = maintenance::contentSignature(scope.key, index->count(), index->mutations());
    const bool due = maintenance::contentUpdateDue(
        scope.key != volume->contentKey, signature != volume->contentSig, clock().wallSeconds(),
        std::chrono::duration<double>(volume->contentLast.time_since_epoch()).count());
    if (!due) return;

    volume->contentKey = std::move(scope.key);
    volume->contentSig = std::move(signature);
    volume->contentRunning = true;
    contentBusy.set(true);
    contentQueue_.async([weakModel = weak_from_this(), weakVolume = std::weak_ptr<VolumeState>(volume), &main = main_,
                         content = content_, index, root = volume->root(), folders = std::move(scope.folders),
                         inner = std::move(scope.innerRoots)] {
        content->update(*index, root, folders, {}, inner);
        main.post([weakModel, weakVolume, &main] {
            if (const auto volume = weakVolume.lock()) {
                volume->contentRunning = false;
                volume->contentLast = lifecycle::dateNow(main.clock());
            }
            const auto model = weakModel.lock();
            if (!model) return;
            const Volumes& all = model->volumes.get();
            model->contentBusy.set(
                std::any_of(all.begin(), all.end(), [](const auto& listed) { return listed->contentRunning; }));
            model->contentFiles.set(model->content_->count());
            model->contentBytes.set(model->content_->bytes());
            model->runSearch(false);
        });
    });
}

void AppModel::clearContentIndex() {
    requireMain();
    // Stored under "contentFolders" by the preferences.
    prefs_.setContentFolders({});
    contentQueue_.async([weak = weak_from_this(), &main = main_, content = content_] {
        if (content) content->clear();
        main.post([weak, content] {
            const auto model = weak.lock();
            if (!model) return;
            model->contentFiles.set(0);
            model->contentBytes.set(content ? content->bytes() : 0);
            model->runSearch(false);
        });
    });
}

}  // namespace quorvanta::app
