// ResultSet: one published search result, the rows the results table shows. It is created once
// per finished search and never changed afterwards; the model replaces its `results` with a new
// one instead. It holds the volume states it was searched over, so a volume that leaves the
// model's list meanwhile stays readable while its rows are shown.
//
// A row is a row key (RowKey.h) whose position is the volume's place in `vols`: the searched
// volumes in search order, hidden ones left out, not the model's volume list.
//
// Threads: immutable; read it from any thread. The volume states it holds are the model's, with
// their own rules (VolumeState.h); only their fixed fields and indexes may be read off the main
// thread. The last holder should be on the main thread, where volume states are released.
#pragma once

#include "QuorvantaApp/model/search/RowKey.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {

class VolumeState;

class ResultSet {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Volumes = std::vector<std::shared_ptr<VolumeState>>;

    static std::shared_ptr<const ResultSet> create(Volumes vols, std::vector<RowKey> rows, std::int64_t hitVolumes,
                                                   std::vector<std::string> terms, bool resetScroll);
    // The one shared result with no volumes, no rows, 0 hit volumes, no terms and no scroll reset:
    // the model's first `results`, and what a search that may not run publishes.
    static const std::shared_ptr<const ResultSet>& empty();

    ResultSet(Passkey, Volumes vols, std::vector<RowKey> rows, std::int64_t hitVolumes, std::vector<std::string> terms,
              bool resetScroll);
    ResultSet(const ResultSet&) = delete;
    ResultSet& operator=(const ResultSet&) = delete;

    // The volumes searched, in search order.
    const Volumes& vols() const { return vols_; }
    // The hits in display order.
    const std::vector<RowKey>& rows() const { return rows_; }
    // How many searched volumes had at least one hit.
    std::int64_t hitVolumes() const { return hitVolumes_; }
    // The texts of the query's plain name terms that are not negated, for highlighting.
    const std::vector<std::string>& terms() const { return terms_; }
    // The table scrolls back to the top (and drops its selection) when it shows this set.
    bool resetScroll() const { return resetScroll_; }

private:
    const Volumes vols_;
    const std::vector<RowKey> rows_;
    const std::int64_t hitVolumes_;
    const std::vector<std::string> terms_;
    const bool resetScroll_;
};

}  // namespace quorvanta::app
