// AppModel's global name order: when it is rebuilt, where it is saved, when it is installed.
#include "QuorvantaApp/model/app/AppModel.h"

#include "QuorvantaApp/model/search/GlobalOrderFormat.h"
#include "QuorvantaApp/model/search/GlobalRebuildRule.h"

#include <algorithm>

namespace quorvanta::app {

bool AppModel::anyScanning() const {
    requireMain();
    const Volumes& all = volumes.get();
    return std::any_of(all.begin(), all.end(), [](const auto& volume) { return volume->scanning.get(); });
}

void AppModel::maintainGlobal() {
    requireMain();
    if (volumes->size() < 2 || anyScanning() || globalBuilding_) return;
    std::vector<std::shared_ptr<core::VolumeIndex>> indexes;
    for (const auto& volume : volumes.get()) indexes.push_back(volume->index());
    if (!needsGlobalRebuild(global_.get(), indexes)) return;

    globalBuilding_ = true;
    const std::filesystem::path file = persist_ ? dataFolder_ / global_order_file::kFileName : std::filesystem::path();
    bg_.async([weak = weak_from_this(), &main = main_, work = work_, indexes = std::move(indexes), file] {
        // Each volume's name order is brought up to all its entries first: built from an order
        // that still lacks the entries added since (one within its own drift bound), the new
        // global order would keep the tail that asked for it, and every later call would build
        // it again.
        for (const auto& index : indexes)
            if (index->permutationAndCount(core::SortKey::name).second < index->count())
                index->rebuildPermutation(core::SortKey::name);
        std::shared_ptr<const GlobalOrder> order = GlobalOrder::build(indexes);
        // A model released meanwhile, or a process ending, writes nothing more.
        if (!file.empty() && !weak.expired() && work->beginWrite()) {
            order = order->persisted(file);
            work->endWrite();
        }
        main.post([weak, order = std::move(order)] {
            const auto model = weak.lock();
            if (!model) return;
            model->global_ = order;
            model->globalBuilding_ = false;
            model->runSearch(false);
        });
    });
}

}  // namespace quorvanta::app
