// Folders that file actions touched, listed again on the scan queue.
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/maintenance/Maintenance.h"

namespace quorvanta::app {

void AppModel::filesChanged(FolderChanges changes) {
    requireMain();
    // The volume states travel back to the main thread, so they are released there.
    bg_.async([weak = weak_from_this(), &main = main_, changes = std::move(changes)]() mutable {
        for (const auto& [volume, folders] : changes)
            volume->index()->refresh(folders, {}, maintenance::kRefreshThreads);
        main.post([weak, changes = std::move(changes)] {
            if (const auto model = weak.lock()) model->runSearch(false);
        });
    });
}

}  // namespace quorvanta::app
