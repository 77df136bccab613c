#include "QuorvantaApp/model/search/ResultSet.h"

#include "QuorvantaApp/model/volume/VolumeState.h"

namespace quorvanta::app {

std::shared_ptr<const ResultSet> ResultSet::create(Volumes vols, std::vector<RowKey> rows, std::int64_t hitVolumes,
                                                   std::vector<std::string> terms, bool resetScroll) {
    return std::make_shared<const ResultSet>(Passkey{}, std::move(vols), std::move(rows), hitVolumes, std::move(terms),
                                             resetScroll);
}

const std::shared_ptr<const ResultSet>& ResultSet::empty() {
    static const std::shared_ptr<const ResultSet> shared = create({}, {}, 0, {}, false);
    return shared;
}

ResultSet::ResultSet(Passkey, Volumes vols, std::vector<RowKey> rows, std::int64_t hitVolumes,
                     std::vector<std::string> terms, bool resetScroll)
    : vols_(std::move(vols)),
      rows_(std::move(rows)),
      hitVolumes_(hitVolumes),
      terms_(std::move(terms)),
      resetScroll_(resetScroll) {}

}  // namespace quorvanta::app
